#include "save_copy.h"

#include <QCoreApplication>

namespace exportal {

bool saveCopyAs(CadHost& host, const std::string& fileName) {
    host.postPrivateEvent(kSaveCopyEvent, fileName);
    QCoreApplication::processEvents();
    const bool started = host.startCommand(kSaveCopyCommand);
    QCoreApplication::processEvents();
    return started;
}

}  // namespace exportal
