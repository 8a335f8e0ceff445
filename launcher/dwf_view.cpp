#include "dwf_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace plotwick {
DwfView::DwfView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
}

void DwfView::setBackgroundColour(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
    update();
}

void DwfView::setSourcePath(const QString& path) {
    m_path = path;
    m_document = path.isEmpty() ? DwfDocument{} : readDwfFile(path.toStdString());
    m_preview =
        QImage::fromData(m_document.preview.data(), static_cast<int>(m_document.preview.size()));
    m_sheet = 0;
    m_adjustment = {};
    update();
}

void DwfView::showSheet(int index) {
    if (index < 0 || index >= sheetCount() || index == m_sheet) return;
    m_sheet = index;
    m_adjustment = {};
    update();
}

QString DwfView::messageText() const {
    if (!m_document.message.empty()) return QString::fromStdString(m_document.message);
    if (m_sheet < sheetCount()) {
        return QString::fromStdString(
            m_document.sheets[static_cast<std::size_t>(m_sheet)].graphics.message);
    }
    return {};
}

void DwfView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_sheet < sheetCount()) {
        drawSheet(painter, m_document.sheets[static_cast<std::size_t>(m_sheet)], rect(),
                  m_adjustment);
    } else if (!m_preview.isNull()) {
        drawPicture(painter, m_preview, rect());
    }
    if (const QString message = messageText(); !message.isEmpty()) drawMessage(painter, message);
}

void DwfView::drawMessage(QPainter& painter, const QString& text) {
    const QString shown = m_path.isEmpty() ? text : m_path + "\n" + text;
    const QRect box = rect().adjusted(12, 12, -12, -12);
    const QRect needed =
        painter.boundingRect(box, Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, shown);
    painter.fillRect(needed.adjusted(-6, -4, 6, 4), QColor(255, 255, 255, 230));
    painter.setPen(QColor(160, 0, 0));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, shown);
}

void DwfView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown) {
        showSheet(m_sheet + 1);
    } else if (event->key() == Qt::Key_PageUp) {
        showSheet(m_sheet - 1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// Zooms about the cursor: the page point under it stays under it.
void DwfView::wheelEvent(QWheelEvent* event) {
    const QPointF fromCentre = event->position() - QRectF(rect()).center();
    m_adjustment =
        zoomedAbout(m_adjustment, event->angleDelta().y(), {fromCentre.x(), fromCentre.y()});
    update();
}

void DwfView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragging = true;
    m_lastDrag = event->position().toPoint();
}

void DwfView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const QPoint now = event->position().toPoint();
    const QPoint drag = now - m_lastDrag;
    m_adjustment =
        pannedBy(m_adjustment, {static_cast<double>(drag.x()), static_cast<double>(drag.y())});
    m_lastDrag = now;
    update();
}

void DwfView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragging = false;
}

}  // namespace plotwick
