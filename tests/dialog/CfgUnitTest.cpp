// The settings dialog with its real parts and no user: the device lists the modes of the
// platform's DirectDraw, the settings go to a registry of the test's own, and the handlers
// are called as the controls would call them.
#include "dialog/CfgUnit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Paths.h"
#include "core/PictureKinds.h"
#include "framework/Registry.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

namespace {
TRegValue DwordValue(uint32_t v)
{
    return {rvDword,
            {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
             static_cast<uint8_t>(v >> 24)}};
}

std::optional<int32_t> AsInt(const std::optional<TRegValue>& value)
{
    if (!value || value->Type != rvDword || value->Data.size() != 4) return std::nullopt;
    return static_cast<int32_t>(value->Data[0] | value->Data[1] << 8 | value->Data[2] << 16 |
                                static_cast<uint32_t>(value->Data[3]) << 24);
}

class CfgUnit : public ::testing::Test {
public:
    void Closing(TObject*, TCloseAction& action)
    {
        ++Closes;
        action = caNone;
    }
    void Counting(TObject* sender)
    {
        ++Changes;
        Form->ImageDirChange(sender);
    }

protected:
    RegistrySandbox Sandbox;
    std::unique_ptr<TCfgFrm> Form;
    std::vector<std::string> Boxes;
    int Closes = 0;
    int Changes = 0;

    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([this](const std::string& text, const std::string&, TMsgIcon) { Boxes.push_back(text); });
    }
    void TearDown() override
    {
        Form.reset();
        SetMessageBoxHandler(nullptr);
        SetOpenPictureHandler(nullptr);
    }

    // The extensions of a filter's entries, without "*.".
    static std::multiset<std::string> Extensions(const std::vector<TFileFilter>& entries)
    {
        std::multiset<std::string> extensions;
        for (const TFileFilter& entry : entries)
            for (const std::string& pattern : entry.Patterns) {
                EXPECT_EQ(pattern.rfind("*.", 0), 0u) << pattern;
                extensions.insert(pattern.substr(2));
            }
        return extensions;
    }
    void Store(const std::string& folder, int32_t w, int32_t h, int32_t bits, int32_t speed)
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteValue("ImagesPath", MakeStringValue(rvString, folder));
        registry.WriteValue("Res_Width", DwordValue(static_cast<uint32_t>(w)));
        registry.WriteValue("Res_Height", DwordValue(static_cast<uint32_t>(h)));
        registry.WriteValue("Res_Bits", DwordValue(static_cast<uint32_t>(bits)));
        registry.WriteValue("Animate_Speed", DwordValue(static_cast<uint32_t>(speed)));
    }
    std::optional<TRegValue> Stored(const std::string& name)
    {
        TRegistry registry;
        if (!registry.OpenKey(SettingsKey, false)) return std::nullopt;
        return registry.ReadValue(name);
    }
    std::string StoredFolder()
    {
        const auto value = Stored("ImagesPath");
        return value ? std::string(value->Data.begin(), value->Data.end() - 1) : "<absent>";
    }
    TResolution StoredResolution()
    {
        return {AsInt(Stored("Res_Width")).value_or(-1), AsInt(Stored("Res_Height")).value_or(-1),
                AsInt(Stored("Res_Bits")).value_or(-1)};
    }

    void Open()
    {
        Form = std::make_unique<TCfgFrm>(nullptr);
        Form->OnClose = TCloseEvent::Of<&CfgUnit::Closing>(this);
    }
    int LineOf(const std::string& text)
    {
        for (int i = 0; i < Form->vidMode->Count(); ++i)
            if (Form->vidMode->Item(i) == text) return i;
        return -1;
    }
    // Picks a line as the user would, one that is not selected yet; returns its entry.
    TResolution ChooseAnother()
    {
        const int line = Form->vidMode->ItemIndex() == Form->vidMode->Count() - 1 ? 0 : Form->vidMode->Count() - 1;
        Form->vidMode->UserSelected(line);
        EXPECT_EQ(Form->vidMode->ItemIndex(), line);
        return Entry(line);
    }
    // A size the platform offers in both 16 and 32 bits per pixel.
    std::optional<std::pair<int32_t, int32_t>> SizeInBothDepths()
    {
        for (int i = 0; i < Form->WDX->VideoModeCount(); ++i) {
            const TResolution mode = Entry(i);
            const std::string size = std::to_string(mode.Width) + " x " + std::to_string(mode.Height);
            if (LineOf(size + " x 16") >= 0 && LineOf(size + " x 32") >= 0) return std::pair{mode.Width, mode.Height};
        }
        return std::nullopt;
    }
    TResolution Entry(int index)
    {
        const TVideoModeInfo mode = Form->WDX->GetVideoModeInfo(index);
        return {mode.Width, mode.Height, mode.Bits};
    }
};
}  // namespace

