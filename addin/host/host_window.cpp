#include "host/host_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSaveFile>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

#include "app/scene_view.h"
#include "host/addin_loader.h"
#include "host/host_feedback.h"
#include "host/host_model.h"
#include "host/host_services.h"
#include "host/host_view.h"
#include "host/vrml_copy.h"

namespace exportal {

namespace {

constexpr const char* kAddInClassId = "{52A3CF6E-ECED-4692-ACDA-7866FD6A446A}";
constexpr const char* kNoViewToPublish = "There is no view to publish as DWF.";

// The private event of save-a-copy: the name of the copy.
class SaveCopyEvent final : public QEvent {
  public:
    explicit SaveCopyEvent(std::string name)
        : QEvent(static_cast<QEvent::Type>(kSaveCopyEvent)), fileName(std::move(name)) {}
    std::string fileName;
};

HostWindow::MessageHandler& messageHandler() {
    static HostWindow::MessageHandler handler;
    return handler;
}

// A command in the Add-Ins menu and toolbar for as long as the add-in keeps it.
class HostCommand final : public CadCommand {
  public:
    HostCommand(QAction* action, int id) : m_action(action), m_id(id) {}
    ~HostCommand() override { delete m_action.data(); }
    int id() const override { return m_id; }
    std::string displayText() const override {
        return m_action ? m_action->text().toStdString() : std::string();
    }

  private:
    QPointer<QAction> m_action;
    int m_id;
};

class BusyFlag {
  public:
    explicit BusyFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

  private:
    bool& m_flag;
};

}  // namespace

HostDocument::HostDocument(std::string path, QByteArray content)
    : m_path(std::move(path)), m_content(std::move(content)) {
    if (type() == DocumentType::drawing) m_sheets = sheetSpans(m_content);
    if (!m_sheets.empty()) m_activeSheet = 1;
}

DocumentType HostDocument::type() const {
    return documentTypeOf(m_path);
}

std::string HostDocument::sheetName(int position) const {
    return position >= 1 && position <= sheetCount() ? sheetNameAt(position) : std::string();
}

std::string HostDocument::activeSheetName() const {
    return sheetName(m_activeSheet);
}

QByteArray HostDocument::activeSheetWorld() const {
    return sheetWorldAt(m_activeSheet);
}

QByteArray HostDocument::sheetWorldAt(int position) const {
    return sheetWorld(m_content, m_sheets, static_cast<std::size_t>(position - 1));
}

bool HostDocument::setActiveSheet(int position) {
    if (position < 1 || position > sheetCount()) return false;
    m_activeSheet = position;
    return true;
}

bool HostDwfTranslator::hasSaveCopyAsOptions(CadDocument&, const TranslationContext&,
                                             NameValueMap&) {
    return true;
}

bool HostDwfTranslator::saveCopyAs(CadDocument& document, const TranslationContext& context,
                                   const NameValueMap& options, const DataMedium& medium) {
    return m_publish(document, context, options, medium);
}

HostWindow::HostWindow(int softwareVersion)
    : m_softwareVersion(softwareVersion),
      m_dwfTranslator(std::make_unique<HostDwfTranslator>(
          [this](CadDocument& document, const TranslationContext& context,
                 const NameValueMap& options, const DataMedium& medium) {
              return publishDwf(document, context, options, medium);
          })) {
    m_view = new HostView(this);
    setCentralWidget(m_view);
    buildMenus();
    statusBar()->showMessage("Ready");
    updateTitle();
    resize(900, 680);
}

// The add-in goes first, while the window it may still call is whole.
HostWindow::~HostWindow() {
    if (m_addIn) m_addIn->deactivate();
    m_addIn.reset();
}

void HostWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open...", QKeySequence::Open, this, [this] { chooseAndOpen(); });
    file->addAction("&Save", QKeySequence(Qt::CTRL | Qt::Key_S), this, [this] { saveDocument(); });
    file->addAction("&Close", this, [this] { closeDocument(); });
    file->addSeparator();
    file->addAction("E&xit", this, [this] { close(); });
    m_sheetMenu = menuBar()->addMenu("S&heet");
    m_sheetMenu->setEnabled(false);
    m_sheetChoice = new QActionGroup(m_sheetMenu);
    m_addInsMenu = menuBar()->addMenu("&Add-Ins");
    m_addInsToolBar = addToolBar("Add-Ins");
    m_addInsToolBar->setObjectName("addInsToolBar");
}

