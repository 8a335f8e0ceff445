#include "dwf/display_list.h"

#include <algorithm>
#include <cmath>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace plotwick {
namespace {

// Colour index 10 + 36r + 6g + b is (51r, 51g, 51b), around named colours and greys.
std::array<Rgba, 256> makeNewPalette() {
    std::array<Rgba, 256> palette{};
    const Rgba named[10] = {{0, 0, 0, 255},      {128, 0, 0, 255},     {0, 128, 0, 255},
                            {128, 128, 0, 255},  {0, 0, 128, 255},     {128, 0, 128, 255},
                            {0, 128, 128, 255},  {192, 192, 192, 255}, {192, 220, 192, 255},
                            {166, 202, 240, 255}};
    std::copy(std::begin(named), std::end(named), palette.begin());
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette[10 + 36 * r + 6 * g + b] = {static_cast<std::uint8_t>(51 * r),
                                                    static_cast<std::uint8_t>(51 * g),
                                                    static_cast<std::uint8_t>(51 * b), 255};
            }
        }
    }
    const std::uint8_t greys[20] = {0,   13,  26,  40,  53,  67,  80,  93,  107, 120,
                                    134, 147, 161, 174, 187, 201, 214, 228, 241, 255};
    for (int i = 0; i < 20; ++i)
        palette[226 + i] = {greys[i], greys[i], greys[i], 255};
    const Rgba last[10] = {{255, 251, 240, 255}, {160, 160, 164, 255}, {128, 128, 128, 255},
                           {255, 0, 0, 255},     {0, 255, 0, 255},     {255, 255, 0, 255},
                           {0, 0, 255, 255},     {255, 0, 255, 255},   {0, 255, 255, 255},
                           {255, 255, 255, 255}};
    std::copy(std::begin(last), std::end(last), palette.begin() + 246);
    return palette;
}

// The CAD colour-index table that streams before revision 38 index into.
constexpr std::uint32_t kOldPalette[256] = {
    0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF, 0x000000, 0x808080,
    0xDCDCDC, 0xFF0000, 0xFF7F7F, 0xDD0000, 0xDD6E6E, 0xB80000, 0xB85C5C, 0x950000, 0x954A4A,
    0x720000, 0x723939, 0xFF3F00, 0xFF9F7F, 0xDD3700, 0xDD8A6E, 0xB82E00, 0xB8735C, 0x952500,
    0x955D4A, 0x721C00, 0x724739, 0xFF7F00, 0xFFBF7F, 0xDD6E00, 0xDDA56E, 0xB85C00, 0xB88A5C,
    0x954A00, 0x95704A, 0x723900, 0x725639, 0xFFBF00, 0xFFDF7F, 0xDDA500, 0xDDC16E, 0xB88A00,
    0xB8A15C, 0x957000, 0x95834A, 0x725600, 0x726439, 0xFFFF00, 0xFFFF7F, 0xDDDD00, 0xDDDD6E,
    0xB8B800, 0xB8B85C, 0x959500, 0x95954A, 0x727200, 0x727239, 0xBFFF00, 0xDFFF7F, 0xA5DD00,
    0xC1DD6E, 0x8AB800, 0xA1B85C, 0x709500, 0x83954A, 0x567200, 0x647239, 0x7FFF00, 0xBFFF7F,
    0x6EDD00, 0xA5DD6E, 0x5CB800, 0x8AB85C, 0x4A9500, 0x70954A, 0x397200, 0x567239, 0x3FFF00,
    0x9FFF7F, 0x37DD00, 0x8ADD6E, 0x2EB800, 0x73B85C, 0x259500, 0x5D954A, 0x1C7200, 0x477239,
    0x00FF00, 0x7FFF7F, 0x00DD00, 0x6EDD6E, 0x00B800, 0x5CB85C, 0x009500, 0x4A954A, 0x007200,
    0x397239, 0x00FF3F, 0x7FFF9F, 0x00DD37, 0x6EDD8A, 0x00B82E, 0x5CB873, 0x009525, 0x4A955D,
    0x00721C, 0x397247, 0x00FF7F, 0x7FFFBF, 0x00DD6E, 0x6EDDA5, 0x00B85C, 0x5CB88A, 0x00954A,
    0x4A9570, 0x007239, 0x397256, 0x00FFBF, 0x7FFFDF, 0x00DDA5, 0x6EDDC1, 0x00B88A, 0x5CB8A1,
    0x009570, 0x4A9583, 0x007256, 0x397264, 0x00FFFF, 0x7FFFFF, 0x00DDDD, 0x6EDDDD, 0x00B8B8,
    0x5CB8B8, 0x009595, 0x4A9595, 0x007272, 0x397272, 0x00BFFF, 0x7FDFFF, 0x00A5DD, 0x6EC1DD,
    0x008AB8, 0x5CA1B8, 0x007095, 0x4A8395, 0x005672, 0x396472, 0x007FFF, 0x7FBFFF, 0x006EDD,
    0x6EA5DD, 0x005CB8, 0x5C8AB8, 0x004A95, 0x4A7095, 0x003972, 0x395672, 0x003FFF, 0x7F9FFF,
    0x0037DD, 0x6E8ADD, 0x002EB8, 0x5C73B8, 0x002595, 0x4A5D95, 0x001C72, 0x394772, 0x0000FF,
    0x7F7FFF, 0x0000DD, 0x6E6EDD, 0x0000B8, 0x5C5CB8, 0x000095, 0x4A4A95, 0x000072, 0x393972,
    0x3F00FF, 0x9F7FFF, 0x3700DD, 0x8A6EDD, 0x2E00B8, 0x735CB8, 0x250095, 0x5D4A95, 0x1C0072,
    0x473972, 0x7F00FF, 0xBF7FFF, 0x6E00DD, 0xA56EDD, 0x5C00B8, 0x8A5CB8, 0x4A0095, 0x704A95,
    0x390072, 0x563972, 0xBF00FF, 0xDF7FFF, 0xA500DD, 0xC16EDD, 0x8A00B8, 0xA15CB8, 0x700095,
    0x834A95, 0x560072, 0x643972, 0xFF00FF, 0xFF7FFF, 0xDD00DD, 0xDD6EDD, 0xB800B8, 0xB85CB8,
    0x950095, 0x954A95, 0x720072, 0x723972, 0xFF00BF, 0xFF7FDF, 0xDD00A5, 0xDD6EC1, 0xB8008A,
    0xB85CA1, 0x950070, 0x954A83, 0x720056, 0x723964, 0xFF007F, 0xFF7FBF, 0xDD006E, 0xDD6EA5,
    0xB8005C, 0xB85C8A, 0x95004A, 0x954A70, 0x720039, 0x723956, 0xFF003F, 0xFF7F9F, 0xDD0037,
    0xDD6E8A, 0xB8002E, 0xB85C73, 0x950025, 0x954A5D, 0x72001C, 0x723947, 0x545454, 0x767676,
    0x989898, 0xBABABA, 0xDCDCDC, 0xFFFFFF,
};

