// Starting programs and opening documents the way the Windows shell's open verb would.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace exportal {

// `ShellOpen`: performs `verb` ("Open") on `file`. A program is started detached
// with `parameters` (split like a command line, double quotes group) in `directory`
// (empty: the current one); a Windows program (.exe that is not native) runs through
// wine when wine is installed and its path holds no character a Windows name cannot
// (otherwise it fails). Anything else (a web or mail address, a document) goes
// to the desktop's handler. The show command is taken for the record only: programs
// here choose their own windows. True when the start succeeded.
bool ShellOpen(const std::string& file, const std::string& verb, const std::string& parameters,
               const std::string& directory, int showCommand);
// The same with the program's arguments one by one, as they are: a name that holds a
// double quote or a blank stays one argument.
bool ShellOpenArguments(const std::string& file, const std::string& verb,
                        const QStringList& arguments, const std::string& directory,
                        int showCommand);

// The wine loader that runs Windows programs here: "wine" or "wine64" on PATH, else
// the loader of Debian's wine64 package, which is not on PATH; empty without wine.
QString wineLoader();

}  // namespace exportal