void HostWindow::setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}

void HostWindow::showMessage(const QString& text) {
    if (messageHandler()) {
        messageHandler()(text);
    } else if (m_silent) {
        statusBar()->showMessage(text);
    } else {
        QMessageBox::warning(this, QApplication::applicationName(), text);
    }
}

void HostWindow::chooseAndOpen() {
    const QString path = QFileDialog::getOpenFileName(
        this, "Open", QString(), "CAD documents (*.ipt *.iam *.idw *.ipn);;All files (*)");
    if (!path.isEmpty()) openDocument(path);
}

bool HostWindow::openDocument(const QString& path) {
    BusyFlag busy(m_busy);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage("The document " + path + " cannot be opened.");
        return false;
    }
    const std::string fullName = QFileInfo(path).absoluteFilePath().toStdString();
    m_document = std::make_unique<HostDocument>(fullName, file.readAll());
    updateTitle();
    fillSheetMenu();
    showActiveDocument();
    return true;
}

void HostWindow::showActiveDocument() {
    auto report = [this](const std::string& message) {
        if (!message.empty()) showMessage(QString::fromStdString(message));
    };
    const std::string& path = m_document->fullFileName();
    if (m_document->sheetCount() > 0) {
        m_view->loadSheet(m_document->activeSheetWorld(), path, report);
    } else {
        m_view->loadDocument(path, report);
    }
}

// One checkable entry per sheet; the menu is off for documents without sheets.
void HostWindow::fillSheetMenu() {
    m_sheetMenu->clear();
    const int count = m_document ? m_document->sheetCount() : 0;
    for (int position = 1; position <= count; ++position) {
        QAction* action =
            m_sheetMenu->addAction(QString::fromStdString(sheetNameAt(position)), this,
                                   [this, position] { activateSheet(position); });
        action->setCheckable(true);
        action->setChecked(position == m_document->activeSheet());
        m_sheetChoice->addAction(action);
    }
    m_sheetMenu->setEnabled(count > 0);
}

bool HostWindow::activateSheet(int position) {
    if (!m_document || !m_document->setActiveSheet(position)) return false;
    const QList<QAction*> entries = m_sheetMenu->actions();
    if (position <= entries.size()) entries[position - 1]->setChecked(true);
    showActiveDocument();
    return true;
}

bool HostWindow::saveDocument() {
    if (!m_document) return false;
    notifySave(kBeforeSave);
    {
        BusyFlag busy(m_busy);
        QSaveFile file(QString::fromStdString(m_document->fullFileName()));
        if (!file.open(QIODevice::WriteOnly) || file.write(m_document->content()) < 0 ||
            !file.commit()) {
            showMessage("The document " + QString::fromStdString(m_document->fullFileName()) +
                        " cannot be written.");
            return false;
        }
    }
    statusBar()->showMessage("Saved " + QString::fromStdString(m_document->fullFileName()));
    notifySave(kAfterSave);
    return true;
}

void HostWindow::closeDocument() {
    m_document.reset();
    fillSheetMenu();
    m_view->clearDocument();
    updateTitle();
}

void HostWindow::updateTitle() {
    const QString name =
        m_document ? QFileInfo(QString::fromStdString(m_document->fullFileName())).fileName()
                   : QString();
    setWindowTitle(name.isEmpty() ? "exportal-host" : name + " - exportal-host");
}

// A sink may unsubscribe while it is told.
void HostWindow::notifySave(std::int32_t timing) {
    const std::vector<SaveEventSink*> sinks = m_sinks;
    for (SaveEventSink* sink : sinks) {
        if (std::find(m_sinks.begin(), m_sinks.end(), sink) != m_sinks.end())
            sink->onSaveDocument(m_document.get(), timing);
    }
}

bool HostWindow::loadAddInLibrary(const std::string& library) {
    std::string error;
    std::unique_ptr<AddInServer> server = loadAddIn(library, error);
    if (!server) {
        showMessage(QString::fromStdString(error));
        return false;
    }
    if (m_addIn) m_addIn->deactivate();
    m_addIn = std::move(server);
    m_addIn->activate(*this, true);
    return true;
}