TEST_F(CfgUnit, TheFormIsLaidOutAsTheDialogAndStartsHiddenDisabledOnTheAboutPage)
{
    Open();
    EXPECT_EQ(Form->Caption, "Vellumine - Settings");
    EXPECT_FALSE(Form->Visible());
    EXPECT_FALSE(Form->Enabled());
    EXPECT_EQ(Form->BorderStyle(), bsSingle);
    EXPECT_EQ(Form->BorderIcons, 0);
    EXPECT_EQ(Form->PageControl->PageCount(), 2);
    EXPECT_EQ(Form->PageControl->Pages(0)->Caption(), "About");
    EXPECT_EQ(Form->PageControl->Pages(1)->Caption(), "Settings");
    EXPECT_EQ(Form->PageControl->ActivePage(), Form->AboutSheet);
    EXPECT_EQ(Form->VersionLbl->Caption(), "v 1.0.1");
    EXPECT_EQ(Form->AboutSheet->Width(), 486);
    EXPECT_EQ(Form->AboutSheet->Height(), 226);
    EXPECT_EQ(Form->Image2->Picture().Width(), 486);
    EXPECT_EQ(Form->Image1->Picture().Height(), 226);
    EXPECT_TRUE(Form->Image1->Stretch());
    EXPECT_FALSE(Form->Image2->Stretch());
    EXPECT_EQ(Form->AnimSpeed->BoundsRect(), Rect(23, 94, 368, 111));
    EXPECT_EQ(Form->OKBtn->BoundsRect(), Rect(256, 256, 329, 281));
    // The tab orders as the dialog lists them.
    const std::vector<TControl*> formOrder = {Form->previewBtn, Form->ApplyBtn, Form->CancelBtn, Form->OKBtn,
                                              Form->PageControl};
    for (size_t i = 0; i < formOrder.size(); ++i) EXPECT_EQ(formOrder[i]->TabOrder(), static_cast<int>(i));
    const std::vector<TControl*> pageOrder = {Form->vidMode, Form->BrowseBtn, Form->ImageDir, Form->AnimSpeed,
                                              Form->AllFormatsBox};
    for (size_t i = 0; i < pageOrder.size(); ++i) EXPECT_EQ(pageOrder[i]->TabOrder(), static_cast<int>(i));
    EXPECT_EQ(Form->OpenPictureDialog1.Filter, "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg");
    EXPECT_EQ(Form->MakerAddress().rfind("file://", 0), 0u) << Form->MakerAddress();
}

TEST_F(CfgUnit, TheResolutionListOffersFullScreenModesOfSixteenBitsOrMore)
{
    Open();
    ASSERT_GT(Form->WDX->VideoModeCount(), 0);
    ASSERT_EQ(Form->vidMode->Count(), Form->WDX->VideoModeCount()) << "one line per entry";
    for (int i = 0; i < Form->WDX->VideoModeCount(); ++i) {
        const TVideoModeInfo mode = Form->WDX->GetVideoModeInfo(i);
        EXPECT_FALSE(mode.Windowed) << i;
        EXPECT_NE(mode.Bits, 8) << i;
        EXPECT_EQ(Form->vidMode->Item(i), Form->WDX->VideoModeText(i));
    }
    EXPECT_EQ(LineOf("Windowed"), -1);
}

TEST_F(CfgUnit, AFirstRunShowsAnEmptyFolderSpeedOneAndTheDefaultMode)
{
    Open();
    EXPECT_EQ(Form->ImageDir->Text(), "") << "an absent folder loads as the empty text";
    EXPECT_TRUE(Form->ApplyBtn->Enabled()) << "loading replaced the initial folder text";
    EXPECT_EQ(Form->AnimSpeed->Position(), 1);
    const int line = LineOf("800 x 600 x 16");
    EXPECT_EQ(Form->vidMode->ItemIndex(), line >= 0 ? line : 0);
}

