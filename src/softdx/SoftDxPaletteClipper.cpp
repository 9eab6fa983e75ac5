// Palettes and clippers of the software DirectDraw. A palette holds up to 256 entries
// (DDPCAPS_1BIT, 2BIT, 4BIT or 8BIT). A clipper holds a clip list or names a window; blits
// to a surface with a clipper draw only inside its region (the list's rectangles, or the
// window's visible parts as the presenter tells them), and a windowed primary is shown in
// the named window.
// Implements: IDirectDrawPalette (SoftDxPalette), IDirectDrawClipper (SoftDxClipper).
// Not here: the clipping itself (SoftDxSurfaceBlt.cpp); change notices (IsClipListChanged
// always answers no change).
#include <algorithm>
#include <cstring>

#include "SoftDxObjects.h"

namespace softdx {

namespace {

DWORD PaletteSize(DWORD caps)
{
    if (caps & DDPCAPS_1BIT) return 2;
    if (caps & DDPCAPS_2BIT) return 4;
    if (caps & DDPCAPS_4BIT) return 16;
    return 256;
}

}  // namespace

SoftDxPalette::SoftDxPalette(SoftDxDirectDraw* owner, DWORD caps, const PALETTEENTRY* entries)
    : FOwner(owner), FCaps(caps), FSize(PaletteSize(caps))
{
    std::copy_n(entries, FSize, FEntries);
    FOwner->AddRef();
}

SoftDxPalette::~SoftDxPalette() { FOwner->Release(); }

HRESULT SoftDxPalette::GetCaps(LPDWORD caps)
{
    SOFTDX_ENTER("GetCaps");
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = FCaps;
    return DD_OK;
}

HRESULT SoftDxPalette::GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries)
{
    SOFTDX_ENTER("GetEntries");
    if (flags != 0 || !entries || base >= FSize || count > FSize - base) return DDERR_INVALIDPARAMS;
    std::copy_n(FEntries + base, count, entries);
    return DD_OK;
}

HRESULT SoftDxPalette::Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY)
{
    SOFTDX_ENTER("Initialize");
    return DDERR_ALREADYINITIALIZED;
}

HRESULT SoftDxPalette::SetEntries(DWORD flags, DWORD first, DWORD count, LPPALETTEENTRY entries)
{
    SOFTDX_ENTER("SetEntries");
    if (flags != 0 || !entries || first >= FSize || count > FSize - first) return DDERR_INVALIDPARAMS;
    std::copy_n(entries, count, FEntries + first);
    ++FVersion;
    return DD_OK;
}

HRESULT SoftDxClipper::GetClipList(LPRECT, LPRGNDATA list, LPDWORD size)
{
    SOFTDX_ENTER("GetClipList");
    if (!size) return DDERR_INVALIDPARAMS;
    if (FClipList.empty()) return DDERR_NOCLIPLIST;
    if (!list) {
        *size = DWORD(FClipList.size());
        return DD_OK;
    }
    if (*size < FClipList.size()) {
        *size = DWORD(FClipList.size());
        return DDERR_REGIONTOOSMALL;
    }
    std::memcpy(list, FClipList.data(), FClipList.size());
    return DD_OK;
}

std::optional<std::vector<RECT>> SoftDxClipper::Region() const
{
    if (!FClipList.empty()) {
        RGNDATAHEADER header;
        std::memcpy(&header, FClipList.data(), sizeof header);
        std::vector<RECT> rects(header.nCount);
        std::memcpy(rects.data(), FClipList.data() + sizeof header, rects.size() * sizeof(RECT));
        return rects;
    }
    if (FWindow) return SoftDxGetPresenter()->VisibleRects(FWindow);
    return std::nullopt;
}

HRESULT SoftDxClipper::GetHWnd(HWND* window)
{
    SOFTDX_ENTER("GetHWnd");
    if (!window) return DDERR_INVALIDPARAMS;
    *window = FWindow;
    return DD_OK;
}

HRESULT SoftDxClipper::Initialize(LPDIRECTDRAW, DWORD)
{
    SOFTDX_ENTER("Initialize");
    return DDERR_ALREADYINITIALIZED;
}

HRESULT SoftDxClipper::IsClipListChanged(BOOL* changed)
{
    SOFTDX_ENTER("IsClipListChanged");
    if (!changed) return DDERR_INVALIDPARAMS;
    *changed = FALSE;
    return DD_OK;
}

HRESULT SoftDxClipper::SetClipList(LPRGNDATA list, DWORD flags)
{
    SOFTDX_ENTER("SetClipList");
    if (flags != 0) return DDERR_INVALIDPARAMS;
    if (FWindow) return DDERR_CLIPPERISUSINGHWND;
    if (!list) {
        FClipList.clear();
        return DD_OK;
    }
    if (list->rdh.dwSize != sizeof(RGNDATAHEADER) || list->rdh.iType != RDH_RECTANGLES) return DDERR_INVALIDCLIPLIST;
    const size_t bytes = sizeof(RGNDATAHEADER) + size_t{list->rdh.nCount} * sizeof(RECT);
    const auto* start = reinterpret_cast<const uint8_t*>(list);
    FClipList.assign(start, start + bytes);
    return DD_OK;
}

HRESULT SoftDxClipper::SetHWnd(DWORD flags, HWND window)
{
    SOFTDX_ENTER("SetHWnd");
    if (flags != 0) return DDERR_INVALIDPARAMS;
    FWindow = window;
    return DD_OK;
}

}  // namespace softdx
