#include "xgl/messages.h"

#include <algorithm>
#include <iterator>

namespace tessaro {
namespace {

struct CatalogueRow {
    int number;
    const char* text;
};

constexpr CatalogueRow kCatalogue[] = {
#define TESSARO_CATALOGUE_ROW(number, name, text) {number, text},
    TESSARO_XGL_MESSAGES(TESSARO_CATALOGUE_ROW)
#undef TESSARO_CATALOGUE_ROW
};

constexpr bool sortedByNumber() {
    for (std::size_t i = 1; i < std::size(kCatalogue); ++i) {
        if (kCatalogue[i - 1].number >= kCatalogue[i].number) return false;
    }
    return true;
}
static_assert(sortedByNumber(), "messageText uses a binary search");

// Each text begins with its own number and a colon, so a name cannot be given the
// number of another message's text.
constexpr bool beginsWithNumber(int number, const char* text) {
    int read = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        read = read * 10 + (*text - '0');
    return read == number && *text == ':';
}
#define TESSARO_CHECK_MESSAGE(number, name, text) \
    static_assert(beginsWithNumber(number, text), #name " does not match its text");
TESSARO_XGL_MESSAGES(TESSARO_CHECK_MESSAGE)
#undef TESSARO_CHECK_MESSAGE

}  // namespace

const char* messageText(int number) {
    const auto* end = std::end(kCatalogue);
    const auto* it = std::lower_bound(std::begin(kCatalogue), end, number,
                                      [](const CatalogueRow& m, int n) { return m.number < n; });
    return (it != end && it->number == number) ? it->text : nullptr;
}

const char* messageText(Message message) {
    return messageText(static_cast<int>(message));
}

}  // namespace tessaro