TEST_F(CfgUnit, StoredSettingsOpenTheDialogAndSpeedsOutsideTheBarAreLimited)
{
    Open();
    const auto size = SizeInBothDepths();
    ASSERT_TRUE(size.has_value()) << "the platform offers a size in 16 and in 32 bits";
    const auto [width, height] = *size;
    const std::string name = std::to_string(width) + " x " + std::to_string(height);
    Form.reset();
    Store(UserPicturesFolder(), width, height, 32, 37);
    Open();
    EXPECT_EQ(Form->ImageDir->Text(), UserPicturesFolder());
    EXPECT_FALSE(Form->ApplyBtn->Enabled()) << "the stored folder equals the initial text: no change";
    EXPECT_EQ(Form->AnimSpeed->Position(), 37);
    EXPECT_EQ(Form->vidMode->ItemIndex(), LineOf(name + " x 32")) << "exactly the 32-bit line";

    for (const auto& [stored, shown] : std::vector<std::pair<int32_t, int>>{{0, 1}, {250, 100}, {-5, 1}}) {
        Form.reset();
        Store("/pictures", width, height, 16, stored);
        Open();
        EXPECT_EQ(Form->AnimSpeed->Position(), shown) << stored;
        EXPECT_EQ(Form->vidMode->ItemIndex(), LineOf(name + " x 16"));
        Form->ApplyBtnClick(Form->ApplyBtn);
        EXPECT_EQ(AsInt(Stored("Animate_Speed")), shown) << "a save writes the bar's position";
    }
}

TEST_F(CfgUnit, AnEightBitResolutionIsNeverFoundAndTheFirstEntryReplacesIt)
{
    Store("/pictures", 800, 600, 8, 5);
    Open();
    EXPECT_EQ(Form->vidMode->ItemIndex(), 0);
    Form->ApplyBtnClick(Form->ApplyBtn);
    EXPECT_EQ(StoredResolution(), Entry(0));
}

TEST_F(CfgUnit, ApplyIsEnabledByAFolderChangeAndAPressOnTheBarOnly)
{
    Store(UserPicturesFolder(), 800, 600, 16, 10);
    Open();
    ASSERT_FALSE(Form->ApplyBtn->Enabled());

    Form->ImageDir->SetText(UserPicturesFolder());
    EXPECT_FALSE(Form->ApplyBtn->Enabled()) << "an equal text is no change";
    const TResolution chosen = ChooseAnother();
    EXPECT_FALSE(Form->ApplyBtn->Enabled()) << "a resolution choice does not enable Apply";
    Form->AnimSpeedMouseMove(Form->AnimSpeed, 200, 5);
    Form->AnimSpeedMouseUp(Form->AnimSpeed, mbLeft, 200, 5);
    EXPECT_FALSE(Form->ApplyBtn->Enabled());
    EXPECT_EQ(Form->AnimSpeed->Position(), 10) << "moves without a press change nothing";

    Form->AnimSpeedMouseDown(Form->AnimSpeed, mbRight, 172, 8);
    EXPECT_TRUE(Form->ApplyBtn->Enabled()) << "a press with any button";
    EXPECT_EQ(Form->AnimSpeed->Position(), 10) << "the press itself does not move the bar";
    Form->AnimSpeedMouseUp(Form->AnimSpeed, mbRight, 172, 8);

    Form->ApplyBtnClick(Form->ApplyBtn);
    EXPECT_FALSE(Form->ApplyBtn->Enabled()) << "only its own click disables it";
    EXPECT_EQ(StoredResolution(), chosen) << "the choice was saved all the same";
    Form->ImageDir->SetText("/elsewhere");
    EXPECT_TRUE(Form->ApplyBtn->Enabled());
    Form->ImageDir->SetText(UserPicturesFolder());
    EXPECT_TRUE(Form->ApplyBtn->Enabled()) << "changing back is a change too";
}

