#pragma once
// TWDirectX, the device component a form holds to use DirectX: it takes the screen, builds
// the flip chain, starts the other components of its form, keeps the driver and video mode
// lists, drives the application's idle slot, and is the error path through which the whole
// layer reports a failed call.
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Forms.h"
#include "wdx/ComPtr.h"
#include "wdx/SurfaceContainer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"
#include "wdx/results/ResultTexts.h"

struct TPreparedPicture;

class TWDirectX : public TComponent, public TObject {
public:
    explicit TWDirectX(TComponent* owner);
    ~TWDirectX() override;
    void Loaded() override;

    // Published settings.
    IComboBoxItems* ComboBoxDrivers = nullptr;
    IComboBoxItems* ComboBoxD3DDevices = nullptr;
    IComboBoxItems* ComboBoxVideoModes = nullptr;
    IComboBoxItems* ComboBoxZBuffer = nullptr;
    bool AutoStart = false;
    bool DisableDirectDraw = false;
    bool DisableDirect3D = true;
    bool DisableDirectSound = true;
    bool DisableDirectInput = true;
    bool ExceptionIgnore = false;
    std::string LogFile = "Log.log";  // relative to the program's folder
    TdxLogging LogType = dxlogNone;
    TIdleEvent OnIdle;
    TSomeEvent OnActivating, OnDeActivating, OnBeforeStart, OnAfterStart, OnAfterStop, OnException;
    TAcceptVideoModeEvent OnAcceptVideoMode;
    TAcceptDriverEvent OnAcceptDriver;
    TAcceptD3DDeviceEvent OnAcceptD3DDevice;
    TAcceptZBufferEvent OnAcceptZBuffer;  // never raised
    TSomeEvent OnUpdateVideoMode, OnUpdateDriver, OnUpdateD3DDevice, OnUpdateZBuffer;
    bool AlwaysStopOnDeActivating = true;
    std::string PathImages = "images\\";
    std::string Path3DxFiles = "xfiles\\";
    std::string PathWaves = "waves\\";
    TdxCoopLevel dxCoopLevel = dxclAuto;
    TdxVideoMode dxVideoMode = dxvmAuto;
    float vpMinZ = 0.0f;
    float vpMaxZ = 1.0f;
    bool UseZBuffer = false;
    TForm* OutputControl = nullptr;  // its client area is the output in a window

    bool IdleEnabled() const { return FIdleEnabled; }
    void SetIdleEnabled(bool enabled);
    int Backsurfaces() const { return FBacksurfaces; }
    void SetBacksurfaces(int count);  // 0 to 3; other values are ignored
    TColor ColorKey() const { return FColorKey; }
    void SetColorKey(TColor color);

    // State.
    bool HasFocus() const { return FHasFocus; }
    bool Active() const { return FActive; }
    TStartStage StartStage() const { return FStartStage; }
    bool WasActive() const { return FWasActive; }
    bool FormRestyled() const { return FFormRestyled; }
    TRect SavedBounds() const { return FSavedBounds; }
    TRect OutputRect() const { return FOutputRect; }
    TRect ClientArea() const { return FClientArea; }
    int OutputWidth() const { return FOutputRect.Width(); }
    int OutputHeight() const { return FOutputRect.Height(); }
    // The size the frames drawn over the output end up on the screen at: the output's own,
    // or where the platform scales frames to their window (an emulated mode) the size it
    // scales them to.
    TPoint ShownFrameSize() const;
    TForm* OwnerForm() const { return FOwnerForm; }
    std::string LastError;

    IDirectDraw7* DirectDraw() const { return FDirectDraw.Get(); }
    IDirectInput7A* DirectInput() const { return FDirectInput.Get(); }
    IDirectSound* DirectSound() const { return FDirectSound.Get(); }
    const DDCAPS& DriverCaps() const { return FDriverCaps; }
    const DDCAPS& EmulationCaps() const { return FEmulationCaps; }
    IDirect3D7* Direct3D() const { return FDirect3D.Get(); }
    IDirect3DDevice7* D3DDevice() const { return FD3DDevice.Get(); }
    IDirectDrawSurface7* ZBufferSurface() const { return FZBuffer.Get(); }
    bool IsHardware() const { return FIsHardware; }
    const DDCAPS& ActiveCaps() const { return FActiveCaps; }
    TWDirectDrawBasicSurface* Primary() const { return FPrimary.get(); }
    TWDirectDrawBasicSurface* Back1() const { return FBack1.get(); }
    TWDirectDrawBasicSurface* Back2() const { return FBack2.get(); }
    TWDirectDrawBasicSurface* Back3() const { return FBack3.get(); }
    TWDirectDrawBasicSurface* RenderTarget() const { return FRenderTarget; }

