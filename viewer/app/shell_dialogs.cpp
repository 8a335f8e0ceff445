#include "app/shell_dialogs.h"

#include <QDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/shell_images.h"
#include "shell/shell_texts.h"

namespace tessaro {

namespace {

QStringList toQt(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list.append(QString::fromStdString(text));
    return list;
}

// Dialog units: a quarter of the average character width across, an eighth of the
// character height down.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font) : m_metrics(font) {}
    QRect rect(int x, int y, int width, int height) const {
        return QRect(across(x), down(y), across(width), down(height));
    }

  private:
    int across(int units) const { return units * m_metrics.averageCharWidth() / 4; }
    int down(int units) const { return units * m_metrics.height() / 8; }
    QFontMetrics m_metrics;
};

void addAboutContents(QDialog& box, const DialogUnits& units) {
    auto* icon = new QLabel(&box);
    icon->setPixmap(appIconPixmap(32));
    icon->setGeometry(units.rect(11, 17, 21, 20));
    auto* title = new QLabel(QString::fromUtf8(kAboutTitleLine), &box);
    title->setGeometry(units.rect(40, 10, 119, 8));
    auto* second = new QLabel(QString::fromUtf8(kAboutSecondLine), &box);
    second->setGeometry(units.rect(40, 25, 130, 8));
    auto* ok = new QPushButton(QStringLiteral("OK"), &box);
    ok->setGeometry(units.rect(178, 7, 50, 14));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
}

// The framework places a box by its size before its text is laid out, so it may
// land off the window's middle; this one moves there once it has its final size.
class CentredMessageBox final : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (parentWidget() == nullptr) return;
        const QPoint middle = parentWidget()->window()->frameGeometry().center();
        const QSize size = frameGeometry().size();
        move(middle - QPoint(size.width() / 2, size.height() / 2));
    }
};

}  // namespace

void MessageBoxSink::showMessage(const char* text) {
    makeMessageBox(m_parent, text)->exec();
}

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const char* text) {
    return std::make_unique<CentredMessageBox>(QMessageBox::Warning, QString::fromUtf8(kAppName),
                                               QString::fromLocal8Bit(text), QMessageBox::Ok,
                                               parent);
}

OpenSceneDialog::OpenSceneDialog(QWidget* parent) : QFileDialog(parent) {
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setOption(QFileDialog::DontUseNativeDialog);
    setNameFilters({QString::fromUtf8(kOpenFilters[0]), QString::fromUtf8(kOpenFilters[1])});
    connect(this, &QFileDialog::filterSelected, this,
            [this](const QString& filter) { usePatterns(filter); });
    usePatterns(selectedNameFilter());
}

QStringList OpenSceneDialog::listPatterns() const {
    const auto* model = findChild<QFileSystemModel*>();
    return model != nullptr ? model->nameFilters() : QStringList();
}

void OpenSceneDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    usePatterns(selectedNameFilter());
}

void OpenSceneDialog::usePatterns(const QString& filter) {
    auto* model = findChild<QFileSystemModel*>();
    if (model != nullptr) model->setNameFilters(toQt(filterPatterns(filter.toStdString())));
}

std::unique_ptr<QDialog> makeAboutBox(QWidget* parent) {
    auto box = std::make_unique<QDialog>(parent);
    box->setWindowTitle(QString::fromUtf8(kAboutCaption));
    box->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    const DialogUnits units(box->font());
    box->setFixedSize(units.rect(0, 0, 235, 55).size());
    addAboutContents(*box, units);
    return box;
}

QString droppedSceneFile(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && isSceneFileName(url.toLocalFile().toStdString())) {
            return url.toLocalFile();
        }
    }
    return QString();
}

}  // namespace tessaro