QString HostWindow::statusText() const {
    return statusBar()->currentMessage();
}

DocumentType HostWindow::activeDocumentType() {
    return m_document ? m_document->type() : DocumentType::unknown;
}

CadView* HostWindow::activeView() {
    return m_document && m_view->hasPicture() ? m_view : nullptr;
}

void HostWindow::setStatusText(const std::string& text) {
    statusBar()->showMessage(QString::fromStdString(text));
}

void HostWindow::postPrivateEvent(int eventType, const std::string& data) {
    if (eventType != kSaveCopyEvent) return;
    QApplication::postEvent(this, new SaveCopyEvent(data));
}

bool HostWindow::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(kSaveCopyEvent)) {
        m_pendingCopyName = static_cast<SaveCopyEvent*>(event)->fileName;
        return true;
    }
    return QMainWindow::event(event);
}

// The command takes the name the private event carried; a name still queued is
// delivered first, so the order of the two calls is all that matters.
bool HostWindow::startCommand(int commandId) {
    if (commandId != kSaveCopyCommand) return false;
    QApplication::sendPostedEvents(this, kSaveCopyEvent);
    const std::string name = std::exchange(m_pendingCopyName, std::string());
    if (name.empty() || !m_document) return false;
    return saveCopy(name);
}

bool HostWindow::saveCopy(const std::string& fileName) {
    BusyFlag busy(m_busy);
    const QString suffix = QFileInfo(QString::fromStdString(fileName)).suffix().toLower();
    if (suffix == "zgl") {
        if (writeZglCopy(m_document->content(), fileName)) return true;
        showMessage("The copy " + QString::fromStdString(fileName) + " cannot be written.");
        return false;
    }
    if (suffix == "dwf") {
        // A copy without options publishes what the translator publishes by default.
        DwfPublication record{fileName, false, {}, {}, m_silent, 0, 0};
        const std::string problem = writeDwf(fileName, false, false, record);
        m_dwfPublications.push_back(std::move(record));
        if (problem.empty()) return true;
        showMessage(QString::fromStdString(problem));
        return false;
    }
    if (suffix == "wrl") {
        std::string error;
        if (writeVrmlCopy(m_document->content(), fileName, error)) return true;
        showMessage(QString::fromStdString(error));
        return false;
    }
    showMessage("This host cannot save a copy as ." + suffix + " yet.");
    return false;
}

bool HostWindow::publishDwf(CadDocument& document, const TranslationContext& context,
                            const NameValueMap& options, const DataMedium& medium) {
    BusyFlag busy(m_busy);
    DwfPublication record{medium.fileName, true, context, options, m_silent, 0, 0};
    std::string problem;
    if (&document != m_document.get()) {
        problem = "Only the active document can be published as DWF.";
    } else if (medium.fileName.empty()) {
        problem = "The DWF copy needs a file name.";
    } else {
        problem = writeDwf(medium.fileName, optionIsOn(options, "Publish_All_Sheets", false),
                           publishesModels(options), record);
    }
    m_dwfPublications.push_back(std::move(record));
    if (!problem.empty()) {
        showMessage(QString::fromStdString(problem));
        return false;
    }
    // The copy is made either way; a viewer that cannot start is only reported.
    if (optionIsOn(options, "Launch_Viewer", false) && !launchDwfViewer(medium.fileName)) {
        showMessage("Plotwick cannot be started to show " +
                    QString::fromStdString(medium.fileName) + ".");
    }
    return true;
}

// The view as it is now, as one sheet.
std::string HostWindow::captureView(const std::string& title, std::vector<SheetPicture>& pictures) {
    const int width = m_view->pixelWidth(), height = m_view->pixelHeight();
    SheetPicture& picture = pictures.emplace_back(SheetPicture{title, {}, {}});
    std::string error;
    bool captured = false;
    m_view->drawAtSize(width, height, [&] {
        captured = captureShadedPicture(width, height, picture.picture, error);
        picture.camera = cameraOfView();
    });
    if (captured) return {};
    return error.empty() ? kNoViewToPublish : error;
}

