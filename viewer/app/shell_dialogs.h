// The shell's dialogs and the message box that shows a load's message.
#pragma once

#include <QFileDialog>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

#include "document/scene_document.h"

class QDialog;
class QMessageBox;

namespace tessaro {

// Shows the load's message in a modal box: exclamation icon, OK, caption "Tessaro".
class MessageBoxSink final : public MessageSink {
  public:
    explicit MessageBoxSink(QWidget* parent) : m_parent(parent) {}
    void showMessage(const char* text) override;

  private:
    QWidget* m_parent;
};

// The box MessageBoxSink shows, built but not yet shown.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const char* text);

// The File Open dialog with its two filters. The framework reads "*.xgl;" as one
// pattern, so the dialog hands its list the patterns of the chosen filter itself:
// the first shows .xgl and .zgl files in any letter case.
class OpenSceneDialog final : public QFileDialog {
  public:
    explicit OpenSceneDialog(QWidget* parent);
    // The patterns the file list uses now.
    QStringList listPatterns() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void usePatterns(const QString& filter);
};

// The about box: the icon, "Tessaro Sample", a second line and OK.
std::unique_ptr<QDialog> makeAboutBox(QWidget* parent);

// The first dropped local file that is named .xgl or .zgl; empty when there is none.
QString droppedSceneFile(const QList<QUrl>& urls);

}  // namespace tessaro
