#include "command_args.h"

#include <algorithm>

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

std::string_view withoutProgramName(std::string_view commandLine) {
    std::size_t end = 0;
    if (commandLine.starts_with('"')) {
        end = commandLine.find('"', 1);
        end = end == std::string_view::npos ? commandLine.size() : end + 1;
    } else {
        end = std::min(commandLine.find_first_of(" \t"), commandLine.size());
    }
    const std::size_t rest = commandLine.find_first_not_of(" \t", end);
    return rest == std::string_view::npos ? std::string_view() : commandLine.substr(rest);
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
