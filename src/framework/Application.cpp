#include "framework/Application.h"

#include <algorithm>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"

namespace {
TApplication theApplication;
}

TApplication* Application = &theApplication;

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { FreeForms(); }

void TApplication::FreeForms()
{
    // Free the forms while this object is whole: they tell it when they go.
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

void TApplication::Initialize() { FTerminated = false; }

void TApplication::SetMainForm(TForm* form)
{
    if (!FMainForm) FMainForm = form;
}

void TApplication::FormDestroyed(TForm* form)
{
    if (FMainForm != form) return;
    FMainForm = nullptr;
    // The main form is gone: the loop has nothing left to serve.
    Terminate();
}

void TApplication::Run()
{
    if (!FMainForm) return;
    while (!FTerminated && FMainForm) {
        try {
            HandleMessage();
        } catch (const std::exception& error) {
            HandleException(this, error);
        }
    }
}

bool TApplication::ProcessMessage()
{
    MSG message{};
    if (!MessageQueue::Peek(message)) return false;
    if (message.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    bool handled = false;
    OnMessage(message, handled);
    if (!handled) MessageQueue::Dispatch(message);
    return true;
}

void TApplication::ProcessMessages()
{
    // Each pending message once: a timer or paint that comes due again while its handler
    // runs waits for the next call, or a handler slower than its interval would keep this
    // from ever returning.
    std::vector<MSG> recurring;
    MSG next{};
    while (MessageQueue::Peek(next, false)) {
        if (next.message == WM_TIMER || next.message == WM_PAINT) {
            const bool again = std::any_of(recurring.begin(), recurring.end(), [&](const MSG& seen) {
                return seen.hwnd == next.hwnd && seen.message == next.message && seen.wParam == next.wParam;
            });
            if (again) break;
            recurring.push_back(next);
        }
        if (!ProcessMessage()) break;
    }
}

void TApplication::HandleMessage()
{
    if (!ProcessMessage()) Idle();
}

void TApplication::Idle()
{
    bool done = true;
    OnIdle(this, done);
    // A handler that leaves Done False wants to be called again at once.
    if (done && !FTerminated) MessageQueue::Wait();
}

void TApplication::HandleException(TObject* sender, const std::exception& error)
{
    if (OnException)
        OnException(sender, error);
    else
        ShowException(error);
}

void TApplication::ShowException(const std::exception& error) { MessageBoxShow(error.what(), "Exception", miError); }

void TApplication::SetActive(bool active)
{
    if (active == FActive) return;
    FActive = active;
    if (active)
        OnActivate(this);
    else
        OnDeactivate(this);
}
