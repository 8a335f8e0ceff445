// Owners for GDI resources, so that every pen, brush, font, region, memory device
// context and selection is given back on every path.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace plotwick {

struct GdiDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

struct DcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

// A memory device context made with CreateCompatibleDC.
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;

// A created pen, brush, font, bitmap or region.
class GdiObject {
  public:
    explicit GdiObject(HGDIOBJ object) : m_object(object) {}
    template <typename Handle = HGDIOBJ>
    Handle get() const {
        return static_cast<Handle>(m_object.get());
    }
    explicit operator bool() const { return m_object != nullptr; }

  private:
    std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDelete> m_object;
};

// Selects an object into a device context for the scope and puts the old one back.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_old(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (m_old != nullptr) SelectObject(m_dc, m_old);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Saves the device context's state (clip, modes, colours) for the scope.
class SavedState {
  public:
    explicit SavedState(HDC dc) : m_dc(dc), m_saved(SaveDC(dc)) {}
    ~SavedState() { RestoreDC(m_dc, m_saved); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

  private:
    HDC m_dc;
    int m_saved;
};

}  // namespace plotwick
