#include "document/headless_render.h"

#include "document/scene_document.h"
#include "render/renderer.h"
#include "render/surface.h"
#include "xgl/scene_load_context.h"

namespace tessaro {

// The file is opened before the surface is made, so that a file that cannot be
// opened is reported as such even where nothing can be drawn.
LoadResult renderDocument(const std::string& fileName, int width, int height, RgbImage& picture,
                          const std::function<void()>& afterLoad) {
    LoadResult opened;
    std::unique_ptr<InputStream> stream = openDocument(fileName.c_str(), opened);
    std::string error;
    std::unique_ptr<RenderSurface> surface = createHeadlessSurface(width, height, &error);
    if (!surface) {
        if (!stream) return opened;
        return {LoadStatus::cannotDraw, "cannot draw without a window: " + error, 0};
    }
    createContext(surface.get());
    setViewport(width, height);
    LoadResult result = opened;
    {
        SceneDocument document;
        if (stream) {
            result = document.load(*stream);
        } else {
            document.clear();
        }
    }
    if (result.status == LoadStatus::loaded && afterLoad) afterLoad();
    if (result.status != LoadStatus::invalid) {
        picture.width = width;
        picture.height = height;
        picture.pixels = readPixelsRgb(width, height);
    }
    clearDisplay();
    destroyContext();
    return result;
}

}  // namespace tessaro