TEST_F(CfgUnit, DraggingOnTheSpeedBarFollowsTheMouseWhereverItGoes)
{
    Open();
    ASSERT_EQ(Form->AnimSpeed->Width(), 345);
    Form->AnimSpeedMouseDown(Form->AnimSpeed, mbLeft, 100, 8);
    EXPECT_TRUE(Form->AnimSpeedDragging());
    const std::vector<std::pair<int, int>> moves = {{172, 50},  {0, 1},     {1, 1},   {3, 1},    {343, 99},
                                                    {344, 100}, {345, 100}, {-20, 1}, {500, 100}};
    for (const auto& [x, expected] : moves) {
        Form->AnimSpeedMouseMove(Form->AnimSpeed, x, 300);
        EXPECT_EQ(Form->AnimSpeed->Position(), expected) << "x = " << x;
    }
    Form->AnimSpeedMouseUp(Form->AnimSpeed, mbLeft, 500, 300);
    EXPECT_FALSE(Form->AnimSpeedDragging());
    Form->AnimSpeedMouseMove(Form->AnimSpeed, 172, 8);
    EXPECT_EQ(Form->AnimSpeed->Position(), 100) << "after the release, moves change nothing";
}

TEST_F(CfgUnit, OkSavesAllFiveValuesAndClosesCancelSavesNothing)
{
    Store("/old/pictures", 800, 600, 16, 20);
    Open();
    Form->ImageDir->SetText("/new/pictures");
    Form->AnimSpeedMouseDown(Form->AnimSpeed, mbLeft, 0, 0);
    Form->AnimSpeedMouseMove(Form->AnimSpeed, 172, 0);
    Form->AnimSpeedMouseUp(Form->AnimSpeed, mbLeft, 172, 0);
    const TResolution chosen = ChooseAnother();
    ASSERT_NE(chosen, (TResolution{800, 600, 16}));

    Form->CancelBtnClick(Form->CancelBtn);
    EXPECT_EQ(Closes, 1);
    EXPECT_EQ(StoredFolder(), "/old/pictures") << "Cancel stores nothing";
    EXPECT_EQ(StoredResolution(), (TResolution{800, 600, 16}));
    EXPECT_EQ(AsInt(Stored("Animate_Speed")), 20);

    Form->OKBtnClick(Form->OKBtn);
    EXPECT_EQ(Closes, 2);
    const auto folder = Stored("ImagesPath");
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->Type, rvString);
    EXPECT_EQ(folder->Data.back(), 0) << "stored with its terminating zero";
    EXPECT_EQ(StoredFolder(), "/new/pictures");
    for (const char* name : {"Res_Width", "Res_Height", "Res_Bits", "Animate_Speed"})
        EXPECT_TRUE(AsInt(Stored(name)).has_value()) << name << " is a 4-byte REG_DWORD";
    EXPECT_EQ(StoredResolution(), chosen);
    EXPECT_EQ(AsInt(Stored("Animate_Speed")), 50);
    const TLoadedSettings loaded = LoadSettings();
    EXPECT_TRUE(loaded.ResolutionRead) << "the saved key loads whole";
}

TEST_F(CfgUnit, CancelAfterApplyLeavesTheAppliedValues)
{
    Store("/old", 800, 600, 16, 20);
    Open();
    Form->ImageDir->SetText("/applied");
    Form->ApplyBtnClick(Form->ApplyBtn);
    Form->ImageDir->SetText("/not/applied");
    Form->CancelBtnClick(Form->CancelBtn);
    EXPECT_EQ(StoredFolder(), "/applied");
}

TEST_F(CfgUnit, SavingWithNoSelectedEntryKeepsTheStoredResolution)
{
    Store("/pictures", 1234, 567, 32, 20);
    Open();
    Form->vidMode->SetItemIndex(-1);
    Form->ImageDir->SetText("/other");
    Form->OKBtnClick(Form->OKBtn);
    EXPECT_TRUE(Boxes.empty()) << Boxes.front();
    EXPECT_EQ(StoredFolder(), "/other");
    EXPECT_EQ(StoredResolution(), (TResolution{1234, 567, 32})) << "nothing read from outside the list";
}

