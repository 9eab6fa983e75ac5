// The part of forms both systems share: closing with its actions and the messages the
// framework handles for every form's window.
#include "framework/Forms.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/FrameworkPlatform.h"
#include "framework/WinApi.h"

static_assert(CM_RELEASE == WM_USER + 0x100, "the delayed free is a private message of the form's window");

void TForm::Close()
{
    TCloseAction action = caHide;
    OnClose(this, action);
    switch (action) {
    case caNone: return;
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    }
    if (Application->MainForm() == this) Application->Terminate();
}

bool TForm::Dispatch(const TMsg& message)
{
    switch (message.message) {
    case WM_CLOSE: Close(); return true;
    case WM_ACTIVATEAPP: Application->SetActive(message.wParam != 0); return true;
    case CM_RELEASE: delete this; return true;
    default: return DispatchControlMessage(message);
    }
}
