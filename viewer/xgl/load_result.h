// What every load returns: the parse, loadDocument, the scene document and the
// headless drawing, so that each front end decides from the same three facts.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

enum class LoadStatus : std::uint8_t {
    loaded,      // read to the end without a message
    invalid,     // stopped at its first message, which the consumer was shown
    cannotOpen,  // not named .xgl/.zgl or not readable; nothing was parsed
    cannotDraw,  // headless drawing only: no off-screen surface
};

struct LoadResult {
    LoadStatus status = LoadStatus::loaded;
    // The first message of the document, or why it could not be opened or drawn.
    std::string message;
    // The document line the parser was on when the message was raised; 0 for none.
    int line = 0;
    // Why the file could not be opened (an errno value) when the status says so.
    int systemError = 0;

    bool loaded() const { return status == LoadStatus::loaded; }
};

}  // namespace tessaro
