// Interactive turning: frames per second while the Examine tool turns a loaded
// document, at the viewer's usual window size, drawn off-screen through the viewer's
// own renderer. Each frame is what one pointer step costs the Qt viewer: the
// navigation step, one drawing of the scene list, and glFinish (the renderer's, which
// waits for the frame, as a shown frame must).
//
// Usage: turn_bench FILE... [--frames N] [--size WxH]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "document/scene_document.h"
#include "render/renderer.h"
#include "render/surface.h"
#include "shell/navigation.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Options {
    std::vector<std::string> files;
    int frames = 60;
    int width = 1024, height = 768;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            options.frames = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) return false;
        } else {
            options.files.emplace_back(argv[i]);
        }
    }
    return !options.files.empty() && options.frames > 0 && options.width > 0 && options.height > 0;
}

tessaro::Camera cameraOfViewState() {
    tessaro::Camera camera;
    tessaro::viewState().getOrientation(camera.forward, camera.up);
    tessaro::viewState().getViewBox(camera.centre, camera.size);
    return camera;
}

// A left drag with the Examine tool from the middle of the view, 6 pixels right and 2
// down per step (a brisk drag); the ViewState's setOrientation draws each step.
struct Rate {
    double fps = 0;
    double cpuMsPerFrame = 0;  // every thread of the process, the rasterizer's included
};

Rate turn(const Options& options) {
    using namespace tessaro;
    NavigationState state;
    state.mode = NavigationMode::examine;
    ClientPoint at{options.width / 2, options.height / 2};
    NavigationStep step = leftDown(state, cameraOfViewState(), at);
    const std::uint64_t drawnBefore = viewState().framesDrawn();
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int frame = 0; frame < options.frames; ++frame) {
        at.x += 6;
        at.y += 2;
        step = mouseMove(step.state, step.camera, at, options.height);
        if (step.redraw) viewState().setOrientation(step.camera.forward, step.camera.up);
    }
    const double seconds = secondsSince(start);
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const std::uint64_t drawn = viewState().framesDrawn() - drawnBefore;
    if (drawn != static_cast<std::uint64_t>(options.frames)) {
        std::printf("  (%llu drawings for %d steps)\n", static_cast<unsigned long long>(drawn),
                    options.frames);
    }
    return {drawn / seconds, 1000 * cpuSeconds / options.frames};
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: turn_bench FILE... [--frames N] [--size WxH]\n");
        return 2;
    }
    std::string error;
    auto surface = tessaro::createHeadlessSurface(options.width, options.height, &error);
    if (!surface) {
        std::printf("no off-screen surface: %s\n", error.c_str());
        return 1;
    }
    tessaro::createContext(surface.get());
    tessaro::setViewport(options.width, options.height);
    std::printf("GL_RENDERER %s\nGL_VERSION %s\nsize %dx%d, %d frames per document\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)), options.width,
                options.height, options.frames);
    std::printf("%-28s %9s %9s %9s %9s %13s\n", "document", "file MB", "load s", "fps", "ms/frame",
                "cpu ms/frame");
    for (const std::string& file : options.files) {
        tessaro::SceneDocument document;
        const auto start = Clock::now();
        const tessaro::LoadResult result = document.load(file.c_str());
        const double load = secondsSince(start);
        if (!result.loaded()) {
            std::printf("%-28s cannot be loaded\n", file.c_str());
            continue;
        }
        std::FILE* f = std::fopen(file.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const double mb = std::ftell(f) / 1048576.0;
        std::fclose(f);
        // A few steps first, so that the driver's first-use costs are not counted.
        Options warm = options;
        warm.frames = 3;
        turn(warm);
        const Rate rate = turn(options);
        const std::string name = file.substr(file.find_last_of('/') + 1);
        std::printf("%-28s %9.1f %9.2f %9.2f %9.1f %13.1f\n", name.c_str(), mb, load, rate.fps,
                    1000 / rate.fps, rate.cpuMsPerFrame);
        document.clear();
    }
    tessaro::clearDisplay();
    tessaro::destroyContext();
    return 0;
}
