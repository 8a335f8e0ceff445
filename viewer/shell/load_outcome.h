// What the shell needs to tell a failed load from a drawn one: why a name cannot be
// loaded before anything is read, and whether the load itself showed a message.
#pragma once

#include <string>

#include "document/scene_document.h"

namespace tessaro {

// The message for a name the viewer will not try to load, or empty when it will:
// only names ending in .xgl or .zgl are read.
std::string nameProblem(const char* fileName);

// The message for a document whose load says it could not be opened.
std::string openFailure(const char* fileName, const LoadResult& result);

// Forwards messages to another sink and remembers that one was shown.
class NotingSink final : public MessageSink {
  public:
    explicit NotingSink(MessageSink* target) : m_target(target) {}
    void showMessage(const char* text) override;
    void forget() { m_shown = false; }
    bool shown() const { return m_shown; }

  private:
    MessageSink* m_target;
    bool m_shown = false;
};

}  // namespace tessaro
