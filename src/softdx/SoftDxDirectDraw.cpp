// The software DirectDraw object and the two entry points that lead to it.
// Implements: enumeration (one primary display driver), creation, cooperative levels,
// caps, emulated display modes, surfaces, palettes and clippers, vertical-blank waits.
// Does not implement: DuplicateSurface, EnumSurfaces, scan lines, mode tests (they
// answer DDERR_UNSUPPORTED or DDERR_CANTDUPLICATE); the old IDirectDraw..IDirectDraw4
// interfaces (QueryInterface answers E_NOINTERFACE).
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

// Only one DirectDraw object at a time may hold the exclusive level, as on Windows.
SoftDxDirectDraw* exclusiveOwner = nullptr;
// What EmulatedFullScreen answers, kept apart from the object so other threads may read it.
std::mutex fullScreenLock;
std::optional<FullScreenMode> fullScreen;

constexpr DWORD KnownLevelFlags = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL |
                                  DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX | DDSCL_SETFOCUSWINDOW | DDSCL_SETDEVICEWINDOW |
                                  DDSCL_CREATEDEVICEWINDOW | DDSCL_MULTITHREADED | DDSCL_FPUSETUP | DDSCL_FPUPRESERVE;
constexpr DWORD VideoMemoryTotal = 256u << 20;

void FillCaps(DDCAPS& caps)
{
    const DWORD size = caps.dwSize;
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = size;
    caps.dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY | DDCAPS_PALETTE |
                  DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED | DDCAPS_CANBLTSYSMEM;
    caps.dwCaps2 = DDCAPS2_CANRENDERWINDOWED | DDCAPS2_WIDESURFACES | DDCAPS2_FLIPNOVSYNC | DDCAPS2_NOPAGELOCKREQUIRED;
    caps.dwCKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_SRCBLTCLRSPACE | DDCKEYCAPS_DESTBLT | DDCKEYCAPS_DESTBLTCLRSPACE;
    caps.dwFXCaps = DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHXN | DDFXCAPS_BLTSTRETCHY | DDFXCAPS_BLTSTRETCHYN |
                    DDFXCAPS_BLTSHRINKX | DDFXCAPS_BLTSHRINKXN | DDFXCAPS_BLTSHRINKY | DDFXCAPS_BLTSHRINKYN;
    caps.dwPalCaps = DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_PRIMARYSURFACE;
    caps.dwVidMemTotal = VideoMemoryTotal;
    caps.dwVidMemFree = VideoMemoryTotal;
    caps.dwSSBCaps = caps.dwSVBCaps = caps.dwVSBCaps = caps.dwCaps;
    caps.dwSSBCKeyCaps = caps.dwSVBCKeyCaps = caps.dwVSBCKeyCaps = caps.dwCKeyCaps;
    caps.dwSSBFXCaps = caps.dwSVBFXCaps = caps.dwVSBFXCaps = caps.dwFXCaps;
    caps.ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                          DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                          DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_3DDEVICE |
                          DDSCAPS_ZBUFFER | DDSCAPS_MIPMAP;
    caps.dwZBufferBitDepths = DDBD_16 | DDBD_32;
    caps.ddsOldCaps.dwCaps = caps.ddsCaps.dwCaps;
}

bool ModeMatches(const DisplayMode& mode, const DDSURFACEDESC2& filter)
{
    if ((filter.dwFlags & DDSD_WIDTH) && filter.dwWidth != mode.Width) return false;
    if ((filter.dwFlags & DDSD_HEIGHT) && filter.dwHeight != mode.Height) return false;
    if ((filter.dwFlags & DDSD_PIXELFORMAT) && filter.ddpfPixelFormat.dwRGBBitCount != mode.Bits) return false;
    if ((filter.dwFlags & DDSD_REFRESHRATE) && filter.dwRefreshRate != 0 && filter.dwRefreshRate != RefreshRate)
        return false;
    return true;
}

}  // namespace

std::optional<FullScreenMode> EmulatedFullScreen()
{
    std::lock_guard guard(fullScreenLock);
    return fullScreen;
}

SoftDxDirectDraw::SoftDxDirectDraw() = default;