// Every sheet of a drawing as the Sheet menu shows it; the active sheet keeps the
// camera the user gave it and is shown again afterwards.
std::string HostWindow::captureAllSheets(std::vector<SheetPicture>& pictures) {
    const int active = m_document->activeSheet();
    const tessaro::Camera camera = tessaro::currentCamera();
    std::string problem;
    for (int position = 1; position <= m_document->sheetCount() && problem.empty(); ++position) {
        activateSheet(position);
        if (position == active) m_view->setCamera(camera);
        problem = captureView(m_document->sheetName(position), pictures);
    }
    activateSheet(active);
    m_view->setCamera(camera);
    return problem;
}

// A drawing's sheet is named as the Sheet menu names it; any other document after
// its file.
std::string HostWindow::writeDwf(const std::string& fileName, bool allSheets, bool withModels,
                                 DwfPublication& record) {
    record.sheets = record.models = 0;
    if (activeView() == nullptr) return kNoViewToPublish;
    std::vector<SheetPicture> pictures;
    const bool drawing = m_document->sheetCount() > 0;
    const std::string title = drawing ? m_document->activeSheetName() : documentStem();
    std::string problem =
        allSheets && drawing ? captureAllSheets(pictures) : captureView(title, pictures);
    std::vector<plotwick::PackageModel> models;
    if (problem.empty() && withModels) problem = modelsToPublish(pictures, models);
    if (!problem.empty() || !writeViewDwf(fileName, pictures, models, problem)) return problem;
    record.sheets = static_cast<int>(pictures.size());
    record.models = static_cast<int>(models.size());
    return {};
}

// The 3D model of what each published sheet shows: a drawing's sheets are each a world
// of their own, so every sheet written gets its model (titled as the sheet), each world
// cut out only when its turn comes; a part, assembly or presentation has one, the
// document's world. Each model is seen through the camera its sheet was pictured with.
std::string HostWindow::modelsToPublish(const std::vector<SheetPicture>& pictures,
                                        std::vector<plotwick::PackageModel>& models) {
    std::string problem;
    if (m_document->sheetCount() == 0) {
        modelOfWorld(m_document->content(), documentStem(), pictures.front().camera,
                     models.emplace_back(), problem);
        return problem;
    }
    // Every sheet was pictured, or only the active one.
    const int first = pictures.size() == 1 ? m_document->activeSheet() : 1;
    for (std::size_t k = 0; k < pictures.size() && problem.empty(); ++k) {
        const int position = first + static_cast<int>(k);
        modelOfWorld(m_document->sheetWorldAt(position), m_document->sheetName(position),
                     pictures[k].camera, models.emplace_back(), problem);
    }
    return problem;
}

std::string HostWindow::documentStem() const {
    return QFileInfo(QString::fromStdString(m_document->fullFileName()))
        .completeBaseName()
        .toStdString();
}

int HostWindow::addInCount() const {
    return m_addIn ? 2 : 1;
}

AddInEntry HostWindow::addIn(int index) const {
    if (index == 1) return {kTranslatorAddInType, kDwfTranslatorClassId, m_dwfTranslator.get()};
    if (index == 2 && m_addIn) return {kApplicationAddInType, kAddInClassId};
    return {};
}

bool HostWindow::evaluateLength(const std::string& expression, const std::string& defaultUnit,
                                double& centimetres) const {
    return evaluateLengthExpression(expression, defaultUnit, centimetres);
}

bool HostWindow::ready() const {
    return !m_busy && m_view->hasContext();
}

void HostWindow::subscribe(SaveEventSink* sink) {
    if (std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end()) m_sinks.push_back(sink);
}

void HostWindow::unsubscribe(SaveEventSink* sink) {
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

std::unique_ptr<CadCommand> HostWindow::createCommand(const std::string& displayText, int commandId,
                                                      bool /*flag*/) {
    auto* action = new QAction(QString::fromStdString(displayText), this);
    connect(action, &QAction::triggered, this, [this, commandId] {
        if (m_addIn) m_addIn->executeCommand(commandId);
    });
    m_addInsMenu->addAction(action);
    m_addInsToolBar->addAction(action);
    return std::make_unique<HostCommand>(action, commandId);
}

}  // namespace exportal
