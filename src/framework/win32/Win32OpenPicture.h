#pragma once
// Windows helper of the framework, private to Win32Dialogs.cpp and its tests: the picture
// preview of the file-open box.
// Implements: nothing of the contract; Win32OpenPicture::PreviewId, PreviewTemplate, PreviewHook
// Leaves out: nothing
// A child dialog, built in memory, that stands the box's own controls where its stc32
// placeholder is and a preview area on their right, and the hook that fills the area with the
// picture under the cursor.
#include <windows.h>

#include <vector>

namespace Win32OpenPicture {
inline constexpr int PreviewId = 0x0500;

// The child dialog's template, ready for OFN_ENABLETEMPLATEHANDLE (its words from a
// DWORD-aligned start).
std::vector<WORD> PreviewTemplate();

// The box's hook (OFN_ENABLEHOOK). The OPENFILENAMEW that WM_INITDIALOG brings carries the
// TOpenPictureDialog in lCustData; its LoadPreview decodes the files the user selects.
UINT_PTR CALLBACK PreviewHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace Win32OpenPicture
