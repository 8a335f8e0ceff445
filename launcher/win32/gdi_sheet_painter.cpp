#include "win32/gdi_sheet_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "dwf/paint_work.h"
#include "win32/gdi_image.h"
#include "win32/gdi_objects.h"
#include "win32/glyph_outlines.h"

namespace plotwick {
namespace {

constexpr int kCurveSegmentsPerTurn = 128;
constexpr int kDefaultTextPixels = 12;
// Texts are laid out with a font of this pixel size and transformed into place.
constexpr int kReferencePixels = 100;
// Text smaller than this on the device is not drawn: it would be a smudge.
constexpr double kSmallestTextPixels = 0.75;
// Text lower than this on the device is shown as a bar (greeked).
constexpr double kGreekedTextPixels = 4;
// Above this size (device pixels across the reference em square, either way) a text is
// filled as glyph outlines: GDI draws each glyph as a picture of its size on the
// device, which for a squashed or slanted text runs to gigabytes under wine. Text
// below it is drawn by GDI, with its hinting and smoothing.
constexpr double kLargestTextOutPixels = 128;
// Outlines are cut this many pixels outside the clip box, so that no edge of the cut
// shows.
constexpr int kOutlineMarginPixels = 2;
// The most outline points (and glyphs) one text may read and fill.
constexpr std::size_t kMostOutlinePoints = 1 << 18;
constexpr double kTwoPi = 2 * std::numbers::pi;
// GDI has no gradient pen: a Gouraud line is drawn in pieces about this long.
constexpr double kGradientStepPixels = 4;
constexpr int kGradientMaxPieces = 64;

PageBox logicalPage(const Sheet& sheet) {
    const auto box = sheet.graphics.view ? sheet.graphics.view : boundsOf(sheet.graphics);
    if (!box) return {};
    return {static_cast<double>(std::min(box->min.x, box->max.x)),
            static_cast<double>(std::min(box->min.y, box->max.y)),
            std::max<double>(1, std::abs(static_cast<double>(box->max.x - box->min.x))),
            std::max<double>(1, std::abs(static_cast<double>(box->max.y - box->min.y)))};
}

// The page in its own units, and the map from logical units to them.
PageBox pageOf(const Sheet& sheet, Affine& logicalToPage) {
    if (!sheet.paper) {
        logicalToPage = {};
        return logicalPage(sheet);
    }
    const auto& m = sheet.transform;
    logicalToPage = {m[0], m[1], m[4], m[5], m[12], m[13]};
    return {0, 0, sheet.paper->width, sheet.paper->height};
}

// Fits the page into the target, y up on the page and down on the device.
Affine pageToDevice(const PageBox& page, const RECT& target, const ViewAdjustment& adjustment) {
    const PageToDevice fit =
        fitPage(page,
                {static_cast<double>(target.left), static_cast<double>(target.top),
                 static_cast<double>(target.right - target.left),
                 static_cast<double>(target.bottom - target.top)},
                adjustment);
    return {fit.scale, 0, 0, -fit.scale, fit.dx, fit.dy};
}

// A white-on-black picture of one shape, turned into the shape's premultiplied colour
// for AlphaBlend.
class BlendMask {
  public:
    BlendMask(HDC like, int width, int height)
        : m_dc(CreateCompatibleDC(like)),
          m_bitmap(dibOf(m_dc.get(), width, height, m_bits)),
          m_selected(m_dc.get(), m_bitmap.get()),
          m_size(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

    explicit operator bool() const { return m_dc && m_bitmap && m_bits != nullptr; }
    HDC dc() const { return m_dc.get(); }

    void colourIn(const Rgba& colour) {
        GdiFlush();  // the mask's drawing must have reached the bits
        auto premultiplied = [&](std::uint8_t channel) {
            return static_cast<std::uint32_t>((channel * colour.a + 127) / 255);
        };
        const std::uint32_t shape = static_cast<std::uint32_t>(colour.a) << 24 |
                                    premultiplied(colour.r) << 16 | premultiplied(colour.g) << 8 |
                                    premultiplied(colour.b);
        for (std::uint32_t& pixel : std::span(m_bits, m_size))
            pixel = (pixel & 0xffffffu) != 0 ? shape : 0;
    }

  private:
    // A 32-bit top-down DIB, cleared to black.
    static HGDIOBJ dibOf(HDC dc, int width, int height, std::uint32_t*& bits) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* memory = nullptr;
        const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<std::uint32_t*>(memory);
        if (bits != nullptr)
            std::fill_n(bits, static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                        0u);
        return bitmap;
    }

