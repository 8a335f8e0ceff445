#include "maker_links.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

#include "shell_open.h"

namespace exportal {

namespace {

class LinkLabel final : public QLabel {
  public:
    LinkLabel(const QString& text, const QString& tip, const QString& address, QLabel* hint,
              bool active)
        : QLabel(text), m_address(address), m_hint(hint), m_active(active) {
        setToolTip(tip);
        setCursor(active ? Qt::PointingHandCursor : Qt::ArrowCursor);
        setStyleSheet("color: blue; text-decoration: underline;");
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
    bool m_active;
};

}  // namespace

QLayout* makerLinks(QLabel* hint, bool active) {
    auto* row = new QHBoxLayout;
    row->addWidget(new LinkLabel("Tessaro on the web", "Visit the maker's web page",
                                 kMakerWebAddress, hint, active));
    row->addWidget(new LinkLabel("Write to the maker", "Send an e-mail to the maker",
                                 kMakerMailAddress, hint, active));
    row->addStretch();
    return row;
}

}  // namespace exportal