    // Start and stop (StopAll undoes exactly the stages StartAll passed).
    virtual void StartAll();
    virtual void StopAll();
    void AppActivate(TObject* sender);
    void AppDeactivate(TObject* sender);
    void AppException(TObject* sender, const std::exception& error);
    // Shows the back surface; nothing while stopped. A flip that shows nothing (no flip chain,
    // a lost surface) waits for the refresh instead.
    void Flip();
    // Waits for the display's next refresh, as a flip does: a frame with nothing to show keeps
    // the pace of shown ones. Nothing while stopped.
    void WaitForRefresh();

    // Drivers, video modes, Direct3D devices and z-buffer formats.
    void GetDrivers();
    void SetDriver(int index);
    int DriverIndex() const { return FDriverIndex; }
    int DriverCount() const { return FDrivers ? static_cast<int>(FDrivers->size()) : 0; }
    TDriverInfo GetDriverInfo(int index) const;
    void GetVideoModes();
    void SetVideoMode(int index);
    int VideoModeIndex() const { return FVideoModeIndex; }
    int VideoModeCount() const;
    TVideoModeInfo GetVideoModeInfo(int index) const;
    TVideoModeInfo GetCurrentVideoMode() const;
    std::string VideoModeText(int index) const;
    bool IsFullScreen() const;
    void GetD3DDevices();
    void SetD3DDevice(int index);
    int D3DDeviceIndex() const { return FD3DDeviceIndex; }
    int D3DDeviceCount() const { return static_cast<int>(FD3DDevices.size()); }
    Td3dDeviceInfo GetD3DDeviceInfo(int index) const;
    void GetZBuffers(const GUID* deviceGuid);
    void SetZBuffer(int index);
    int ZBufferIndex() const { return FZBufferIndex; }
    int ZBufferCount() const { return static_cast<int>(FZBuffers.size()); }
    TDDPixelFormat_DX6 GetZBufferInfo(int index) const;

    // Direct3D defaults (WDirectXDirect3D.cpp); their results are not looked at.
    void SetDefaultRenderStates();
    void SetDefaultMaterial();
    // The selected 3D device's texture capabilities (D3DPTEXTURECAPS_*), and its texture
    // formats enumerated anew, in its order; how both are found is told beside them.
    DWORD TextureCaps() const;
    bool TextureDeviceIsHardware() const;
    const std::vector<DDPIXELFORMAT>& GetTextureFormats();

    // The named surface list (WDirectXSurfaces.cpp). Surfaces are shared by name, compared
    // without regard to case; a destroyed entry leaves an empty slot, so indices never move.
    // madeAhead, a picture of this name made ahead for this device (SurfacePreparer.h), stands
    // for the file's load of an image of the file's own size in memory DirectDraw chooses: the
    // same size, pixels, refusal and log lines. Otherwise it is ignored and the file is loaded.
    // With a store box, an image of the file's size (sdFromFile) is stored within it (the
    // picture reduced); the entry's basic surface still tells the picture's own size, its
    // PictureWidth and PictureHeight, and so do the log lines. madeAhead must then have
    // been made for the same box.
    int CreateNewSurface(const std::string& name, Td3dTextr flags, int width, int height, int bits, TColor colorKey,
                         int stage, TdxMemoryType memoryType, TddSurfaceDimension surfaceDimension,
                         TdxSurfaceType surfaceType, IDirectDrawSurface7* attachTo, int mipMapCount,
                         TPreparedPicture* madeAhead = nullptr, TStoreBox store = {});
    void DestroySurface(int index);
    void DestroySurface(const std::string& name);
    TSurfaceContainer* SurfaceEntry(int index) const;  // null outside the list or for an empty slot
    int SurfaceIndex(const std::string& name) const;   // the last match, -1 when absent
    TSurfaceContainer* SurfaceEntryByName(const std::string& name) const;
    int SurfaceCount() const { return FSurfaces ? static_cast<int>(FSurfaces->size()) : 0; }
    // The file a picture name stands for; false when there is none.
    bool FindPicture(const std::string& name, std::string& path) const;

    // DirectDraw objects for the palette and clipper components; the caller owns them.
    IDirectDrawClipper* CreateClipper();
    IDirectDrawPalette* CreatePalette(PALETTEENTRY* entries);  // 256 entries

