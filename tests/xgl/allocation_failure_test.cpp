// Running out of memory anywhere in the read path: this executable replaces the
// global operator new with one that fails at the Nth allocation, and loads a small
// document once for every N the load makes. Each run must end either as a clean
// load or with exactly one message about memory, and (under the sanitizer build)
// without a crash or a leak. It is a program of its own because the replacement
// applies to the whole program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace {

bool g_counting = false;
long g_allocations = 0;
long g_failAt = 0;  // 0: none fails

bool nextAllocationFails() {
    if (!g_counting) return false;
    return ++g_allocations == g_failAt;
}

void* allocate(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

// GCC takes free() in a replaced operator delete for a mismatch with new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    void* p = nextAllocationFails() ? nullptr : allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return nextAllocationFails() ? nullptr : allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return nextAllocationFails() ? nullptr : allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace tessaro {
namespace {

// Keeps what it is shown without allocating, so that it cannot fail itself.
struct MessageCounter : ValidatingConsumer {
    void showError(const char* text) override {
        if (shown++ == 0) std::snprintf(first, sizeof first, "%s", text);
    }
    int shown = 0;
    char first[1024] = {};
};

// Meshes with materials, a texture with its image, a transformed object and a data
// block: most of the read path's allocations in a few hundred bytes.
const std::string kDocument = testing::validWorld(
    "<mat id='1'><amb>1 0 0</amb><diff>0 1 0</diff></mat>"
    "<texturergb id='9' width='1' height='1'>ff8000</texturergb>"
    "<texture id='4'><texturergb width='1' height='1'>ff8000</texturergb><modulate/>"
    "<repeat/></texture>"
    "<mesh id='2'><p id='3'>0 1 0</p><f><matref>1</matref><textureref>4</textureref>"
    "<fv1><p>0 0 0</p><tc>0 0</tc></fv1><fv2><p>1 0 0</p><tc>1 0</tc></fv2>"
    "<fv3><pref>3</pref><tc>0 1</tc></fv3></f>"
    "<l><matref>1</matref><lv1><p>0 0 0</p></lv1><lv2><p>0 0 1</p></lv2></l></mesh>"
    "<object><transform><forward>0 0 1</forward><up>0 1 0</up><position>1 2 3</position>"
    "</transform><object><meshref>2</meshref></object><object><mesh><f><mat><amb>0 0 0</amb>"
    "<diff>1 1 1</diff></mat><fv1><p>0 0 0</p></fv1><fv2><p>2 0 0</p></fv2>"
    "<fv3><p>0 2 0</p></fv3></f></mesh></object></object>"
    "<data org='acme'><str name='a'>x</str><bin name='b'>00ff</bin></data>");

struct Run {
    LoadResult result;
    MessageCounter consumer;
};

// Runs `load` with the Nth allocation failing (none for 0); returns how many
// allocations the run made.
template <typename Load>
long runFailingAt(long n, Run& run, Load load) {
    g_allocations = 0;
    g_failAt = n;
    g_counting = true;
    run.result = load(run.consumer);
    g_counting = false;
    return g_allocations;
}

template <typename Load>
void sweep(Load load) {
    Run clean;
    const long allocations = runFailingAt(0, clean, load);
    ASSERT_TRUE(clean.result.loaded()) << clean.consumer.first;
    ASSERT_GT(allocations, 10);
    int stopped = 0;
    for (long n = 1; n <= allocations; ++n) {
        Run run;
        runFailingAt(n, run, load);
        const MessageCounter& c = run.consumer;
        EXPECT_LE(c.shown, 1) << "allocation " << n;
        EXPECT_EQ(run.result.loaded(), c.shown == 0) << "allocation " << n;
        if (c.shown == 0) continue;
        ++stopped;
        // "0: Not enough memory ..." or a table's "... too large to hold in memory".
        EXPECT_NE(std::strstr(c.first, "memory"), nullptr) << "allocation " << n << ": " << c.first;
        // Without memory for its copy the result holds no text; the consumer had it.
        if (!run.result.message.empty()) {
            EXPECT_EQ(run.result.message, c.first) << "allocation " << n;
        }
    }
    // Allocations that a load can do without (a cache, a larger block) may fail
    // unnoticed, but most of them must stop it.
    EXPECT_GT(stopped, allocations / 2);
}

TEST(AllocationFailure, EveryFailedAllocationOfAParseEndsInOneMessage) {
    sweep([](SceneConsumer& consumer) {
        testing::ViewStream stream(kDocument);
        // Only the parse is swept here; loadDocument answers for the construction.
        g_counting = false;
        SceneLoadContext context(consumer);
        g_counting = true;
        return context.parse(stream, nullptr);
    });
}

TEST(AllocationFailure, EveryFailedAllocationOfAFileLoadEndsInOneMessage) {
    testing::TempDir dir;
    const std::string path = dir.file("model.zgl");
    testing::writeFile(path, testing::deflateText(kDocument));
    sweep([&path](SceneConsumer& consumer) { return loadDocument(path.c_str(), consumer); });
}

}  // namespace
}  // namespace tessaro
