// Saving the settings when registry.reg is something the program cannot simply rewrite: a
// link to a file not made yet, a folder, a file of another user's. The save either lands
// where the user will find it again or says why it could not; reads stay silent.
#include "dialog/CfgUnit.h"
#include "framework/Registry.h"
#include "platform/x11/LinuxRegFile.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {
std::string Contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class LinuxSettingsSave : public ::testing::Test {
protected:
    RegistrySandbox Sandbox;
    TempDir Elsewhere;
    const fs::path File = LinuxRegFilePath();

    void SetUp() override { fs::create_directories(File.parent_path()); }
};

struct TCloseCounter {
    int& Closes;
    void Closing(TObject*, TCloseAction& action)
    {
        ++Closes;
        action = caNone;
    }
};
}  // namespace

TEST_F(LinuxSettingsSave, ALinkToAFileNotMadeYetGetsItsTargetCreated)
{
    const struct {
        const char* what;
        std::function<fs::path()> link;  // makes the link, returns where the settings must land
    } cases[] = {
        {"absolute target",
         [&] {
             fs::create_symlink(Elsewhere.Path() / "mine.reg", File);
             return Elsewhere.Path() / "mine.reg";
         }},
        {"relative target through a second link",
         [&] {
             fs::create_directories(Elsewhere.Path() / "dotfiles");
             fs::create_symlink(Elsewhere.Path() / "hop.reg", File);
             fs::create_symlink("dotfiles/real.reg", Elsewhere.Path() / "hop.reg");
             return Elsewhere.Path() / "dotfiles" / "real.reg";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Elsewhere.Path());
        fs::create_directories(Elsewhere.Path());
        fs::remove(File);
        const fs::path target = c.link();

        SaveSettings("/srv/photos", TResolution{1024, 768, 32}, 12);
        EXPECT_TRUE(fs::is_symlink(File)) << "the link stays a link";
        ASSERT_TRUE(fs::is_regular_file(target));
        EXPECT_THAT(Contents(target), HasSubstr("\"ImagesPath\"=\"/srv/photos\""));
        const TLoadedSettings loaded = LoadSettings();
        EXPECT_EQ(loaded.ImagesPath, "/srv/photos");
        EXPECT_EQ(loaded.Resolution, (TResolution{1024, 768, 32}));
        EXPECT_EQ(loaded.Speed, 12);
    }
}

TEST_F(LinuxSettingsSave, AFileThatCannotBeOpenedRefusesTheSaveWithTheReason)
{
    const struct {
        const char* what;
        std::function<void()> block;
        const char* reason;
        bool asRootToo;
    } cases[] = {
        {"a folder in the file's place", [&] { fs::create_directory(File); }, "cannot read", true},
        {"a link into a folder that does not exist",
         [&] { fs::create_symlink(Elsewhere.Path() / "gone" / "x.reg", File); }, "cannot write", true},
        // What `sudo vellumine /c` leaves behind; root reads it anyway.
        {"a file the user may not read",
         [&] {
             std::ofstream(File) << "REGEDIT4\n";
             fs::permissions(File, fs::perms::none);
         },
         "cannot read", false},
    };
    for (const auto& c : cases) {
        if (!c.asRootToo && geteuid() == 0) continue;
        SCOPED_TRACE(c.what);
        fs::remove_all(File);
        c.block();

        const TLoadedSettings loaded = LoadSettings();
        EXPECT_FALSE(loaded.KeyOpened);
        EXPECT_EQ(loaded.Resolution, DefaultResolution) << "reads keep their silent defaults";
        EXPECT_EQ(ReadPictureFolder(), "");

        try {
            SaveSettings("/lost", TResolution{640, 480, 16}, 3);
            ADD_FAILURE() << "the save must not pass for done";
        } catch (const ERegistryException& e) {
            EXPECT_THAT(e.Message(), ::testing::StartsWith("Failed to save the settings: " + std::string(c.reason) +
                                                           " " + File.string() + " ("));
        }
        EXPECT_FALSE(fs::exists(Elsewhere.Path() / "gone")) << "nothing made elsewhere";
    }
}

TEST_F(LinuxSettingsSave, TheDialogShowsTheRefusalAndOkDoesNotClose)
{
    ASSERT_TRUE(LoadDirectXLibraries());
    fs::create_directory(File);
    TCfgFrm form(nullptr);
    int closes = 0;
    TCloseCounter counter{closes};
    form.OnClose = TCloseEvent::Of<&TCloseCounter::Closing>(&counter);
    form.ImageDir->SetText("/new/pictures");
    ASSERT_TRUE(form.ApplyBtn->Enabled());

    EXPECT_THROW(form.ApplyBtnClick(form.ApplyBtn), ERegistryException);
    EXPECT_TRUE(form.ApplyBtn->Enabled()) << "nothing was applied";
    EXPECT_THROW(form.OKBtnClick(form.OKBtn), ERegistryException);
    EXPECT_EQ(closes, 0);

    fs::remove(File);
    form.OKBtnClick(form.OKBtn);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(LoadSettings().ImagesPath, "/new/pictures");
}
