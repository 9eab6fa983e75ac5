// Saving the settings when registry.reg is something the program cannot simply rewrite: a
// link to a file not made yet, a folder, a file of another user's. The save either lands
// where the user will find it again or says why it could not; reads stay silent.
#include "dialog/CfgUnit.h"
#include "framework/Registry.h"
#include "framework/x11/LinuxRegFile.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

// Others who can change names in the settings folder, or own a link on the way, could have
// the save replace a file of their choosing: such places are refused, and reads still work.
TEST_F(LinuxSettingsSave, APlaceOthersCouldChangeRefusesTheSaveWithTheReason)
{
    const uid_t Nobody = 65534;
    const fs::path folder = File.parent_path();
    const fs::path target = Elsewhere.Path() / "real.reg";
    const struct {
        const char* what;
        std::function<void()> unsafe;  // the place was safe for the first save
        const char* reason;
        bool needsRoot;  // giving a file to another user
    } cases[] = {
        {"a folder writable by its group", [&] { chmod(folder.c_str(), 0770); }, "is writable by group or others",
         false},
        {"a folder writable by anyone, even a sticky one", [&] { chmod(folder.c_str(), 01777); },
         "is writable by group or others", false},
        {"a folder of another user's", [&] { ASSERT_EQ(chown(folder.c_str(), Nobody, Nobody), 0); },
         "belongs to another user", true},
        {"a link of another user's",
         [&] {
             fs::remove(File);
             fs::create_symlink(target, File);
             ASSERT_EQ(lchown(File.c_str(), Nobody, Nobody), 0);
         },
         "belongs to another user", true},
        {"a link into a folder anyone may write in",
         [&] {
             fs::remove(File);
             fs::create_symlink(target, File);
             chmod(Elsewhere.Path().c_str(), 0777);
         },
         "is writable by group or others", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && geteuid() != 0) {
            std::printf("skipped '%s': only root can give a file to another user\n", c.what);
            continue;
        }
        fs::remove_all(folder);
        fs::remove(target);
        chmod(Elsewhere.Path().c_str(), 0700);
        fs::create_directories(folder);
        chmod(folder.c_str(), 0700);
        std::ofstream(target) << "REGEDIT4\n";
        SaveSettings("/kept", TResolution{800, 600, 16}, 5);
        c.unsafe();
        const std::string before = Contents(File);
        const std::string beforeTarget = Contents(target);

        try {
            SaveSettings("/lost", TResolution{640, 480, 16}, 3);
            ADD_FAILURE() << "the save must not pass for done";
        } catch (const ERegistryException& e) {
            EXPECT_THAT(e.Message(), HasSubstr(c.reason));
        }
        EXPECT_EQ(Contents(File), before) << "nothing written";
        EXPECT_EQ(Contents(target), beforeTarget) << "nothing written";
        fs::remove(File.string() + ".lock");
    }
}

// Leftovers of a writer that died are removed; names the writer never makes, and files
// that are not the user's own plain files, stay.
TEST_F(LinuxSettingsSave, OnlyTheWritersOwnLeftoversAreRemoved)
{
    const fs::path folder = File.parent_path();
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        bool removed;
    } cases[] = {
        {"registry.reg.tmp-AbC123", [](const fs::path& p) { std::ofstream(p) << "x"; }, true},
        {"registry.reg.tmp-AbC12", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
        {"registry.reg.tmp-AbC1234", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
        {"registry.reg.tmp-AbC.12", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
        {"other.reg.tmp-AbC123", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
        {"registry.reg.tmp-Folder", [](const fs::path& p) { fs::create_directory(p); }, false},
        {"registry.reg.tmp-Link01", [&](const fs::path& p) { fs::create_symlink(Elsewhere.Path(), p); }, false},
        {"registry.reg.tmp-Other1",
         [](const fs::path& p) {
             std::ofstream(p) << "x";
             if (geteuid() == 0 && chown(p.c_str(), 65534, 65534) != 0) ADD_FAILURE() << "chown";
         },
         geteuid() != 0},  // without root it is the user's own
    };
    for (const auto& c : cases) c.make(folder / c.name);
    SaveSettings("/pictures", TResolution{800, 600, 16}, 5);
    for (const auto& c : cases) EXPECT_EQ(!fs::exists(fs::symlink_status(folder / c.name)), c.removed) << c.name;
}
