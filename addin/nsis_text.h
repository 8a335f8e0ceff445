// Names and paths written into an NSIS script or onto the compiler's command line.
// The compiler reads its own syntax inside quoted strings: a line break ends the
// command and lets the next line run as one (even `!system`), "$" starts a variable or
// a compile-time definition, "\" is a folder separator, and the packed file's name is
// a wildcard pattern. So every value is either escaped or refused before it is written.
#pragma once

#include <string>

namespace exportal {

enum class ScriptValueKind {
    localPath,   // a path on this machine: the script and the compiler read it here
    packedFile,  // a path or name whose last part the package unpacks on Windows
};

// Why `value` cannot go into a script, naming the character; empty when it can. No
// value may hold a control character (line feed, carriage return, NUL ...), "$" or
// "\"; the last part of a packed file may not hold what a Windows file name cannot
// (" * ? < > | :), the two wildcards among them, nor be a Windows device name (AUX,
// CON, NUL, PRN, COM0-9 and LPT0-9, whatever follows the first dot).
std::string scriptValueRefusal(const std::string& value, ScriptValueKind kind);

// `value` for a quoted string of the script, whichever quote (" ' `) encloses it: each
// quote becomes its escape ($\" $\' $\`). Only for values scriptValueRefusal accepts.
std::string quotedScriptText(const std::string& value);

// A placeholder's value as the script gets it: quotedScriptText, and a path whose first
// folder the File command would take for a switch (/xfer/..., /oname=...) written from
// "/./" instead of "/".
std::string scriptValueText(const std::string& value);

}  // namespace exportal
