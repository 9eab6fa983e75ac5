#include "framework/Forms.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/FrameworkTestSupport.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"

namespace {

class FormsTest : public FrameworkTest {
protected:
    // A borderless form, whose window and client area are the same rectangle everywhere.
    std::unique_ptr<TForm> MakeForm(int left = 40, int top = 30, int width = 200, int height = 120)
    {
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(left, top, width, height);
        return form;
    }

    TestHandlers handlers;
    int destroyed = 0;
};

TEST_F(FormsTest, CloseActions)
{
    auto form = MakeForm();
    form->Show();
    TCloseAction chosen = caNone;
    handlers.close = [&](TCloseAction& action) {
        EXPECT_EQ(action, caHide) << "the preset action";
        action = chosen;
    };
    handlers.notify = [&] { ++destroyed; };
    form->OnClose = TCloseEvent::Of<&TestHandlers::Close>(&handlers);
    form->OnDestroy = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);

    form->Close();
    EXPECT_TRUE(form->Visible()) << "caNone keeps it open";

    chosen = caHide;
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(destroyed, 0);

    form->Show();
    chosen = caFree;
    const HWND handle = form->Handle();
    MessageQueue::Post(handle, WM_CLOSE, 0, 0);
    // The close is handled, and the form freed only when the loop comes back for it.
    MSG msg;
    ASSERT_TRUE(MessageQueue::Peek(msg));
    MessageQueue::Dispatch(msg);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(TForm::FindForm(handle), form.get());
    form.release();
    Application->ProcessMessages();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(TForm::FindForm(handle), nullptr);
}

TEST_F(FormsTest, FreeingAFormFreesItsComponents)
{
    auto form = MakeForm();
    auto* timer = new TTimer(form.get());
    const uintptr_t id = timer->Id();
    ASSERT_EQ(TTimer::FindTimer(id), timer);
    form.reset();
    EXPECT_EQ(TTimer::FindTimer(id), nullptr);
}

TEST_F(FormsTest, HandlesAreUniqueAndFindTheirForm)
{
    auto first = MakeForm();
    auto second = MakeForm();
    ASSERT_NE(first->Handle(), nullptr);
    ASSERT_NE(second->Handle(), nullptr);
    EXPECT_NE(first->Handle(), second->Handle());
    EXPECT_EQ(TForm::FindForm(first->Handle()), first.get());
    EXPECT_EQ(TForm::FindForm(second->Handle()), second.get());
    const HWND gone = second->Handle();
    second.reset();
    EXPECT_EQ(TForm::FindForm(gone), nullptr);
}

TEST_F(FormsTest, MaximisingFillsTheScreenAndRestoringBringsBackTheBounds)
{
    auto form = MakeForm(40, 30, 200, 120);
    form->Show();
    EXPECT_EQ(form->ClientRect(), Rect(0, 0, 200, 120));

    form->SetWindowState(wsMaximized);
    EXPECT_EQ(form->WindowState(), wsMaximized);
    EXPECT_GT(form->Width(), 200);
    EXPECT_GT(form->Height(), 120);
    EXPECT_EQ(form->ClientRect(), Rect(0, 0, form->Width(), form->Height()));

    form->SetWindowState(wsNormal);
    EXPECT_EQ(form->Left(), 40);
    EXPECT_EQ(form->Top(), 30);
    EXPECT_EQ(form->Width(), 200);
    EXPECT_EQ(form->Height(), 120);

    // Bounds set while maximised are where it returns to.
    form->SetWindowState(wsMaximized);
    form->SetBounds(60, 50, 150, 100);
    EXPECT_GT(form->Width(), 150);
    form->SetWindowState(wsNormal);
    EXPECT_EQ(form->Left(), 60);
    EXPECT_EQ(form->Top(), 50);
    EXPECT_EQ(form->Width(), 150);
    EXPECT_EQ(form->Height(), 100);
}

TEST_F(FormsTest, ClientToScreenAddsTheFormsPlace)
{
    auto form = MakeForm(40, 30, 200, 120);
    EXPECT_EQ(form->ClientToScreen({5, 7}), (TPoint{45, 37}));
}

TEST_F(FormsTest, InvalidateQueuesOnePaint)
{
    auto form = MakeForm();
    form->Show();
    Application->ProcessMessages();  // whatever showing it asked for
    form->Invalidate(false);
    form->Invalidate(false);
    int paints = 0;
    handlers.message = [&](MSG& msg, bool&) { paints += msg.message == WM_PAINT && msg.hwnd == form->Handle(); };
    Application->OnMessage = TMessageEvent::Of<&TestHandlers::Message>(&handlers);
    Application->ProcessMessages();
    EXPECT_EQ(paints, 1);
}

TEST_F(FormsTest, ShowCursorCounts)
{
    const int start = ShowCursor(false);
    EXPECT_EQ(ShowCursor(false), start - 1);
    EXPECT_EQ(ShowCursor(true), start);
    EXPECT_EQ(ShowCursor(true), start + 1);
}

}  // namespace
