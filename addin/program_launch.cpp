#include "program_launch.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace exportal {

QString wineLoader() {
    for (const char* name : {"wine", "wine64"}) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty()) return found;
    }
    // Debian's wine64 package alone puts its loader outside PATH.
    const QString debianLoader = "/usr/lib/wine/wine64";
    return QFileInfo(debianLoader).isExecutable() ? debianLoader : QString();
}

bool isWindowsExecutable(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

qint64 startProgram(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) {
    QString command = program;
    QStringList commandArguments = arguments;
    if (isWindowsExecutable(program)) {
        command = wineLoader();
        if (command.isEmpty()) return 0;
        commandArguments.prepend(program);
    }
    qint64 id = 0;
    if (!QProcess::startDetached(command, commandArguments, workingFolder, &id)) return 0;
    return id;
}

bool ShellOpen(const QString& file) {
    const QUrl url = QUrl::fromUserInput(file);
    return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace exportal
