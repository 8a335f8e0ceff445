// The stand-in CAD host: a main window that opens, shows, turns, saves and closes one
// document at a time, loads an add-in and offers its commands in an Add-Ins menu and
// toolbar. It implements every CadHost operation for real.
#pragma once

#include <QByteArray>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/addin_server.h"
#include "host/cad_host.h"
#include "host/drawing_sheets.h"
#include "host/host_dwf.h"

class QActionGroup;
class QMenu;
class QToolBar;

namespace exportal {

class HostView;

// The host's DWF translator: it takes options for every document and publishes the
// active one through the host, which draws its view into the package.
class HostDwfTranslator final : public CadTranslator {
  public:
    using Publish = std::function<bool(CadDocument&, const TranslationContext&, const NameValueMap&,
                                       const DataMedium&)>;
    explicit HostDwfTranslator(Publish publish) : m_publish(std::move(publish)) {}
    bool hasSaveCopyAsOptions(CadDocument& document, const TranslationContext& context,
                              NameValueMap& options) override;
    bool saveCopyAs(CadDocument& document, const TranslationContext& context,
                    const NameValueMap& options, const DataMedium& medium) override;

  private:
    Publish m_publish;
};

class HostDocument final : public CadDocument {
  public:
    HostDocument(std::string path, QByteArray content);
    std::string fullFileName() const override { return m_path; }
    DocumentType type() const override;
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    std::string sheetName(int position) const override;
    std::string activeSheetName() const override;
    const QByteArray& content() const { return m_content; }
    // The world of the active sheet; only for a drawing with sheets.
    QByteArray activeSheetWorld() const;
    // The world of the sheet at `position` (from 1); only for a drawing with sheets.
    QByteArray sheetWorldAt(int position) const;
    int activeSheet() const { return m_activeSheet; }
    bool setActiveSheet(int position);

  private:
    std::string m_path;
    QByteArray m_content;
    std::vector<SheetSpan> m_sheets;
    int m_activeSheet = 0;
};

class HostWindow final : public QMainWindow, public CadHost {
  public:
    explicit HostWindow(int softwareVersion = 11);
    ~HostWindow() override;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Opens a document: a file that cannot be read, or whose world is not valid XGL,
    // is reported in one message box and leaves no view.
    bool openDocument(const QString& path);
    // Writes the document, then tells the add-in (timing values 4097 and 4098).
    bool saveDocument();
    void closeDocument();
    // Makes a sheet of the drawing the active one and shows it; false when there is no
    // such sheet.
    bool activateSheet(int position);
    QMenu* sheetMenu() { return m_sheetMenu; }
    // Loads and activates an add-in; a failure is reported in one message box.
    bool loadAddInLibrary(const std::string& library);
    AddInServer* addInServer() { return m_addIn.get(); }

    HostView* view() { return m_view; }
    QMenu* addInsMenu() { return m_addInsMenu; }
    QToolBar* addInsToolBar() { return m_addInsToolBar; }
    QString statusText() const;
    // Every DWF copy asked of the host, through the translator or save-a-copy, with
    // what it received.
    const std::vector<DwfPublication>& dwfPublications() const { return m_dwfPublications; }

    // Where the host's message boxes go; null restores the message box.
    using MessageHandler = std::function<void(const QString& text)>;
    static void setMessageHandler(MessageHandler handler);

    CadDocument* activeDocument() override { return m_document.get(); }
    DocumentType activeDocumentType() override;
    CadView* activeView() override;
    Point2d createPoint2d(double x, double y) override { return {x, y}; }
    void setStatusText(const std::string& text) override;
    void setSilentOperation(bool silent) override { m_silent = silent; }
    bool silentOperation() const override { return m_silent; }
    QWidget* mainWindow() override { return this; }
    void postPrivateEvent(int eventType, const std::string& data) override;
    bool startCommand(int commandId) override;
    int softwareVersionMajor() const override { return m_softwareVersion; }
    int addInCount() const override;
    AddInEntry addIn(int index) const override;
    TranslationContext createTranslationContext() override { return {}; }
    NameValueMap createNameValueMap() override { return {}; }
    DataMedium createDataMedium() override { return {}; }
    bool evaluateLength(const std::string& expression, const std::string& defaultUnit,
                        double& centimetres) const override;
    bool ready() const override;
    void subscribe(SaveEventSink* sink) override;
    void unsubscribe(SaveEventSink* sink) override;
    std::unique_ptr<CadCommand> createCommand(const std::string& displayText, int commandId,
                                              bool flag) override;

  protected:
    bool event(QEvent* event) override;

  private:
    void buildMenus();
    void chooseAndOpen();
    void showMessage(const QString& text);
    void notifySave(std::int32_t timing);
    bool saveCopy(const std::string& fileName);
    bool publishDwf(CadDocument& document, const TranslationContext& context,
                    const NameValueMap& options, const DataMedium& medium);
    std::string writeDwf(const std::string& fileName, bool allSheets, bool withModels,
                         DwfPublication& record);
    // One model per sheet picture, in the same order, each seen as its picture was.
    std::string modelsToPublish(const std::vector<SheetPicture>& pictures,
                                std::vector<plotwick::PackageModel>& models);
    std::string documentStem() const;
    std::string captureView(const std::string& title, std::vector<SheetPicture>& pictures);
    std::string captureAllSheets(std::vector<SheetPicture>& pictures);
    void updateTitle();
    void showActiveDocument();
    void fillSheetMenu();

    int m_softwareVersion;
    HostView* m_view = nullptr;
    QMenu* m_addInsMenu = nullptr;
    QMenu* m_sheetMenu = nullptr;
    QActionGroup* m_sheetChoice = nullptr;
    QToolBar* m_addInsToolBar = nullptr;
    std::unique_ptr<HostDocument> m_document;
    std::unique_ptr<AddInServer> m_addIn;
    std::vector<SaveEventSink*> m_sinks;
    std::string m_pendingCopyName;
    std::unique_ptr<HostDwfTranslator> m_dwfTranslator;
    std::vector<DwfPublication> m_dwfPublications;
    bool m_silent = false;
    bool m_busy = false;
};

}  // namespace exportal
