// Windows half of the preview's host: the window whose handle the host passed.
// Implements: PreviewPlatform.h's CreatePlatformPreviewHost and its TPreviewHost: the window's
//   rectangle (GetWindowRect), its existence and visibility (IsWindow, IsWindowVisible), a device
//   context (GetDC / ReleaseDC), frames copied one to one, the thread's messages, a wait
// Leaves out: anything of the window's own painting (it belongs to the host)
// Frames are copied from the back buffer by StretchDIBits at the same size, so no scaling
// happens; the message queue is emptied with PeekMessage, and a wait for a hidden window sleeps
// in MsgWaitForMultipleObjects instead of spinning.
#include <windows.h>

#include <cstdint>
#include <string>

#include "core/Exception.h"
#include "framework/Bitmap.h"
#include "preview/PreviewHost.h"

namespace {
// How long the wait for a hidden window to appear sleeps between two tests: the host's
// window lives in another thread, whose showing sends us no message.
constexpr DWORD HiddenPollMilliseconds = 10;

class TWin32PreviewHost : public TPreviewHost {
public:
    ~TWin32PreviewHost() override { ReleaseCanvas(); }

    TPreviewRect OpenWindow(uint32_t handle) override
    {
        FWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        RECT rect{};
        if (handle == 0 || !IsWindow(FWindow) || !GetWindowRect(FWindow, &rect))
            throw Exception("window " + std::to_string(handle) + " does not exist");
        return {rect.left, rect.top, rect.right, rect.bottom};
    }

    void CreateCanvas() override
    {
        FDc = GetDC(FWindow);
        if (!FDc) throw Exception("cannot draw into the preview's window");
    }

    void ReleaseCanvas() noexcept override
    {
        if (FDc) ReleaseDC(FWindow, FDc);
        FDc = nullptr;
    }

    TPreviewWindowState WindowState() override
    {
        if (!IsWindow(FWindow)) return TPreviewWindowState::Gone;
        return IsWindowVisible(FWindow) ? TPreviewWindowState::Visible : TPreviewWindowState::Hidden;
    }

    void ProcessMessages() override
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void WaitMessages() override
    {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, HiddenPollMilliseconds, QS_ALLINPUT);
        ProcessMessages();
    }

    void Present(const TBitmap& backBuffer, int width, int height) override
    {
        if (!FDc || width <= 0 || height <= 0) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = backBuffer.Width();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        // A bottom-up buffer starts in memory with its last row, and its source origin is
        // the bottom-left corner; a top-down one is described by a negative height.
        const bool bottomUp = backBuffer.BottomUp();
        info.bmiHeader.biHeight = bottomUp ? backBuffer.Height() : -backBuffer.Height();
        const void* bits = bottomUp ? backBuffer.ScanLine(backBuffer.Height() - 1) : backBuffer.ScanLine(0);
        const int sourceY = bottomUp ? backBuffer.Height() - height : 0;
        StretchDIBits(FDc, 0, 0, width, height, 0, sourceY, width, height, bits, &info, DIB_RGB_COLORS, SRCCOPY);
    }

    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }

private:
    HWND FWindow = nullptr;
    HDC FDc = nullptr;
};
}  // namespace

std::unique_ptr<TPreviewHost> CreatePlatformPreviewHost() { return std::make_unique<TWin32PreviewHost>(); }