SoftDxDirectDraw::~SoftDxDirectDraw()
{
    if (exclusiveOwner == this) exclusiveOwner = nullptr;
    PublishMode();
}

void SoftDxDirectDraw::PublishMode()
{
    std::lock_guard guard(fullScreenLock);
    if (exclusiveOwner == this && FEmulatedMode)
        fullScreen = FullScreenMode{FWindow, *FEmulatedMode};
    else if (!exclusiveOwner || exclusiveOwner == this)
        fullScreen.reset();
}

void SoftDxDirectDraw::Forget(SoftDxSurface* surface)
{
    if (FPrimary == surface) FPrimary = nullptr;
    std::erase(FSurfaces, surface);
}

DisplayMode SoftDxDirectDraw::CurrentMode() const
{
    if (FEmulatedMode) return *FEmulatedMode;
    const SoftDxSize screen = SoftDxGetPresenter()->ScreenSize();
    return {screen.Width, screen.Height, 32};
}

HRESULT SoftDxDirectDraw::Compact()
{
    SOFTDX_ENTER("Compact");
    return DD_OK;
}

HRESULT SoftDxDirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer)
{
    SOFTDX_ENTER("CreateClipper");
    return DirectDrawCreateClipper(flags, clipper, outer);
}

HRESULT SoftDxDirectDraw::CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette,
                                        IUnknown* outer)
{
    SOFTDX_ENTER("CreatePalette");
    if (!palette || !entries) return DDERR_INVALIDPARAMS;
    *palette = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    const DWORD sizes = flags & (DDPCAPS_1BIT | DDPCAPS_2BIT | DDPCAPS_4BIT | DDPCAPS_8BIT);
    if (sizes == 0 || (sizes & (sizes - 1)) != 0) return DDERR_INVALIDPARAMS;
    if (!FLevelSet) return DDERR_NOCOOPERATIVELEVELSET;
    try {
        *palette = new SoftDxPalette(this, flags, entries);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

HRESULT SoftDxDirectDraw::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface, IUnknown* outer)
{
    SOFTDX_ENTER("CreateSurface");
    if (!desc || !surface || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!FLevelSet) return DDERR_NOCOOPERATIVELEVELSET;

    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
    if (caps & DDSCAPS_OVERLAY) return DDERR_INVALIDCAPS;
    const DisplayMode mode = CurrentMode();

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
        if (FPrimary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        DWORD backBuffers = 0;
        if (caps & DDSCAPS_FLIP) {
            if (!(caps & DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
            if (!(desc->dwFlags & DDSD_BACKBUFFERCOUNT)) return DDERR_INVALIDPARAMS;
            backBuffers = desc->dwBackBufferCount;
            if (backBuffers == 0 || backBuffers > 3) return DDERR_INVALIDPARAMS;
            if (!FExclusive) return DDERR_NOEXCLUSIVEMODE;
        }
        if (!(caps & DDSCAPS_SYSTEMMEMORY)) caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        const DWORD shared = caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE);
        std::vector<SoftDxSurface*> chain;
        for (DWORD i = 0; i <= backBuffers; ++i) {
            DWORD own = i == 0 ? (caps | DDSCAPS_VISIBLE | (backBuffers ? DDSCAPS_FRONTBUFFER : 0))
                               : (shared | (i == 1 ? DDSCAPS_BACKBUFFER : 0));
            SoftDxSurface* made = nullptr;
            HRESULT hr = SoftDxSurface::Make(this, own, mode.Width, mode.Height, DisplayFormat(mode.Bits), &made);
            if (FAILED(hr)) {
                for (SoftDxSurface* s : chain) s->Release();
                return hr;
            }
            chain.push_back(made);
        }
        if (backBuffers) SoftDxSurface::Chain(chain);
        FPrimary = chain.front();
        FSurfaces.insert(FSurfaces.end(), chain.begin(), chain.end());
        *surface = FPrimary;
        return DD_OK;
    }

    if (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER)) return DDERR_INVALIDCAPS;
    SoftDxSurface* made = nullptr;
    HRESULT hr = CreateOffscreen(*desc, caps, &made);
    if (FAILED(hr)) return hr;
    *surface = made;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::DuplicateSurface(LPDIRECTDRAWSURFACE7, LPDIRECTDRAWSURFACE7*)
{
    SOFTDX_ENTER("DuplicateSurface");
    return DDERR_CANTDUPLICATE;
}

HRESULT SoftDxDirectDraw::EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 filter, LPVOID context,
                                           LPDDENUMMODESCALLBACK2 callback)
{
    SOFTDX_ENTER("EnumDisplayModes");
    if (!callback || (flags & ~DWORD{DDEDM_REFRESHRATES | DDEDM_STANDARDVGAMODES}) != 0) return DDERR_INVALIDPARAMS;
    if (filter && filter->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    for (const DisplayMode& mode : DisplayModes(*SoftDxGetPresenter())) {
        if (filter && !ModeMatches(mode, *filter)) continue;
        DDSURFACEDESC2 desc;
        desc.dwSize = sizeof desc;
        DescribeMode(mode, desc);
        if (callback(&desc, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

HRESULT SoftDxDirectDraw::EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMSURFACESCALLBACK7)
{
    SOFTDX_ENTER("EnumSurfaces");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxDirectDraw::FlipToGDISurface()
{
    SOFTDX_ENTER("FlipToGDISurface");
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps)
{
    SOFTDX_ENTER("GetCaps");
    if (!driverCaps && !helCaps) return DDERR_INVALIDPARAMS;
    if ((driverCaps && driverCaps->dwSize != sizeof(DDCAPS)) || (helCaps && helCaps->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    if (driverCaps) FillCaps(*driverCaps);
    if (helCaps) FillCaps(*helCaps);
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetDisplayMode(LPDDSURFACEDESC2 desc)
{
    SOFTDX_ENTER("GetDisplayMode");
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    DescribeMode(CurrentMode(), *desc);
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetFourCCCodes(LPDWORD count, LPDWORD)
{
    SOFTDX_ENTER("GetFourCCCodes");
    if (!count) return DDERR_INVALIDPARAMS;
    *count = 0;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetGDISurface(LPDIRECTDRAWSURFACE7* surface)
{
    SOFTDX_ENTER("GetGDISurface");
    if (!surface) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (!FPrimary) return DDERR_NOTFOUND;
    FPrimary->AddRef();
    *surface = FPrimary;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetMonitorFrequency(LPDWORD frequency)
{
    SOFTDX_ENTER("GetMonitorFrequency");
    if (!frequency) return DDERR_INVALIDPARAMS;
    *frequency = RefreshRate;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetScanLine(LPDWORD)
{
    SOFTDX_ENTER("GetScanLine");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxDirectDraw::GetVerticalBlankStatus(BOOL* inBlank)
{
    SOFTDX_ENTER("GetVerticalBlankStatus");
    if (!inBlank) return DDERR_INVALIDPARAMS;
    *inBlank = FALSE;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::Initialize(GUID*)
{
    SOFTDX_ENTER("Initialize");
    return DDERR_ALREADYINITIALIZED;
}

HRESULT SoftDxDirectDraw::RestoreDisplayMode()
{
    SOFTDX_ENTER("RestoreDisplayMode");
    FEmulatedMode.reset();
    PublishMode();
    return DD_OK;
}

HRESULT SoftDxDirectDraw::SetCooperativeLevel(HWND window, DWORD flags)
{
    SOFTDX_ENTER("SetCooperativeLevel");
    if (flags & ~KnownLevelFlags) return DDERR_INVALIDPARAMS;
    const bool exclusive = flags & DDSCL_EXCLUSIVE, fullScreen = flags & DDSCL_FULLSCREEN;
    const bool normal = flags & DDSCL_NORMAL;
    if (exclusive == normal || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
    if (exclusive && !window) return DDERR_INVALIDPARAMS;
    if (exclusive && exclusiveOwner && exclusiveOwner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
    if (exclusive) {
        exclusiveOwner = this;
    } else {
        if (exclusiveOwner == this) exclusiveOwner = nullptr;
        FEmulatedMode.reset();
    }
    FExclusive = exclusive;
    FWindow = window;
    FLevelSet = true;
    PublishMode();
    return DD_OK;
}

HRESULT SoftDxDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags)
{
    SOFTDX_ENTER("SetDisplayMode");
    if (flags & ~DWORD{DDSDM_STANDARDVGAMODE}) return DDERR_INVALIDPARAMS;
    if (!FExclusive) return DDERR_NOEXCLUSIVEMODE;
    const DisplayMode wanted{width, height, bits};
    const auto modes = DisplayModes(*SoftDxGetPresenter());
    if (std::find(modes.begin(), modes.end(), wanted) == modes.end()) return DDERR_INVALIDMODE;
    if (refresh != 0 && refresh != RefreshRate) return DDERR_INVALIDMODE;
    FEmulatedMode = wanted;
    PublishMode();
    return DD_OK;
}

HRESULT SoftDxDirectDraw::WaitForVerticalBlank(DWORD flags, HANDLE)
{
    SOFTDX_ENTER("WaitForVerticalBlank");
    if (flags & DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
    if (!(flags & (DDWAITVB_BLOCKBEGIN | DDWAITVB_BLOCKEND))) return DDERR_INVALIDPARAMS;
    SleepUntil(SoftDxNextRefresh(Now()));
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total, LPDWORD free)
{
    SOFTDX_ENTER("GetAvailableVidMem");
    if (!caps || (!total && !free)) return DDERR_INVALIDPARAMS;
    if (total) *total = VideoMemoryTotal;
    if (free) *free = VideoMemoryTotal;
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetSurfaceFromDC(HDC dc, LPDIRECTDRAWSURFACE7* surface)
{
    SOFTDX_ENTER("GetSurfaceFromDC");
    if (!dc || !surface) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    for (SoftDxSurface* s : FSurfaces)
        if (s->DeviceContext() == dc) {
            s->AddRef();
            *surface = s;
            return DD_OK;
        }
    return DDERR_NOTFOUND;
}

HRESULT SoftDxDirectDraw::RestoreAllSurfaces()
{
    SOFTDX_ENTER("RestoreAllSurfaces");
    return DD_OK;
}

HRESULT SoftDxDirectDraw::TestCooperativeLevel()
{
    SOFTDX_ENTER("TestCooperativeLevel");
    return DD_OK;
}

HRESULT SoftDxDirectDraw::GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2 identifier, DWORD)
{
    SOFTDX_ENTER("GetDeviceIdentifier");
    if (!identifier) return DDERR_INVALIDPARAMS;
    std::memset(identifier, 0, sizeof *identifier);
    std::strcpy(identifier->szDriver, "display");
    std::strcpy(identifier->szDescription, "Primary Display Driver");
    return DD_OK;
}

HRESULT SoftDxDirectDraw::StartModeTest(LPSIZE, DWORD, DWORD)
{
    SOFTDX_ENTER("StartModeTest");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxDirectDraw::EvaluateMode(DWORD, DWORD*)
{
    SOFTDX_ENTER("EvaluateMode");
    return DDERR_UNSUPPORTED;
}

}  // namespace softdx

using softdx::SoftDxDirectDraw;

HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags)
{
    SOFTDX_ENTER("DirectDrawEnumerateExA");
    constexpr DWORD known =
        DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES;
    if (!callback || (flags & ~known)) return DDERR_INVALIDPARAMS;
    char description[] = "Primary Display Driver";
    char name[] = "display";
    callback(nullptr, description, name, context, nullptr);
    return DD_OK;
}

HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer)
{
    SOFTDX_ENTER("DirectDrawCreateEx");
    if (!directDraw) return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (iid != IID_IDirectDraw7) return DDERR_INVALIDPARAMS;
    // Besides the primary's null, the two creation flags may stand in for a GUID.
    const auto special = reinterpret_cast<uintptr_t>(guid);
    if (guid && special != DDCREATE_HARDWAREONLY && special != DDCREATE_EMULATIONONLY)
        return DDERR_INVALIDDIRECTDRAWGUID;
    try {
        *directDraw = static_cast<IDirectDraw7*>(new SoftDxDirectDraw());
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

HRESULT WINAPI DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer)
{
    SOFTDX_ENTER("DirectDrawCreateClipper");
    if (!clipper) return DDERR_INVALIDPARAMS;
    *clipper = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (flags != 0) return DDERR_INVALIDPARAMS;
    try {
        *clipper = new softdx::SoftDxClipper();
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}
