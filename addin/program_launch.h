// Starting outside programs the way the add-in's Windows original did, on this
// machine: native programs directly, Windows executables through wine.
#pragma once

#include <QStringList>

#include <string>

namespace exportal {

// Window modes of a started program.
inline constexpr int kWindowHidden = 0;
inline constexpr int kWindowNormal = 1;

// The wine loader that runs Windows executables here ("wine", then "wine64" on PATH,
// then Debian's wine64 loader); empty when wine is not installed.
QString wineLoader();

// True for a file that starts like a Windows executable ("MZ").
bool isWindowsExecutable(const QString& path);

// Starts `program` with `arguments` in `workingFolder` without waiting for it. A
// Windows executable is started through wine; without wine it cannot start. The
// process id, 0 when the program could not be started.
qint64 startProgram(const QString& program, const QStringList& arguments = {},
                    const QString& workingFolder = {});

// `ShellOpen`: hands a web or mail address (or a file) to the desktop's opener. True
// when the opener took it.
bool ShellOpen(const QString& file);

}  // namespace exportal
