// The controls' shared state: what raises events and what does not, with whatever native
// control the platform makes (none on Linux without a screen, the system's on Windows).
#include "framework/Controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/FrameworkTestSupport.h"

namespace {
class ControlsTest : public FrameworkTest {
protected:
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TestHandlers Handlers;
    int Clicks = 0;
    std::vector<bool> SeenChecked;
};
}  // namespace

TEST_F(ControlsTest, ACheckBoxReportsTheUsersClicksOnlyAndTakesTheirState)
{
    auto* box = new TCheckBox(Form.get(), nullptr, "Every kind");
    Handlers.notify = [&] { SeenChecked.push_back(box->Checked()); };
    box->OnClick = TNotifyEvent::Of<&TestHandlers::Notify>(&Handlers);
    EXPECT_FALSE(box->Checked());

    box->SetChecked(true);
    box->SetChecked(false);
    box->SetChecked(true);
    EXPECT_TRUE(SeenChecked.empty()) << "setting from code raises no event";

    box->UserClicked(false);
    box->UserClicked(true);
    EXPECT_EQ(SeenChecked, (std::vector<bool>{false, true})) << "the event sees the state the user left";

    box->SetEnabled(false);
    box->UserClicked(false);
    EXPECT_TRUE(box->Checked()) << "a disabled box ignores a stray report";
    EXPECT_EQ(SeenChecked.size(), 2u);
}