    MemoryDc m_dc;
    std::uint32_t* m_bits = nullptr;
    GdiObject m_bitmap;
    Selection m_selected;
    std::size_t m_size;
};

// The font's measures at the reference size, in text space (pixels, y down).
struct FontMeasures {
    double ascent = 0, descent = 0, xHeight = 0, capHeight = 0, advance = 0;
    double underlineAt = 0, underlineSize = 1;  // its middle below the baseline, its height
};

class SheetDrawer {
  public:
    SheetDrawer(HDC dc, const W2dGraphics& graphics, const Affine& toDevice)
        : m_dc(dc), m_graphics(graphics), m_toDevice(toDevice), m_images(graphics.images) {}

    void draw(const DrawOp& op);
    void clipTo(int clip, const RECT& paper);

  private:
    POINT device(double x, double y) const;
    POINT device(const LogicalPoint& point) const;
    std::vector<POINT> devicePoints(std::span<const LogicalPoint> points, std::size_t first,
                                    std::size_t count) const;
    int penWidth(const DrawOp& op) const;
    void polyline(const std::vector<POINT>& points, const Rgba& colour, int width, DWORD ends);
    void fill(const std::vector<POINT>& points, const DrawOp& op, int mode);
    void fill(const std::vector<POINT>& points, const std::vector<INT>& counts, const DrawOp& op,
              int mode);
    template <typename DrawMask>
    void blend(RECT bounds, const Rgba& colour, DrawMask drawMask);
    void curve(const DrawOp& op, double major, double minor);
    void gouraudTriangle(const DrawOp& op, std::size_t first);
    void gouraudPolyline(const DrawOp& op);
    void contourSet(const DrawOp& op);
    void text(const DrawOp& op);
    void greek(const DrawOp& op, const Affine& textToDevice, double advance, double xHeight);
    void textOutlines(const DrawOp& op, const Affine& textToDevice, const FontMeasures& font,
                      bool underline);
    void image(const DrawOp& op);

