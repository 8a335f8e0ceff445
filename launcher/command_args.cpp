#include "command_args.h"

namespace plotwick {

std::vector<std::string> GetCommandArgs(std::string_view commandLine, int maximum) {
    std::vector<std::string> arguments(1);
    bool inside = false;
    bool quoted = false;
    for (char c : commandLine) {
        if ((c == ' ' || c == '\t') && !quoted) {
            inside = false;
            continue;
        }
        if (!inside) {
            if (static_cast<int>(arguments.size()) - 1 == maximum) break;
            arguments.emplace_back();
            inside = true;
        }
        // Quotes group blanks into the argument instead of only being dropped, so that
        // file names with blanks open.
        if (c == '"') {
            quoted = !quoted;
        } else {
            arguments.back().push_back(c);
        }
    }
    return arguments;
}

std::string commandLineOf(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        const bool needsQuotes =
            argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        line += needsQuotes ? '"' + argument + '"' : argument;
    }
    return line;
}

}  // namespace plotwick
