// The DWF display component: sized like any widget, given a file name, it shows one
// page of the file on its background colour: a sheet, or after the sheets a 3D model.
// Page Up and Page Down switch pages. On a sheet the wheel zooms about the cursor and a
// left drag pans; on a model a left drag turns it, the wheel zooms, a middle drag pans
// and Home returns to the published view. A file that cannot be shown is reported
// inside the component, as is a page that could be read only in part.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "model_picture.h"

namespace plotwick {

class DwfView : public QWidget {
  public:
    explicit DwfView(QWidget* parent = nullptr);

    void setBackgroundColour(const QColor& colour);
    // Reads the file at once; an empty name empties the component.
    void setSourcePath(const QString& path);
    const QString& sourcePath() const { return m_path; }

    int sheetCount() const { return static_cast<int>(m_document.sheets.size()); }
    int pageCount() const { return static_cast<int>(plotwick::pageCount(m_document)); }
    int sheetIndex() const { return m_sheet; }  // the page shown, sheets first
    void showSheet(int index);                  // out-of-range indices are ignored
    const ViewAdjustment& adjustment() const { return m_adjustment; }
    // What the component reports instead of, or besides, the drawing; empty if nothing.
    QString messageText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drawMessage(QPainter& painter, const QString& text);
    const W3dModel* shownModel() const;
    void drawModel(QPainter& painter, const W3dModel& model);
    void dragModel(const QPoint& drag);

    DwfDocument m_document;
    QImage m_preview;  // shown when the file holds no 2D sheet but a picture of itself
    QString m_path;
    int m_sheet = 0;
    ViewAdjustment m_adjustment;
    QPoint m_lastDrag;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    // The model page's picture, made again when the page or the view's size changes.
    ModelPicture m_picture;
    int m_pictureOfPage = -1;
    QString m_pictureError;
    ModelCamera m_camera;
    double m_modelZoom = 1;  // of the published field, kept within the sheets' limits
};

}  // namespace plotwick
