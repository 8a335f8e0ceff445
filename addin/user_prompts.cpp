#include "user_prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace exportal {

namespace {

MessageHandler& messageHandler() {
    static MessageHandler handler;
    return handler;
}

FolderPicker& folderPicker() {
    static FolderPicker picker;
    return picker;
}

}  // namespace

void showMessage(QWidget* owner, const QString& text) {
    if (messageHandler()) {
        messageHandler()(owner, text);
        return;
    }
    // A message's lines are parted by a carriage return, which a label does not break at.
    QString shown = text;
    shown.replace('\r', '\n');
    QMessageBox::information(owner, "Exportal", shown, QMessageBox::Ok);
}

void showWarning(QWidget* owner, const QString& title, const QString& text) {
    if (messageHandler()) {
        messageHandler()(owner, text);
        return;
    }
    QMessageBox::warning(owner, title, text, QMessageBox::Ok);
}

void showCritical(QWidget* owner, const QString& text) {
    if (messageHandler()) {
        messageHandler()(owner, text);
        return;
    }
    QString shown = text;
    shown.replace("\r\n", "\n");
    QMessageBox::critical(owner, "Exportal", shown, QMessageBox::Ok);
}

void setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}

QString BrowseForFolder(QWidget* owner) {
    const QString title = "Select JPEG Target Directory";
    if (folderPicker()) return folderPicker()(owner, title);
    const QString chosen = QFileDialog::getExistingDirectory(owner, title);
    // The folder ends at its first NUL, as the shell's picker hands it over.
    const qsizetype nul = chosen.indexOf(QChar(0));
    return nul < 0 ? chosen : chosen.left(nul);
}

void setFolderPicker(FolderPicker picker) {
    folderPicker() = std::move(picker);
}

void yieldToHost() {
    QCoreApplication::processEvents();
}

}  // namespace exportal
