#include "host/addin_loader.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>

namespace exportal {

std::unique_ptr<AddInServer> loadAddIn(const std::string& library, std::string& error) {
    dlerror();
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "The add-in " + library + " cannot be loaded: " + (reason ? reason : "unknown");
        return nullptr;
    }
    auto factory = reinterpret_cast<AddInFactory>(dlsym(handle, kAddInFactorySymbol));
    if (factory == nullptr) {
        error = "The add-in " + library + " has no " + kAddInFactorySymbol + " function.";
        dlclose(handle);
        return nullptr;
    }
    std::unique_ptr<AddInServer> server(factory());
    if (!server) error = "The add-in " + library + " created no server.";
    return server;
}

// Installed: beside the program in the library folder; in the build tree: where the
// build put it.
std::string defaultAddInLibrary() {
    const QString installed = QCoreApplication::applicationDirPath() + "/" EXPORTAL_INSTALLED_ADDIN;
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath().toStdString();
    return EXPORTAL_BUILD_ADDIN;
}

}  // namespace exportal
