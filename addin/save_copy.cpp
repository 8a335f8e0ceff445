#include "save_copy.h"

#include <QCoreApplication>

#include <sys/stat.h>

namespace exportal {

bool saveCopyAs(CadHost& host, const std::string& fileName) {
    host.postPrivateEvent(kSaveCopyEvent, fileName);
    QCoreApplication::processEvents();
    const bool started = host.startCommand(kSaveCopyCommand);
    QCoreApplication::processEvents();
    return started;
}

bool isTheDocument(CadHost& host, const std::string& fileName) {
    CadDocument* document = host.activeDocument();
    if (document == nullptr) return false;
    struct stat output {};
    struct stat own {};
    return stat(fileName.c_str(), &output) == 0 &&
           stat(document->fullFileName().c_str(), &own) == 0 && output.st_dev == own.st_dev &&
           output.st_ino == own.st_ino;
}

}  // namespace exportal
