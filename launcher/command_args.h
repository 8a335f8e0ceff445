// Splits Plotwick's command line into its arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plotwick {

inline constexpr int kDefaultMaximumArguments = 10;

// A one-based argument array: element 0 stays empty, elements 1..n hold the first n
// arguments (n <= maximum). A space or tab ends an argument, except between double
// quotes, which group ("My Part.dwf" is one argument) and are dropped.
std::vector<std::string> GetCommandArgs(std::string_view commandLine,
                                        int maximum = kDefaultMaximumArguments);

// A whole Windows command line without the program name in front of it (written in
// double quotes or ending at the first blank), and without the blanks after it.
std::string_view withoutProgramName(std::string_view commandLine);

// The command-line text of already split arguments: those with blanks or nothing in
// them are written in double quotes, so that GetCommandArgs gives them back whole.
std::string commandLineOf(const std::vector<std::string>& arguments);

}  // namespace plotwick