    HDC m_dc;
    const W2dGraphics& m_graphics;
    Affine m_toDevice;
    ImageBook<GdiImageCodec> m_images;
};

COLORREF colourOf(const Rgba& colour) {
    return RGB(colour.r, colour.g, colour.b);
}

// Device coordinates are kept well inside GDI's range, so a zoomed-in or broken file
// cannot wrap around.
LONG clampedDevice(double value) {
    constexpr double kLimit = 1 << 26;
    return static_cast<LONG>(std::lround(std::clamp(value, -kLimit, kLimit)));
}

POINT SheetDrawer::device(double x, double y) const {
    double deviceX = 0, deviceY = 0;
    m_toDevice.map(x, y, deviceX, deviceY);
    return {clampedDevice(deviceX), clampedDevice(deviceY)};
}

POINT SheetDrawer::device(const LogicalPoint& point) const {
    return device(static_cast<double>(point.x), static_cast<double>(point.y));
}

std::vector<POINT> SheetDrawer::devicePoints(std::span<const LogicalPoint> points,
                                             std::size_t first, std::size_t count) const {
    std::vector<POINT> result;
    result.reserve(count);
    for (std::size_t i = first; i < first + count && i < points.size(); ++i)
        result.push_back(device(points[i]));
    return result;
}

int SheetDrawer::penWidth(const DrawOp& op) const {
    if (op.lineWeight <= 0) return 1;  // one device pixel at any zoom
    return std::max(1, static_cast<int>(std::lround(std::min(
                           static_cast<double>(op.lineWeight) * m_toDevice.scale(), 1e6))));
}

// The caps and joins of a wide line, as the stream sets them (a diamond is drawn square
// and bevelled, as on Linux).
DWORD penEnds(const DrawOp& op) {
    static const DWORD kCaps[] = {PS_ENDCAP_FLAT, PS_ENDCAP_SQUARE, PS_ENDCAP_ROUND,
                                  PS_ENDCAP_SQUARE};
    static const DWORD kJoins[] = {PS_JOIN_MITER, PS_JOIN_BEVEL, PS_JOIN_ROUND, PS_JOIN_BEVEL};
    return kCaps[static_cast<int>(op.cap) & 3] | kJoins[static_cast<int>(op.join) & 3];
}

void strokePolyline(HDC dc, const std::vector<POINT>& points, COLORREF colour, int width,
                    DWORD ends) {
    // A one-pixel line is a cosmetic pen; wider ones are geometric with their ends.
    LOGBRUSH brush{BS_SOLID, colour, 0};
    const GdiObject pen(width <= 1 ? CreatePen(PS_SOLID, 1, colour)
                                   : ExtCreatePen(PS_GEOMETRIC | PS_SOLID | ends,
                                                  static_cast<DWORD>(width), &brush, 0, nullptr));
    const Selection selected(dc, pen.get());
    Polyline(dc, points.data(), static_cast<int>(points.size()));
}

void fillPolygons(HDC dc, const std::vector<POINT>& points, const std::vector<INT>& counts,
                  HBRUSH brush, int mode) {
    const Selection withBrush(dc, brush);
    const Selection withoutPen(dc, GetStockObject(NULL_PEN));
    SetPolyFillMode(dc, mode);
    PolyPolygon(dc, points.data(), counts.data(), static_cast<int>(counts.size()));
}

// The predefined fill patterns as 8 x 8 brushes in `colour`, as Qt draws them: GDI's
// own hatches for the line patterns, bitmaps for the checkerboard and the dots; a user
// pattern, whose bitmap is not kept, as a cross-hatch. Their gaps are left unpainted
// (the brush is drawn into a blend mask).
HBRUSH patternBrush(FillPattern pattern, COLORREF colour) {
    switch (pattern) {
        case FillPattern::crosshatch:
            return CreateHatchBrush(HS_CROSS, colour);
        case FillPattern::diamonds:
        case FillPattern::userDefined:
            return CreateHatchBrush(HS_DIAGCROSS, colour);
        case FillPattern::horizontalBars:
            return CreateHatchBrush(HS_HORIZONTAL, colour);
        case FillPattern::slantLeft:
            return CreateHatchBrush(HS_FDIAGONAL, colour);
        case FillPattern::slantRight:
            return CreateHatchBrush(HS_BDIAGONAL, colour);
        case FillPattern::verticalBars:
            return CreateHatchBrush(HS_VERTICAL, colour);
        case FillPattern::checkerboard:
        case FillPattern::squareDots: {
            // Rows of a monochrome bitmap, word aligned; set bits take the text colour.
            static const WORD kChecker[8] = {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55};
            static const WORD kDots[8] = {0x88, 0, 0x22, 0, 0x88, 0, 0x22, 0};
            const GdiObject bitmap(
                CreateBitmap(8, 8, 1, 1, pattern == FillPattern::checkerboard ? kChecker : kDots));
            return CreatePatternBrush(bitmap.get<HBITMAP>());
        }
        case FillPattern::solid:
            break;
    }
    return CreateSolidBrush(colour);
}

void fillPolygons(HDC dc, const std::vector<POINT>& points, const std::vector<INT>& counts,
                  COLORREF colour, int mode) {
    const GdiObject brush(CreateSolidBrush(colour));
    fillPolygons(dc, points, counts, brush.get<HBRUSH>(), mode);
}

// The device rectangle around the points, widened by `margin` on every side.
RECT deviceBounds(const std::vector<POINT>& points, int margin) {
    RECT bounds{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const POINT& point : points) {
        bounds.left = std::min(bounds.left, point.x);
        bounds.top = std::min(bounds.top, point.y);
        bounds.right = std::max(bounds.right, point.x);
        bounds.bottom = std::max(bounds.bottom, point.y);
    }
    // One more pixel on the far sides: GDI fills up to the last pixel before them.
    return {bounds.left - margin, bounds.top - margin, bounds.right + margin + 1,
            bounds.bottom + margin + 1};
}

void SheetDrawer::polyline(const std::vector<POINT>& points, const Rgba& colour, int width,
                           DWORD ends) {
    if (points.size() < 2 || colour.a == 0) return;
    if (colour.a == 255) return strokePolyline(m_dc, points, colourOf(colour), width, ends);
    blend(deviceBounds(points, width / 2 + 1), colour,
          [&](HDC mask) { strokePolyline(mask, points, RGB(255, 255, 255), width, ends); });
}

void SheetDrawer::fill(const std::vector<POINT>& points, const DrawOp& op, int mode) {
    if (points.size() >= 3) fill(points, {static_cast<INT>(points.size())}, op, mode);
}

void SheetDrawer::fill(const std::vector<POINT>& points, const std::vector<INT>& counts,
                       const DrawOp& op, int mode) {
    const Rgba& colour = op.colour;
    if (colour.a == 0) return;
    const bool solid = op.fillPattern == FillPattern::solid;
    if (colour.a == 255 && solid) return fillPolygons(m_dc, points, counts, colourOf(colour), mode);
    blend(deviceBounds(points, 0), colour, [&](HDC mask) {
        if (solid) return fillPolygons(mask, points, counts, RGB(255, 255, 255), mode);
        // Hatch gaps stay unpainted; a bitmap's 1 bits take the background colour.
        SetBkMode(mask, TRANSPARENT);
        SetTextColor(mask, RGB(0, 0, 0));
        SetBkColor(mask, RGB(255, 255, 255));
        const GdiObject brush(patternBrush(op.fillPattern, RGB(255, 255, 255)));
        fillPolygons(mask, points, counts, brush.get<HBRUSH>(), mode);
    });
}

// GDI draws every colour opaque. A translucent shape is drawn white on black into a
// mask over its bounds, the mask becomes the shape in its colour and alpha, and that is
// laid over the picture, which keeps its clip.
template <typename DrawMask>
void SheetDrawer::blend(RECT bounds, const Rgba& colour, DrawMask drawMask) {
    RECT visible{};
    if (GetClipBox(m_dc, &visible) == ERROR || !IntersectRect(&bounds, &bounds, &visible)) return;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    BlendMask mask(m_dc, width, height);
    if (!mask) return;
    SetViewportOrgEx(mask.dc(), -bounds.left, -bounds.top, nullptr);
    // A pattern keeps its place on the device, not on the mask.
    SetBrushOrgEx(mask.dc(), ((-bounds.left) % 8 + 8) % 8, ((-bounds.top) % 8 + 8) % 8, nullptr);
    drawMask(mask.dc());
    SetViewportOrgEx(mask.dc(), 0, 0, nullptr);
    mask.colourIn(colour);
    const BLENDFUNCTION over{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(m_dc, bounds.left, bounds.top, width, height, mask.dc(), 0, 0, width, height, over);
}

// An elliptical curve from the start to the end turn, counter-clockwise.
void SheetDrawer::curve(const DrawOp& op, double major, double minor) {
    const double centreX = static_cast<double>(op.points[0].x);
    const double centreY = static_cast<double>(op.points[0].y);
    const double tilt = 2 * std::numbers::pi * op.tiltTurns;
    const double sweep = op.endTurns - op.startTurns;
    const int segments = std::max(8, static_cast<int>(std::ceil(sweep * kCurveSegmentsPerTurn)));
    std::vector<POINT> points;
    for (int i = 0; i <= segments; ++i) {
        const double angle = 2 * std::numbers::pi * (op.startTurns + sweep * i / segments);
        const double x = major * std::cos(angle);
        const double y = minor * std::sin(angle);
        points.push_back(device(centreX + x * std::cos(tilt) - y * std::sin(tilt),
                                centreY + x * std::sin(tilt) + y * std::cos(tilt)));
    }
    if (op.fill && sweep >= 1.0) {
        fill(points, op, ALTERNATE);
    } else {
        polyline(points, op.colour, penWidth(op), penEnds(op));
    }
}

TRIVERTEX vertexOf(POINT point, const Rgba& colour) {
    // GDI's gradient colours are 16 bits per channel.
    return {point.x,
            point.y,
            static_cast<COLOR16>(colour.r << 8),
            static_cast<COLOR16>(colour.g << 8),
            static_cast<COLOR16>(colour.b << 8),
            static_cast<COLOR16>(colour.a << 8)};
}

void SheetDrawer::gouraudTriangle(const DrawOp& op, std::size_t first) {
    TRIVERTEX vertices[3];
    for (std::size_t i = 0; i < 3; ++i)
        vertices[i] = vertexOf(device(op.points[first + i]), op.vertexColours[first + i]);
    GRADIENT_TRIANGLE triangle{0, 1, 2};
    GradientFill(m_dc, vertices, 3, &triangle, 1, GRADIENT_FILL_TRIANGLE);
}

void SheetDrawer::gouraudPolyline(const DrawOp& op) {
    const int width = penWidth(op);
    for (std::size_t i = 1; i < op.points.size(); ++i) {
        const POINT from = device(op.points[i - 1]);
        const POINT to = device(op.points[i]);
        const double length = std::hypot(to.x - from.x, to.y - from.y);
        const int pieces = std::clamp(static_cast<int>(std::ceil(length / kGradientStepPixels)), 1,
                                      kGradientMaxPieces);
        const Rgba& a = op.vertexColours[i - 1];
        const Rgba& b = op.vertexColours[i];
        for (int piece = 0; piece < pieces; ++piece) {
            const double t0 = double(piece) / pieces, t1 = double(piece + 1) / pieces;
            const double mid = (t0 + t1) / 2;
            auto channel = [&](std::uint8_t Rgba::*c) {
                return static_cast<BYTE>(std::lround(a.*c + (b.*c - a.*c) * mid));
            };
            auto at = [&](double t) {
                return POINT{static_cast<LONG>(std::lround(from.x + (to.x - from.x) * t)),
                             static_cast<LONG>(std::lround(from.y + (to.y - from.y) * t))};
            };
            // Opaque: translucent pieces would darken where round ends overlap. The
            // line's own ends serve every piece: flat (the default) pieces abut.
            polyline({at(t0), at(t1)}, {channel(&Rgba::r), channel(&Rgba::g), channel(&Rgba::b)},
                     width, penEnds(op));
        }
    }
}

void SheetDrawer::contourSet(const DrawOp& op) {
    std::vector<INT> counts;
    std::size_t used = 0;
    for (std::uint32_t size : op.contours) {
        if (used + size > op.points.size()) break;
        counts.push_back(static_cast<INT>(size));
        used += size;
    }
    if (counts.empty()) return;
    fill(devicePoints(op.points, 0, used), counts, op, ALTERNATE);
}

FontMeasures measure(HDC dc, const std::u16string& text) {
    FontMeasures m;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    m.ascent = metrics.tmAscent;
    m.descent = metrics.tmDescent;
    // Outline fonts say their x and capital heights; else a sans serif's shares of the em.
    OUTLINETEXTMETRICW outline{};
    outline.otmSize = sizeof outline;
    const bool hasOutline = GetOutlineTextMetricsW(dc, sizeof outline, &outline) != 0;
    m.xHeight =
        hasOutline && outline.otmsXHeight > 0 ? outline.otmsXHeight : 0.52 * kReferencePixels;
    m.capHeight = hasOutline && outline.otmsCapEmHeight > 0 ? outline.otmsCapEmHeight
                                                            : 0.72 * kReferencePixels;
    if (hasOutline) {
        m.underlineAt = -outline.otmsUnderscorePosition;
        m.underlineSize = std::max<double>(1, outline.otmsUnderscoreSize);
    }
    SIZE extent{};
    GetTextExtentPoint32W(dc, reinterpret_cast<const WCHAR*>(text.data()),
                          static_cast<int>(text.size()), &extent);
    m.advance = extent.cx;
    return m;
}

std::wstring wideOf(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(0, length)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

struct TextFrame {
    double originX = 0, originY = 0;  // left end of the baseline, logical
    double angle = 0;
    double height = 0;  // cell height, logical
    double width = 0;   // the box's width when it has one, else 0
};

// Where the text sits: in its box when the stream gave one (the box's bottom edge is
// the descent line), else at the insertion point with the font's size and angle.
bool frameOf(const DrawOp& op, const TextStyle* style, double fallbackHeight,
             const FontMeasures& font, TextFrame& frame) {
    const double cell = font.ascent + font.descent;
    if (style != nullptr && style->hasBounds && cell > 0) {
        const auto& b = style->bounds;
        const double alongX = double(b[1].x - b[0].x), alongY = double(b[1].y - b[0].y);
        const double upX = double(b[3].x - b[0].x), upY = double(b[3].y - b[0].y);
        frame.width = std::hypot(alongX, alongY);
        frame.height = std::hypot(upX, upY);
        if (frame.width > 0 && frame.height > 0) {
            frame.angle = std::atan2(alongY, alongX);
            frame.originX = double(b[0].x) + upX * (font.descent / cell);
            frame.originY = double(b[0].y) + upY * (font.descent / cell);
            return true;
        }
    }
    frame.width = 0;
    frame.height = op.textHeight > 0 ? op.textHeight : fallbackHeight;
    frame.angle = style != nullptr ? kTwoPi * style->rotationTurns : 0;
    frame.originX = double(op.points[0].x);
    frame.originY = double(op.points[0].y);
    return frame.height > 0;
}

// Text too small to read is drawn as a bar where its letters would be, half as opaque.
void SheetDrawer::greek(const DrawOp& op, const Affine& textToDevice, double advance,
                        double xHeight) {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    textToDevice.map(0, -xHeight / 2, x0, y0);
    textToDevice.map(advance, -xHeight / 2, x1, y1);
    Rgba colour = op.colour;
    colour.a = static_cast<std::uint8_t>(colour.a / 2);
    polyline({{clampedDevice(x0), clampedDevice(y0)}, {clampedDevice(x1), clampedDevice(y1)}},
             colour, 1, penEnds(op));
}

// The text is laid out at the reference size and put in place by a world transform,
// as the Qt painter does: its box's size and angle, or the font's height, rotation,
// width scale and oblique angle.
void SheetDrawer::text(const DrawOp& op) {
    const TextStyle* style =
        op.detail >= 0 && static_cast<std::size_t>(op.detail) < m_graphics.texts.size()
            ? &m_graphics.texts[static_cast<std::size_t>(op.detail)]
            : nullptr;
    const double scale = m_toDevice.scale();
    if (!(scale > 0) || op.text.empty()) return;
    const std::wstring family = style != nullptr && !style->fontName.empty()
                                    ? wideOf(style->fontName)
                                    : std::wstring(L"Arial");
    const bool bold = style != nullptr && style->bold, italic = style != nullptr && style->italic;
    const bool underline = style != nullptr && style->underline;
    const GdiObject font(CreateFontW(-kReferencePixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic,
                                     underline, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, family.c_str()));
    const Selection selected(m_dc, font.get());
    const FontMeasures m = measure(m_dc, op.text);
    TextFrame frame;
    if (!frameOf(op, style, kDefaultTextPixels / scale, m, frame)) return;
    if (frame.height * scale < kSmallestTextPixels) return;
    const double unit = frame.height / (m.ascent + m.descent);  // logical per reference pixel
    double widthScale = style != nullptr ? std::clamp(style->widthScale, 0.01, 100.0) : 1;
    double shift = 0, lift = 0;  // along and up from the baseline, reference pixels
    if (frame.width > 0 && m.advance > 0) {
        widthScale = frame.width / (m.advance * unit);
    } else if (style != nullptr) {
        shift = -m.advance * widthScale * style->horizontalAlign / 2.0;
        const double lifts[] = {m.descent, 0, -m.xHeight / 2, -m.capHeight, -m.ascent};
        lift = lifts[std::clamp(style->verticalAlign, 0, 4)];
    }
    const double oblique =
        style != nullptr ? std::tan(std::clamp(kTwoPi * style->obliqueTurns, -1.4, 1.4)) : 0;
    // Text space (reference pixels, y down) to device: flip, slant, scale, turn, place.
    const double c = std::cos(frame.angle), s = std::sin(frame.angle);
    const Affine textToDevice = Affine{1, 0, 0, -1, shift, lift}
                                    .then(Affine{1, 0, oblique, 1, 0, 0})
                                    .then(Affine{unit * widthScale, 0, 0, unit, 0, 0})
                                    .then(Affine{c, s, -s, c, frame.originX, frame.originY})
                                    .then(m_toDevice);
    if (!textToDevice.isFinite()) return;
    if (frame.height * scale < kGreekedTextPixels)
        return greek(op, textToDevice, m.advance, m.xHeight);
    const double emPixels =
        kReferencePixels * std::max(std::abs(textToDevice.m11) + std::abs(textToDevice.m21),
                                    std::abs(textToDevice.m12) + std::abs(textToDevice.m22));
    if (emPixels > kLargestTextOutPixels) return textOutlines(op, textToDevice, m, underline);
    const int oldMode = SetGraphicsMode(m_dc, GM_ADVANCED);
    const XFORM placed{static_cast<FLOAT>(textToDevice.m11), static_cast<FLOAT>(textToDevice.m12),
                       static_cast<FLOAT>(textToDevice.m21), static_cast<FLOAT>(textToDevice.m22),
                       static_cast<FLOAT>(textToDevice.dx),  static_cast<FLOAT>(textToDevice.dy)};
    SetWorldTransform(m_dc, &placed);
    SetTextAlign(m_dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SetBkMode(m_dc, TRANSPARENT);
    SetTextColor(m_dc, colourOf(op.colour));
    // std::u16string holds UTF-16, which is what WCHAR text is on Windows.
    TextOutW(m_dc, 0, 0, reinterpret_cast<const WCHAR*>(op.text.data()),
             static_cast<int>(op.text.size()));
    ModifyWorldTransform(m_dc, nullptr, MWT_IDENTITY);
    SetGraphicsMode(m_dc, oldMode);
}

// The text's glyphs as filled outlines, cut to the clip box: each glyph that reaches it
// is read at the reference size (unhinted, as it is scaled), flattened on the device and
// filled by the winding rule, the underline after them. A text that spends the points
// it may take is drawn up to there.
void SheetDrawer::textOutlines(const DrawOp& op, const Affine& textToDevice,
                               const FontMeasures& font, bool underline) {
    RECT clip{};
    if (GetClipBox(m_dc, &clip) <= NULLREGION) return;
    const OutlineArea area{
        double(clip.left - kOutlineMarginPixels), double(clip.top - kOutlineMarginPixels),
        double(clip.right + kOutlineMarginPixels), double(clip.bottom + kOutlineMarginPixels)};
    GlyphOutlines outlines(area, kMostOutlinePoints);
    static const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    std::vector<BYTE> records;
    double pen = 0;  // along the baseline, reference pixels
    for (const char16_t unit : op.text) {
        if (!outlines.charge(1)) break;
        GLYPHMETRICS glyph{};
        if (GetGlyphOutlineW(m_dc, unit, GGO_METRICS | GGO_UNHINTED, &glyph, 0, nullptr,
                             &kIdentity) == GDI_ERROR) {
            continue;
        }
        // Glyph space is the font's, y up from the baseline at the pen.
        const Affine glyphToDevice = Affine{1, 0, 0, -1, pen, 0}.then(textToDevice);
        pen += glyph.gmCellIncX;
        // The black box in whole pixels, a pixel wider each way in case it was rounded in.
        const double left = glyph.gmptGlyphOrigin.x - 1, top = glyph.gmptGlyphOrigin.y + 1;
        if (!outlines.reaches(glyphToDevice, left, top, left + glyph.gmBlackBoxX + 2,
                              top - double(glyph.gmBlackBoxY) - 2)) {
            continue;
        }
        const DWORD size =
            GetGlyphOutlineW(m_dc, unit, GGO_NATIVE | GGO_UNHINTED, &glyph, 0, nullptr, &kIdentity);
        if (size == GDI_ERROR || size == 0 || !outlines.charge(size / sizeof(POINTFX))) continue;
        records.resize(size);
        if (GetGlyphOutlineW(m_dc, unit, GGO_NATIVE | GGO_UNHINTED, &glyph, size, records.data(),
                             &kIdentity) == GDI_ERROR) {
            continue;
        }
        if (!outlines.addNative(records, glyphToDevice)) break;
    }
    fillPolygons(m_dc, outlines.points(), outlines.counts(), colourOf(op.colour), WINDING);
    if (!underline) return;
    // Apart from the glyphs, so that its turn cannot cancel theirs where they meet; as
    // long as the text's measured advance, as GDI draws it.
    GlyphOutlines line(area, 4);
    const double half = font.underlineSize / 2;
    line.addBox(textToDevice, 0, font.underlineAt - half, font.advance, font.underlineAt + half);
    fillPolygons(m_dc, line.points(), line.counts(), colourOf(op.colour), WINDING);
}

// The image fills the rectangle of its two corners, its top row at the top; enlarged
// it shows its pixels, reduced it is smoothed, as on Linux.
void SheetDrawer::image(const DrawOp& op) {
    const DecodedImage* found = m_images.find(op.detail);
    if (found == nullptr || op.points.size() < 2) return;
    const DecodedImage& picture = *found;
    const POINT topLeft = device(double(op.points[0].x), double(op.points[1].y));
    const POINT bottomRight = device(double(op.points[1].x), double(op.points[0].y));
    drawImage(m_dc, picture, RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y});
}

void SheetDrawer::draw(const DrawOp& op) {
    const Rgba& colour = op.colour;
    const auto& points = op.points;
    switch (op.kind) {
        case OpKind::line:
        case OpKind::polyline:
            polyline(devicePoints(points, 0, points.size()), colour, penWidth(op), penEnds(op));
            break;
        case OpKind::polygon:
            fill(devicePoints(points, 0, points.size()), op, ALTERNATE);
            break;
        case OpKind::polytriangle:
            for (std::size_t i = 2; i < points.size(); ++i)
                fill(devicePoints(points, i - 2, 3), op, WINDING);
            break;
        case OpKind::circle:
        case OpKind::arc:
            if (!points.empty()) curve(op, op.radius, op.radius);
            break;
        case OpKind::ellipse:
            if (!points.empty()) curve(op, op.radius, op.minorRadius);
            break;
        case OpKind::gouraudTriangles:
            for (std::size_t i = 2; i < points.size() && i < op.vertexColours.size(); ++i)
                gouraudTriangle(op, i - 2);
            break;
        case OpKind::gouraudPolyline:
            if (op.vertexColours.size() >= points.size()) gouraudPolyline(op);
            break;
        case OpKind::contourSet:
            contourSet(op);
            break;
        case OpKind::text:
            // GDI text cannot be blended; only invisible text is left out.
            if (!points.empty() && colour.a != 0) text(op);
            break;
        case OpKind::image:
            image(op);
            break;
    }
}

// Everything is clipped to the paper; a viewport's clip narrows that further.
void SheetDrawer::clipTo(int clip, const RECT& paper) {
    const GdiObject region(CreateRectRgnIndirect(&paper));
    if (clip >= 0 && clip < static_cast<int>(m_graphics.clips.size())) {
        std::vector<POINT> points;
        std::vector<INT> counts;
        for (const auto& contour : m_graphics.clips[static_cast<std::size_t>(clip)].contours) {
            if (contour.empty()) continue;
            const std::vector<POINT> device = devicePoints(contour, 0, contour.size());
            points.insert(points.end(), device.begin(), device.end());
            counts.push_back(static_cast<INT>(device.size()));
        }
        const GdiObject viewport(
            counts.empty() ? CreateRectRgn(0, 0, 0, 0)
                           : CreatePolyPolygonRgn(points.data(), counts.data(),
                                                  static_cast<int>(counts.size()), ALTERNATE));
        CombineRgn(region.get<HRGN>(), region.get<HRGN>(), viewport.get<HRGN>(), RGN_AND);
    }
    SelectClipRgn(m_dc, region.get<HRGN>());
}

}  // namespace

void drawSheet(HDC dc, const Sheet& sheet, const RECT& target, const ViewAdjustment& adjustment) {
    Affine logicalToPage;
    const PageBox page = pageOf(sheet, logicalToPage);
    const Affine toDevice = pageToDevice(page, target, adjustment);
    const SavedState saved(dc);
    POINT corner[2];
    double x = 0, y = 0;
    toDevice.map(page.left, page.bottom + page.height, x, y);
    corner[0] = {clampedDevice(x), clampedDevice(y)};
    toDevice.map(page.left + page.width, page.bottom, x, y);
    corner[1] = {clampedDevice(x), clampedDevice(y)};
    const RECT paper{corner[0].x, corner[0].y, corner[1].x, corner[1].y};
    FillRect(dc, &paper, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const Affine logicalToDevice = logicalToPage.then(toDevice);
    SheetDrawer drawer(dc, sheet.graphics, logicalToDevice);
    int clip = -1;
    drawer.clipTo(clip, paper);
    ClipWork clipWork(sheet.graphics.clips,
                      {logicalToDevice.m12, logicalToDevice.m22, logicalToDevice.dy,
                       static_cast<double>(std::max(target.bottom, target.top))});
    for (const DrawOp& op : sheet.graphics.ops) {
        if (op.clip != clip) {
            if (!clipWork.affords(op.clip)) continue;
            drawer.clipTo(clip = op.clip, paper);
        }
        drawer.draw(op);
    }
}

}  // namespace plotwick