    // Appends one line, prefixed with the local date and time, to the program's folder +
    // LogFile, opening and closing the file for the line. Raises EInOutError on failure.
    // Every line of the device and its components passes here, so a subclass may watch them.
    virtual void WriteLog(const std::string& text);
    // Message, a carriage return, then the text of result from the table of kind.
    std::string FormatError(TResultKind kind, const std::string& message, int32_t result) const;
    // Logs the error text, stops the device unless ExceptionIgnore, keeps the text in
    // LastError and raises EWDirectXError with it. Never returns.
    [[noreturn]] void RaiseError(TResultKind kind, const std::string& message, int32_t result);
    // The path WriteLog writes to.
    std::string LogPath() const;

private:
    // A step of StartAll that failed; its text becomes the exception's message.
    struct TStartFailure {
        std::string Text;
    };
    void LogAll(const char* line);
    void GetCOM();
    void ReleaseCOM();
    void StartSteps(bool exclusive);
    [[noreturn]] void Fail(TResultKind kind, const char* message, HRESULT result);
    HWND FormWindow() const;
    void StartDirectDraw(bool exclusive);
    void StartDirect3D();
    void StopDirect3D(TStartStage stage);
    HRESULT Create3DSurface(bool hardware, TComPtr<IDirectDrawSurface7>& surface);
    HRESULT CreateZBufferSurface();
    static HRESULT WINAPI EnumD3DDevice(LPSTR description, LPSTR name, LPD3DDEVICEDESC7 desc, LPVOID context);
    static HRESULT WINAPI EnumPixelFormat(LPDDPIXELFORMAT format, LPVOID context);
    void StartComponents();
    void StopComponents();
    bool PartEnabled(TWDirectXComponentKind kind) const;
    void RestyleForm();
    void RestoreForm();
    void UpdateOutputRect();
    void ApplyIdleHook();
    void DriversChange(TObject* sender);
    void D3DDevicesChange(TObject* sender);
    void VideoModesChange(TObject* sender);
    void ZBufferChange(TObject* sender);
    void OfferVideoMode(TVideoModeInfo mode);
    static BOOL WINAPI EnumDriver(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor);
    static HRESULT WINAPI EnumVideoMode(LPDDSURFACEDESC2 desc, LPVOID context);
    bool OwnsEventObject(const void* object) const;
    void NewSurfaceList();
    void FreeSurfaceList();

    bool FActive = false;
    bool FHasFocus = true;
    bool FWasActive = false;
    bool FIdleEnabled = false;
    bool FFormRestyled = false;
    TStartStage FStartStage = TStartStage::Stopped;
    int FBacksurfaces = 0;
    TColor FColorKey = clBlack;
    TRect FSavedBounds;  // the form's place and size, kept while the form is restyled
    TRect FOutputRect, FClientArea;
    TForm* FOwnerForm = nullptr;
    // The owner's addresses, kept to recognise its hooks while it is being destroyed.
    std::vector<const void*> FOwnerAddresses;

    TComPtr<IDirectDraw7> FDirectDraw;
    TComPtr<IDirect3D7> FDirect3D;
    TComPtr<IDirectInput7A> FDirectInput;
    TComPtr<IDirectSound> FDirectSound;
    DDCAPS FDriverCaps{}, FEmulationCaps{}, FActiveCaps{};
    TComPtr<IDirect3DDevice7> FD3DDevice;
    TComPtr<IDirectDrawSurface7> FZBuffer;
    D3DVIEWPORT7 FViewport{};
    bool FIsHardware = false;

    std::unique_ptr<TWDirectDrawBasicSurface> FPrimary, FBack1, FBack2, FBack3;
    TWDirectDrawBasicSurface* FRenderTarget = nullptr;
    // Absent until the first start; StopAll destroys every entry and frees it.
    std::optional<std::vector<std::unique_ptr<TSurfaceContainer>>> FSurfaces;

    // A list that was never built is absent, which the video mode queries tell from empty.
    std::optional<std::vector<TDriverInfo>> FDrivers;
    std::optional<std::vector<TVideoModeInfo>> FVideoModes;
    std::vector<Td3dDeviceInfo> FD3DDevices;
    std::vector<TDDPixelFormat_DX6> FZBuffers;
    std::vector<DDPIXELFORMAT> FTextureFormats;
    int FDriverIndex = -1, FVideoModeIndex = -1, FD3DDeviceIndex = -1, FZBufferIndex = -1;
};
