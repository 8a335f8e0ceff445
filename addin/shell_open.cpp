#include "shell_open.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace exportal {

namespace {

// A file this system runs itself: an ELF binary or a script with an interpreter line.
bool nativeProgram(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray start = file.read(4);
    return start ==
               "\x7f"
               "ELF" ||
           start.startsWith("#!");
}

// Wine hands the program its path as a Windows command line, where these characters
// cannot stand in a name: started anyway, it fails after the start has been reported
// as a success.
bool windowsCanName(const QString& path) {
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || QStringView(u"\"<>|*?:").contains(c)) return false;
    }
    return true;
}

bool startProgram(const QString& program, const QStringList& arguments, const QString& directory) {
    const QFileInfo info(program);
    if (info.suffix().compare("exe", Qt::CaseInsensitive) == 0 && !nativeProgram(program)) {
        const QString wine = wineLoader();
        if (wine.isEmpty() || !windowsCanName(info.absoluteFilePath())) return false;
        return QProcess::startDetached(wine, QStringList{program} + arguments, directory);
    }
    return QProcess::startDetached(program, arguments, directory);
}

}  // namespace

QString wineLoader() {
    for (const char* name : {"wine", "wine64"}) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty()) return found;
    }
    const QString debianLoader = "/usr/lib/wine/wine64";
    return QFileInfo(debianLoader).isExecutable() ? debianLoader : QString();
}

bool ShellOpen(const std::string& file, const std::string& verb, const std::string& parameters,
               const std::string& directory, int showCommand) {
    return ShellOpenArguments(file, verb,
                              QProcess::splitCommand(QString::fromStdString(parameters)), directory,
                              showCommand);
}

bool ShellOpenArguments(const std::string& file, const std::string& verb,
                        const QStringList& arguments, const std::string& directory,
                        int /*showCommand*/) {
    if (verb != "Open" && verb != "open") return false;
    const QString path = QString::fromStdString(file);
    const QFileInfo info(path);
    if (info.isFile() && (info.isExecutable() || info.suffix().toLower() == "exe"))
        return startProgram(path, arguments, QString::fromStdString(directory));
    if (path.isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromUserInput(path));
}

}  // namespace exportal
