// The numbered validation messages of the XGL format, and the sink through which
// the readers and element rules raise them.
#pragma once

namespace tessaro {

// The exact text of message `number` ("61: Tag Inappropriate in current context"),
// or nullptr for a number that the format does not use.
const char* messageText(int number);

// Texts that are not numbered messages of the format.
inline constexpr const char* kErrorReadingFile = "Error Reading File\n";
// Syntax errors are formatted as "<0: ParseError>: <expat text> at line <n>\n".
inline constexpr const char* kSyntaxErrorFormat = "%s: %s at line %d\n";
// A temporary file that cannot be created, written or read stops the parse like a
// syntax error: "0: Cannot create a temporary file in /tmp: No space left on device".
inline constexpr const char* kStorageErrorFormat = "0: %s";

// Receives the first error of a parse. Implemented by SceneLoadContext; the value
// readers and element rules only see this interface.
class ErrorReporter {
  public:
    virtual void reportError(const char* text) = 0;
    virtual bool isStopped() const = 0;

    // Raises numbered message `number` through reportError.
    void raise(int number) { reportError(messageText(number)); }

  protected:
    ~ErrorReporter() = default;
};

}  // namespace tessaro
