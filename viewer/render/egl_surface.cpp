#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <utility>

#include "render/surface.h"

namespace tessaro {

namespace {

// Framebuffer objects are newer than OpenGL 1.1, so they are fetched at run time.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    template <typename F>
    static bool fetch(F& slot, const char* name) {
        slot = reinterpret_cast<F>(eglGetProcAddress(name));
        return slot != nullptr;
    }

    bool load() {
        return fetch(genFramebuffers, "glGenFramebuffers") &&
               fetch(deleteFramebuffers, "glDeleteFramebuffers") &&
               fetch(bindFramebuffer, "glBindFramebuffer") &&
               fetch(genRenderbuffers, "glGenRenderbuffers") &&
               fetch(deleteRenderbuffers, "glDeleteRenderbuffers") &&
               fetch(bindRenderbuffer, "glBindRenderbuffer") &&
               fetch(renderbufferStorage, "glRenderbufferStorage") &&
               fetch(framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               fetch(checkFramebufferStatus, "glCheckFramebufferStatus");
    }
};

// eglTerminate ends the display for every user, so it waits for the last surface.
int g_displayUsers = 0;

bool hasExtension(const char* list, const char* name) {
    if (list == nullptr) return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
        const bool starts = at == list || at[-1] == ' ';
        if (starts && (at[length] == ' ' || at[length] == '\0')) return true;
    }
    return false;
}

EGLDisplay surfacelessDisplay() {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) return EGL_NO_DISPLAY;
    EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) return display;
    auto getDisplayExt = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getDisplayExt == nullptr) return EGL_NO_DISPLAY;
    return getDisplayExt(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// Display lists need the compatibility profile; a context without a profile
// request is one too on the drivers that reject the attribute.
EGLContext compatibilityContext(EGLDisplay display) {
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &found) || found == 0) {
        config = nullptr;  // EGL_NO_CONFIG_KHR: surfaceless contexts need none
    }
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) {
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    }
    return context;
}

class HeadlessSurface final : public RenderSurface {
  public:
    HeadlessSurface(int width, int height) : m_width(width), m_height(height) {}
    HeadlessSurface(const HeadlessSurface&) = delete;
    HeadlessSurface& operator=(const HeadlessSurface&) = delete;
    ~HeadlessSurface() override { release(); }

    // Empty on success, else the reason.
    std::string open();

    bool makeCurrent() override {
        if (eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) != EGL_TRUE) {
            return false;
        }
        m_gl.bindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
        return true;
    }
    void swapBuffers() override { glFinish(); }
    int width() const override { return m_width; }
    int height() const override { return m_height; }

  private:
    std::string createFramebuffer();
    void release();

    int m_width;
    int m_height;
    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLContext m_context = EGL_NO_CONTEXT;
    FramebufferCalls m_gl;
    GLuint m_framebuffer = 0;
    GLuint m_colour = 0;
    GLuint m_depth = 0;
};

std::string HeadlessSurface::open() {
    m_display = surfacelessDisplay();
    if (m_display == EGL_NO_DISPLAY) return "no EGL display on the Mesa surfaceless platform";
    if (eglInitialize(m_display, nullptr, nullptr) != EGL_TRUE) {
        m_display = EGL_NO_DISPLAY;
        return "eglInitialize failed";
    }
    ++g_displayUsers;
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) return "the EGL display offers no desktop OpenGL";
    m_context = compatibilityContext(m_display);
    if (m_context == EGL_NO_CONTEXT) return "no OpenGL compatibility context";
    if (eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) != EGL_TRUE) {
        return "the context cannot be made current without a surface";
    }
    if (!m_gl.load()) return "no framebuffer objects";
    return createFramebuffer();
}

std::string HeadlessSurface::createFramebuffer() {
    m_gl.genFramebuffers(1, &m_framebuffer);
    m_gl.bindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    m_gl.genRenderbuffers(1, &m_colour);
    m_gl.bindRenderbuffer(GL_RENDERBUFFER, m_colour);
    m_gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_width, m_height);
    m_gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colour);
    m_gl.genRenderbuffers(1, &m_depth);
    m_gl.bindRenderbuffer(GL_RENDERBUFFER, m_depth);
    m_gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, m_width, m_height);
    m_gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    if (m_gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return "the framebuffer of " + std::to_string(m_width) + "x" + std::to_string(m_height) +
               " is incomplete";
    }
    // A window system sizes the viewport to the window; here nothing else would.
    glViewport(0, 0, m_width, m_height);
    return {};
}

void HeadlessSurface::release() {
    if (m_context != EGL_NO_CONTEXT) {
        if (m_framebuffer != 0 &&
            eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) == EGL_TRUE) {
            m_gl.deleteFramebuffers(1, &m_framebuffer);
            m_gl.deleteRenderbuffers(1, &m_colour);
            m_gl.deleteRenderbuffers(1, &m_depth);
        }
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_display, m_context);
    }
    if (m_display != EGL_NO_DISPLAY && --g_displayUsers == 0) eglTerminate(m_display);
}

}  // namespace

std::unique_ptr<RenderSurface> createHeadlessSurface(int width, int height, std::string* error) {
    std::string reason;
    std::unique_ptr<HeadlessSurface> surface;
    if (width <= 0 || height <= 0) {
        reason = "the surface needs a width and a height of at least 1";
    } else {
        surface = std::make_unique<HeadlessSurface>(width, height);
        reason = surface->open();
    }
    if (reason.empty()) return surface;
    if (error != nullptr) *error = std::move(reason);
    return nullptr;
}

}  // namespace tessaro
