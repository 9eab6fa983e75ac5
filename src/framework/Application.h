#pragma once
// The application object: the message loop with its one idle slot, the message hook that
// sees every message before it is dispatched, activation and exception events, the title
// and the main form, whose closing ends the loop. Messages are Win32 message records on
// both systems; on Linux the framework makes them from X11 events.
#include <cstdint>
#include <string>

#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/WindowTypes.h"

class TForm;

using TMessageEvent = TEvent<TMsg&, bool&>;  // the message, Handled (preset False)

class TApplication : public TComponent, public TObject {
public:
    TApplication();
    ~TApplication() override;

    std::string Title;

    // Called with Done preset True whenever the queue has been emptied; called again at
    // once when the handler leaves Done False, otherwise the loop waits for a message.
    TIdleEvent OnIdle;
    // Sees every message taken from the queue before it is dispatched; Handled True drops it.
    TMessageEvent OnMessage;
    TNotifyEvent OnActivate;    // the application gained the focus
    TNotifyEvent OnDeactivate;  // the application lost it
    // An exception that reached the loop; without a handler it is shown in a message box.
    TExceptionEvent OnException;

    // Prepares the form and message machinery.
    void Initialize();
    // Frees every form the application still owns, newest first. The program calls it before
    // it unbinds DirectX, whose objects the forms' devices still hold.
    void FreeForms();
    // The first form created becomes the main form; closing it ends Run.
    TForm* MainForm() const { return FMainForm; }
    void SetMainForm(TForm* form);
    // Runs the message loop until the main form closes or Terminate; with no main form it
    // returns at once.
    void Run();
    // Takes and dispatches every pending message once, without idling or waiting.
    void ProcessMessages();
    // Takes and dispatches one message; with none pending runs the idle slot and, when the
    // handler leaves Done True, waits for the next message.
    void HandleMessage();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    // Whether the application has the focus (one of its forms is active).
    bool Active() const { return FActive; }

    // Passes an exception to OnException, or shows it in a message box.
    void HandleException(TObject* sender, const std::exception& error);
    // The default exception box: the message, caption "Exception", error icon.
    void ShowException(const std::exception& error);

    // Called by the platform when the focus comes to or leaves the whole application.
    void SetActive(bool active);
    // Called by forms that are freed, so the main form never dangles.
    void FormDestroyed(TForm* form);

private:
    // Dispatches one message through the hook; false when none was pending.
    bool ProcessMessage();
    void Idle();

    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    bool FActive = false;
};

extern TApplication* Application;

// The platform's message queue, under the application.
namespace MessageQueue {
bool Peek(TMsg& message);  // takes the next pending message, if any
// Looks at the next pending message and takes it only when remove is set.
bool Peek(TMsg& message, bool remove);
void Wait();                         // blocks until a message is pending
void Dispatch(const TMsg& message);  // hands it to its window
void PostQuit();
// Queues a message for a window (or, with no window, for the loop itself).
void Post(TWindowHandle window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
// Wakes a waiting loop with an empty message (WM_NULL, no window) so that it looks at what
// a signal handler has set now, not at its next timer. Safe to call from a signal handler.
void WakeFromSignal();
}  // namespace MessageQueue
