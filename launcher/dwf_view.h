// The DWF display component: sized like any widget, given a file name, it shows one
// sheet of the file on its background colour. Page Up and Page Down switch sheets,
// the wheel zooms about the cursor and a left drag pans. A file that cannot be shown
// is reported inside the component, as is a sheet that could be read only in part.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"

namespace plotwick {

class DwfView : public QWidget {
  public:
    explicit DwfView(QWidget* parent = nullptr);

    void setBackgroundColour(const QColor& colour);
    // Reads the file at once; an empty name empties the component.
    void setSourcePath(const QString& path);
    const QString& sourcePath() const { return m_path; }

    int sheetCount() const { return static_cast<int>(m_document.sheets.size()); }
    int sheetIndex() const { return m_sheet; }
    void showSheet(int index);  // out-of-range indices are ignored
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

    DwfDocument m_document;
    QImage m_preview;  // shown when the file holds no 2D sheet but a picture of itself
    QString m_path;
    int m_sheet = 0;
    ViewAdjustment m_adjustment;
    QPoint m_lastDrag;
    bool m_dragging = false;
};

}  // namespace plotwick