TEST_F(CfgUnit, BrowseTakesTheChosenPicturesFolderInTwoChanges)
{
    Store("/start", 800, 600, 16, 20);
    Open();
    Form->ImageDir->OnChange = TNotifyEvent::Of<&CfgUnit::Counting>(this);
    Form->ApplyBtnClick(Form->ApplyBtn);
    const std::string chosen = PathDelim == '/' ? "/home/ann/Photos/a.jpg" : "D:\\Photos\\a.jpg";
    const std::string folder = PathDelim == '/' ? "/home/ann/Photos" : "D:\\Photos";
    std::vector<std::string> filters;
    SetOpenPictureHandler([&](TOpenPictureDialog& dialog) {
        filters.push_back(dialog.Filter);
        dialog.FileName = chosen;
        return true;
    });
    Form->BrowseBtnClick(Form->BrowseBtn);
    EXPECT_EQ(Form->ImageDir->Text(), folder);
    EXPECT_EQ(Changes, 2) << "the cut and the removed separator each change the text";
    EXPECT_TRUE(Form->ApplyBtn->Enabled());
    ASSERT_EQ(filters.size(), 1u);

    Form->ApplyBtnClick(Form->ApplyBtn);
    SetOpenPictureHandler([](TOpenPictureDialog& dialog) {
        dialog.FileName = "/ignored/x.jpg";
        return false;
    });
    Form->BrowseBtnClick(Form->BrowseBtn);
    EXPECT_EQ(Form->ImageDir->Text(), folder) << "a cancelled box changes nothing";
    EXPECT_FALSE(Form->ApplyBtn->Enabled());
    EXPECT_EQ(Changes, 2);
}

TEST_F(CfgUnit, TheAllFormatsBoxLoadsFromTheStoredValueAndAClickIsSavedByApplyAndOk)
{
    Store(UserPicturesFolder(), 800, 600, 16, 10);
    Open();
    EXPECT_FALSE(Form->AllFormatsBox->Checked()) << "absent: JPEG only";
    Form->AllFormatsBox->UserClicked(true);
    EXPECT_TRUE(Form->ApplyBtn->Enabled()) << "a click is a change";
    Form->ApplyBtnClick(Form->ApplyBtn);
    EXPECT_EQ(AsInt(Stored("AllPictureFormats")), 1);

    Form.reset();
    Open();
    EXPECT_TRUE(Form->AllFormatsBox->Checked());
    EXPECT_FALSE(Form->ApplyBtn->Enabled()) << "loading the box is no change";
    Form->AllFormatsBox->UserClicked(false);
    Form->OKBtnClick(Form->OKBtn);
    EXPECT_EQ(AsInt(Stored("AllPictureFormats")), 0) << "off over a stored value writes 0";
}

TEST_F(CfgUnit, TheBrowseBoxListsEveryShownKindOnlyWhileTheBoxIsChecked)
{
    Open();
    const std::vector<TFileFilter> jpegOnly = ParseFileFilter(Form->OpenPictureDialog1.Filter);
    EXPECT_EQ(Extensions(jpegOnly), (std::multiset<std::string>{"jpg", "jpeg"}));

    Form->AllFormatsBox->UserClicked(true);
    const std::vector<TFileFilter> all = ParseFileFilter(Form->OpenPictureDialog1.Filter);
    const std::vector<std::string>& shown = ShownPictureExtensions(true);
    ASSERT_GT(all.size(), jpegOnly.size() + 1);
    EXPECT_EQ(Extensions({all[0]}), std::multiset<std::string>(shown.begin(), shown.end()))
        << "the first entry takes every kind at once";
    EXPECT_EQ(std::vector<TFileFilter>(all.begin() + 1, all.begin() + 1 + static_cast<ptrdiff_t>(jpegOnly.size())),
              jpegOnly)
        << "then the JPEG entries as they were";
    const std::vector<TFileFilter> others(all.begin() + 1 + static_cast<ptrdiff_t>(jpegOnly.size()), all.end());
    std::multiset<std::string> expected;
    for (const std::string& extension : shown)
        if (PictureKindOfName("." + extension) != TPictureKind::Jpeg) expected.insert(extension);
    EXPECT_EQ(Extensions(others), expected) << "every other extension in exactly one entry of its own kind";
    for (const TFileFilter& entry : others)
        for (const std::string& pattern : entry.Patterns)
            EXPECT_EQ(PictureKindOfName(pattern), PictureKindOfName(entry.Patterns.front())) << entry.Name;

    Form->AllFormatsBox->UserClicked(false);
    EXPECT_EQ(ParseFileFilter(Form->OpenPictureDialog1.Filter), jpegOnly);
    EXPECT_EQ(Form->OpenPictureDialog1.FilterIndex, 1) << "no index past the shorter list";
}

