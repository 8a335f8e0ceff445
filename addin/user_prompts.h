// What the add-in asks of the user: message boxes and the folder picker. Both sit
// behind replaceable handlers so tests answer them instead of a person.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace exportal {

// A message box with an OK button.
void showMessage(QWidget* owner, const QString& text);
using MessageHandler = std::function<void(QWidget* owner, const QString& text)>;
// Null restores the message box.
void setMessageHandler(MessageHandler handler);

// A message box with the exclamation icon and its own title; tests see its text through
// the same handler as showMessage.
void showWarning(QWidget* owner, const QString& title, const QString& text);

// A message box with the critical icon and an OK button; tests see it like the others.
void showCritical(QWidget* owner, const QString& text);

// The folder picker titled "Select JPEG Target Directory"; empty text when cancelled.
QString BrowseForFolder(QWidget* owner);
using FolderPicker = std::function<QString(QWidget* owner, const QString& title)>;
void setFolderPicker(FolderPicker picker);

// Lets the host's event loop run, where the add-in waits for the host.
void yieldToHost();

}  // namespace exportal
