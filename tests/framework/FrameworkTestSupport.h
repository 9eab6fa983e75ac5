#pragma once
// What the framework's tests share: handlers for the application's events that forward to
// functions the test sets, and a fixture that leaves the application as it found it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"

// Events are bound to methods; these forward to whatever the test wants.
struct TestHandlers : TObject {
    std::function<void(bool&)> idle;
    std::function<void(MSG&, bool&)> message;
    std::function<void(const std::exception&)> exception;
    std::function<void(TCloseAction&)> close;
    std::function<void()> notify;

    void Idle(TObject*, bool& done) { idle(done); }
    void Message(MSG& msg, bool& handled) { message(msg, handled); }
    void Exception(TObject*, const std::exception& error) { exception(error); }
    void Close(TObject*, TCloseAction& action) { close(action); }
    void Notify(TObject*) { notify(); }
};

struct RecordedBox {
    std::string text;
    std::string caption;
    TMsgIcon icon;
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Drain();
        Application->Initialize();
        SetMessageBoxHandler([this](const std::string& text, const std::string& caption, TMsgIcon icon) {
            boxes.push_back({text, caption, icon});
        });
    }

    void TearDown() override
    {
        Application->OnIdle = {};
        Application->OnMessage = {};
        Application->OnException = {};
        Application->OnActivate = {};
        Application->OnDeactivate = {};
        Drain();
        SetMessageBoxHandler({});
    }

    // Hands every pending message to its window, so nothing a test queued reaches the next.
    static void Drain()
    {
        MSG msg;
        while (MessageQueue::Peek(msg)) MessageQueue::Dispatch(msg);
    }

    // How many messages of that kind are waiting; takes everything pending and hands it on,
    // so use it where only this question matters.
    static int CountPending(UINT message, WPARAM wParam)
    {
        int count = 0;
        MSG msg;
        while (MessageQueue::Peek(msg)) {
            if (msg.message == message && msg.wParam == wParam) ++count;
            MessageQueue::Dispatch(msg);
        }
        return count;
    }

    std::vector<RecordedBox> boxes;
};