TEST_F(CfgUnit, APreviewShowTakesTheUnsavedChoicesWhileTheDialogExists)
{
    Store("/saved", 800, 600, 16, 20);
    Open();
    Form->ImageDir->SetText("/unsaved");
    const TResolution chosen = ChooseAnother();
    Form->AnimSpeedMouseDown(Form->AnimSpeed, mbLeft, 0, 0);
    Form->AnimSpeedMouseMove(Form->AnimSpeed, 344, 0);
    Form->AllFormatsBox->UserClicked(true);
    const TShowOptions options = Form->PreviewShowOptions();
    ASSERT_TRUE(options.Settings);
    const TShowSettings show = ReadShowSettings(options);
    EXPECT_EQ(show.ImagesPath, "/unsaved");
    EXPECT_EQ(show.Resolution, chosen);
    EXPECT_EQ(show.Speed, 100);
    EXPECT_TRUE(show.AllPictureFormats);
    EXPECT_EQ(StoredFolder(), "/saved") << "nothing is written for a preview";
    EXPECT_EQ(CfgFrm, Form.get());
    Form.reset();
    const TShowSettings stored = ReadShowSettings(TShowOptions{});
    EXPECT_EQ(stored.ImagesPath, "/saved") << "without the dialog the show reads the registry";
    EXPECT_EQ(stored.Resolution, (TResolution{800, 600, 16}));
    EXPECT_EQ(stored.Speed, 20);
    EXPECT_FALSE(stored.AllPictureFormats);
    EXPECT_EQ(CfgFrm, nullptr);
}

TEST(CfgAddress, TheReadmeBesideTheProgramElseInTheInstalledDocumentationFolder)
{
    // An installed tree: the program among the display modules, the README in the docs.
    const std::string docFromProgram = "../../share/doc/vellumine/";
    struct Case {
        const char* name;
        bool besideProgram, inDocs;
        const char* docFromProgram;
        const char* expected;  // below the tree's root
    };
    const Case cases[] = {
        {"a build keeps it beside the program", true, true, docFromProgram.c_str(), "libexec/xscreensaver/"},
        {"an installation keeps it in its docs", false, true, docFromProgram.c_str(), "share/doc/vellumine/"},
        {"found nowhere, the link names the program's folder", false, false, docFromProgram.c_str(),
         "libexec/xscreensaver/"},
        {"without a documentation folder only the program's own", false, true, "", "libexec/xscreensaver/"},
    };
    for (const Case& c : cases) {
        TempDir tree;
        const std::string root = tree.Str() + "/";
        const std::string programFolder = root + "libexec/xscreensaver/";
        tree.WriteFile("libexec/xscreensaver/vellumine");
        if (c.besideProgram) tree.WriteFile("libexec/xscreensaver/README.md", "beside");
        if (c.inDocs) tree.WriteFile("share/doc/vellumine/README.md", "installed");
        // Windows writes its temporary folder and the normalised part with its own separators.
        const auto slashes = [](std::string path) {
            std::replace(path.begin(), path.end(), '\\', '/');
            return path;
        };
        EXPECT_EQ(slashes(ReadmeFolderFor(programFolder, c.docFromProgram)), slashes(root + c.expected)) << c.name;
    }
}

TEST(CfgAddress, TheReadmeBesideTheProgramAsAFileAddress)
{
    EXPECT_EQ(MakerAddressFor("/opt/vellumine/"), "file:///opt/vellumine/README.md");
    EXPECT_EQ(MakerAddressFor("/home/ann/my apps/"), "file:///home/ann/my%20apps/README.md");
    EXPECT_EQ(MakerAddressFor("C:\\Program Files\\Vellumine\\"), "file:///C:/Program%20Files/Vellumine/README.md");
    EXPECT_EQ(ShortenedAddress("file:///a/README.md", 26), "file:///a/README.md");
    const std::string shortened = ShortenedAddress("file:///home/ann/vellumine/build/src/README.md", 26);
    EXPECT_EQ(shortened, "file://...ld/src/README.md");
    EXPECT_EQ(shortened.size(), 26u);
}
