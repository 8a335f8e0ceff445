#include "dwf_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

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
    m_sheet = -1;
    m_pictureOfPage = -1;
    showSheet(0);
}

void DwfView::showSheet(int index) {
    if (index < 0 || index >= std::max(pageCount(), 1) || index == m_sheet) return;
    m_sheet = index;
    m_adjustment = {};
    m_modelZoom = 1;
    if (const W3dModel* model = shownModel()) m_camera = publishedCamera(*model);
    update();
}

const W3dModel* DwfView::shownModel() const {
    const int index = m_sheet - sheetCount();
    if (index < 0 || index >= static_cast<int>(m_document.models.size())) return nullptr;
    return &m_document.models[static_cast<std::size_t>(index)];
}

QString DwfView::messageText() const {
    if (!m_document.message.empty()) return QString::fromStdString(m_document.message);
    if (m_sheet < sheetCount()) {
        return QString::fromStdString(
            m_document.sheets[static_cast<std::size_t>(m_sheet)].graphics.message);
    }
    if (!m_pictureError.isEmpty()) return m_pictureError;
    if (const W3dModel* model = shownModel()) return QString::fromStdString(model->message);
    return {};
}

void DwfView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_sheet < sheetCount()) {
        drawSheet(painter, m_document.sheets[static_cast<std::size_t>(m_sheet)], rect(),
                  m_adjustment);
    } else if (const W3dModel* model = shownModel()) {
        drawModel(painter, *model);
    } else if (!m_preview.isNull()) {
        drawPicture(painter, m_preview, rect());
    }
    if (const QString message = messageText(); !message.isEmpty()) drawMessage(painter, message);
}

void DwfView::drawModel(QPainter& painter, const W3dModel& model) {
    if (m_pictureOfPage != m_sheet || m_picture.width() != width() ||
        m_picture.height() != height()) {
        std::string error;
        m_pictureOfPage = m_sheet;
        m_pictureError.clear();
        if (!m_picture.open(model, std::max(width(), 1), std::max(height(), 1), &error))
            m_pictureError =
                "No OpenGL context to draw the 3D model: " + QString::fromStdString(error);
    }
    const QImage frame = m_picture.draw(m_camera);
    if (!frame.isNull()) painter.drawImage(rect(), frame);
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
    } else if (const W3dModel* model = shownModel(); model && event->key() == Qt::Key_Home) {
        m_camera = publishedCamera(*model);
        m_modelZoom = 1;
        update();
    } else {
        QWidget::keyPressEvent(event);
    }
}

// Zooms about the cursor: the page point under it stays under it. A model zooms about
// the view's centre.
void DwfView::wheelEvent(QWheelEvent* event) {
    if (shownModel() != nullptr) {
        const double notches = event->angleDelta().y() / kWheelDeltaPerNotch;
        const double zoom =
            std::clamp(m_modelZoom * std::pow(kZoomPerNotch, notches), kMinimumZoom, kMaximumZoom);
        m_camera = zoomed(m_camera, zoom / m_modelZoom);
        m_modelZoom = zoom;
        update();
        return;
    }
    const QPointF fromCentre = event->position() - QRectF(rect()).center();
    m_adjustment =
        zoomedAbout(m_adjustment, event->angleDelta().y(), {fromCentre.x(), fromCentre.y()});
    update();
}

void DwfView::mousePressEvent(QMouseEvent* event) {
    const bool turnsOrPans = event->button() == Qt::LeftButton ||
                             (event->button() == Qt::MiddleButton && shownModel() != nullptr);
    if (!turnsOrPans || m_dragButton != Qt::NoButton) return;
    m_dragButton = event->button();
    m_lastDrag = event->position().toPoint();
}

void DwfView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragButton == Qt::NoButton) return;
    const QPoint now = event->position().toPoint();
    const QPoint drag = now - m_lastDrag;
    m_lastDrag = now;
    if (shownModel() != nullptr) {
        dragModel(drag);
    } else {
        m_adjustment =
            pannedBy(m_adjustment, {static_cast<double>(drag.x()), static_cast<double>(drag.y())});
    }
    update();
}

void DwfView::dragModel(const QPoint& drag) {
    if (m_dragButton == Qt::LeftButton) {
        m_camera = turned(m_camera, static_cast<double>(drag.x()) / std::max(width(), 1),
                          static_cast<double>(drag.y()) / std::max(height(), 1));
    } else {
        m_camera = panned(m_camera, drag.x(), drag.y(), width(), height());
    }
}

void DwfView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == m_dragButton) m_dragButton = Qt::NoButton;
}

}  // namespace plotwick
