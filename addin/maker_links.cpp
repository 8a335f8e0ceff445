#include "maker_links.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include "shell_open.h"

namespace exportal {

namespace {

class LinkLabel final : public QLabel {
  public:
    LinkLabel(const QString& text, const QString& tip, const QString& address, QLabel* hint,
              bool active)
        : QLabel(text), m_address(address), m_hint(hint) {
        setToolTip(tip);
        m_active = active && !address.isEmpty();
        setCursor(m_active ? Qt::PointingHandCursor : Qt::ArrowCursor);
        setProperty("address", address);
        setStyleSheet(address.isEmpty() ? "color: gray;"
                                        : "color: blue; text-decoration: underline;");
    }

  protected:
    void enterEvent(QEnterEvent* event) override {
        if (m_hint) m_hint->setText(toolTip());
        QLabel::enterEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (m_active && event->button() == Qt::LeftButton)
            ShellOpen(m_address.toStdString(), "Open", "", "", 0);
        QLabel::mouseReleaseEvent(event);
    }

  private:
    QString m_address;
    QLabel* m_hint;
    bool m_active = false;
};

}  // namespace

QString makerGuideAddress() {
    const QString installed =
        QCoreApplication::applicationDirPath() + "/" + QString::fromUtf8(TESSARO_INSTALLED_GUIDE);
    for (const QString& path : {installed, QString::fromUtf8(TESSARO_SOURCE_GUIDE)}) {
        const QFileInfo guide(path);
        if (guide.isFile()) return QUrl::fromLocalFile(guide.absoluteFilePath()).toString();
    }
    return {};
}

QString makerMailAddress() {
    const QString address = QStringLiteral(TESSARO_MAKER_MAIL);
    return address.isEmpty() ? address : "mailto:" + address;
}

QLayout* makerLinks(QLabel* hint, bool active) {
    const QString guide = makerGuideAddress(), mail = makerMailAddress();
    auto* row = new QHBoxLayout;
    row->addWidget(new LinkLabel("Tessaro documentation",
                                 guide.isEmpty() ? "The guide was not installed with this copy"
                                                 : "Read the guide installed with Tessaro",
                                 guide, hint, active));
    row->addWidget(new LinkLabel(
        "Write to the maker",
        mail.isEmpty() ? "This copy names no address for the maker" : "Send an e-mail to the maker",
        mail, hint, active));
    row->addStretch();
    return row;
}

}  // namespace exportal
