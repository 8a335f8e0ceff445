#include "document/headless_render.h"

#include "document/scene_document.h"
#include "render/renderer.h"
#include "render/surface.h"

namespace tessaro {

namespace {

struct KeepMessage : MessageSink {
    void showMessage(const char* text) override {
        if (!shown) message = text;
        shown = true;
    }
    bool shown = false;
    std::string message;
};

}  // namespace

HeadlessResult renderDocument(const std::string& fileName, int width, int height,
                              RgbImage& picture) {
    HeadlessResult result;
    std::string error;
    std::unique_ptr<RenderSurface> surface = createHeadlessSurface(width, height, &error);
    if (!surface) {
        result.message = "cannot draw without a window: " + error;
        return result;
    }
    createContext(surface.get());
    setViewport(width, height);
    KeepMessage messages;
    {
        SceneDocument document(&messages);
        document.load(fileName.c_str());
    }
    if (messages.shown) {
        result.message = messages.message;
    } else {
        picture.width = width;
        picture.height = height;
        picture.pixels = readPixelsRgb(width, height);
        result.drawn = true;
    }
    clearDisplay();
    destroyContext();
    return result;
}

}  // namespace tessaro