std::array<Rgba, 256> makeOldPalette() {
    std::array<Rgba, 256> palette{};
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t rgb = kOldPalette[i];
        palette[i] = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                      static_cast<std::uint8_t>(rgb), 255};
    }
    return palette;
}

void include(LogicalBox& box, std::int64_t x, std::int64_t y) {
    box.min = {std::min(box.min.x, x), std::min(box.min.y, y)};
    box.max = {std::max(box.max.x, x), std::max(box.max.y, y)};
}

}  // namespace

#ifdef __linux__
namespace {
constexpr std::size_t kLargeBlock = std::size_t{2} << 20;
}

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes < kLargeBlock) return ::operator new(bytes);
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

void freeLargeBlock(void* block, std::size_t bytes) {
    if (bytes < kLargeBlock) {
        ::operator delete(block);
    } else {
        munmap(block, bytes);
    }
}
#else
void* allocateLargeBlock(std::size_t bytes) {
    return ::operator new(bytes);
}

void freeLargeBlock(void* block, std::size_t) {
    ::operator delete(block);
}
#endif

namespace {
// Blocks grow from small (a sheet of a few lines takes little) to large (a sheet of a
// million takes few blocks).
constexpr std::size_t kFirstArenaBlock = std::size_t{16} << 10;
constexpr std::size_t kLargestArenaBlock = std::size_t{4} << 20;
}  // namespace

PointArena::~PointArena() {
    for (const auto& [block, bytes] : m_blocks)
        freeLargeBlock(block, bytes);
}

void* PointArena::allocate(std::size_t bytes) {
    bytes = (bytes + 15) & ~std::size_t{15};
    if (bytes > m_left) {
        const std::size_t grown = m_blocks.empty() ? kFirstArenaBlock : 2 * m_blocks.back().second;
        const std::size_t size = std::max(bytes, std::min(grown, kLargestArenaBlock));
        void* block = allocateLargeBlock(size);
        m_blocks.emplace_back(block, size);
        m_next = static_cast<char*>(block);
        m_left = size;
    }
    void* result = m_next;
    m_next += bytes;
    m_left -= bytes;
    return result;
}

const std::array<Rgba, 256>& defaultPalette(int revision) {
    static const std::array<Rgba, 256> newer = makeNewPalette();
    static const std::array<Rgba, 256> older = makeOldPalette();
    return revision >= 38 ? newer : older;
}

std::optional<LogicalBox> boundsOf(const W2dGraphics& graphics) {
    std::optional<LogicalBox> box;
    for (const DrawOp& op : graphics.ops) {
        const auto reach = static_cast<std::int64_t>(std::ceil(op.radius));
        for (const LogicalPoint& point : op.points) {
            if (!box) box = LogicalBox{point, point};
            include(*box, point.x - reach, point.y - reach);
            include(*box, point.x + reach, point.y + reach);
        }
    }
    return box;
}

}  // namespace plotwick
