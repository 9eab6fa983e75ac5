#include "dialog/CfgUnit.h"

#include <cstdio>
#include <filesystem>

#include "core/Paths.h"
#include "dialog/CfgRules.h"
#include "dialog/ComboBoxItems.h"
#include "dialog/PageArtwork.h"
#include "framework/Application.h"
#include "imaging/PictureFormats.h"
#include "settings/Settings.h"
#include "wdx/WDirectX.h"

TCfgFrm* CfgFrm = nullptr;

namespace {
constexpr int ClientWidth = 494, ClientHeight = 284;

TLabel* MakeLabel(TCfgFrm* form, TControl* parent, int left, int top, int width, const std::string& caption)
{
    auto* label = new TLabel(form, parent);
    label->SetBounds(left, top, width, 13);
    label->SetCaption(caption);
    return label;
}

TButton* MakeButton(TCfgFrm* form, const std::string& caption, int left, int top, int width, int height, int tabOrder)
{
    auto* button = new TButton(form, nullptr, caption);
    button->SetBounds(left, top, width, height);
    button->SetTabOrder(tabOrder);
    return button;
}

// The file box's preview area is about 200 x 200 pixels on both platforms (130 x 118 dialog
// units on Windows, FLTK's preview box on Linux), and its picture is only shrunk into it; the
// picture is decoded just large enough to cover twice that, for screens of twice the density.
constexpr int PreviewBoxSide = 400;

bool LoadPicturePreview(const std::string& path, TBitmap& bitmap)
{
    return LoadPictureIntoBitmap(bitmap, path, nullptr, PreviewBoxSide, PreviewBoxSide);
}

bool UnreservedInAddress(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/' || c == ':';
}
}  // namespace

std::string ReadmeFolderFor(const std::string& programFolder, const std::string& docFromProgram)
{
    if (docFromProgram.empty() || IsRegularFile(programFolder + "README.md")) return programFolder;
    // The program's folder is its real path, so a lexical step up is the real parent, and the
    // link shows a plain path instead of one with "..".
    const std::string installed = std::filesystem::path(programFolder + docFromProgram).lexically_normal().string();
    return IsRegularFile(installed + "README.md") ? installed : programFolder;
}

std::string MakerAddressFor(const std::string& readmeFolder)
{
    std::string path = readmeFolder + "README.md";
    for (char& c : path)
        if (c == '\\') c = '/';
    // A drive letter path becomes file:///C:/..., a Linux one file:///home/...
    if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
    std::string address = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (UnreservedInAddress(byte)) {
            address += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            address += escaped;
        }
    }
    return address;
}

std::string ShortenedAddress(const std::string& address, size_t maxCharacters)
{
    if (address.size() <= maxCharacters) return address;
    const size_t scheme = address.find("://");
    const std::string head = scheme == std::string::npos ? std::string() : address.substr(0, scheme + 3);
    const std::string ellipsis = "...";
    if (head.size() + ellipsis.size() >= maxCharacters) return address.substr(0, maxCharacters);
    return head + ellipsis + address.substr(address.size() - (maxCharacters - head.size() - ellipsis.size()));
}

TCfgFrm::TCfgFrm(TComponent* owner) : TForm(owner)
{
    Name = "CfgFrm";
    Caption = "Vellumine - Settings";
    Color = clBtnFace;
    SetBorderStyle(bsSingle);
    BorderIcons = 0;
    SetEnabled(false);
    SetClientSizeCentred(ClientWidth, ClientHeight);

    // On the form, in their tab order.
    previewBtn = MakeButton(this, "Preview", 4, 256, 89, 25, 0);
    ApplyBtn = MakeButton(this, "Apply", 416, 256, 73, 25, 1);
    ApplyBtn->SetEnabled(false);
    CancelBtn = MakeButton(this, "Cancel", 336, 256, 73, 25, 2);
    OKBtn = MakeButton(this, "OK", 256, 256, 73, 25, 3);

    PageControl = new TPageControl(this, nullptr);
    PageControl->SetBounds(0, 0, ClientWidth, 257);
    PageControl->SetTabOrder(4);
    AboutSheet = PageControl->AddPage("About");
    SettingsSheet = PageControl->AddPage("Settings");

    Image2 = new TImage(this, AboutSheet);
    Image2->SetBounds(0, 0, AboutSheet->Width(), AboutSheet->Height());
    Image2->SetPicture(MakeAboutPicture(PagePictureWidth, PagePictureHeight));
    Image2->SetStretch(false);
    VersionLbl = MakeLabel(this, AboutSheet, 362, 2, 121, "");
    VersionLbl->Alignment = taRightJustify;
    VersionLbl->Font.Color = clWhite;
    VersionLbl->Font.Size = 3;
    FMakerAddress = MakerAddressFor(ReadmeFolderFor(ProgramFolder(), VELLUMINE_DOC_FROM_PROGRAM));
    // The whole address is what opens; the link shows as much of it as its width holds.
    URLLabel = MakeLabel(this, AboutSheet, 262, 88, 157, ShortenedAddress(FMakerAddress, 26));
    URLLabel->Font.Color = clBlue;
    URLLabel->Font.Style = fsUnderline;
    URLLabel->Font.Size = 11;
    URLLabel->Cursor = crHandPoint;

    Image1 = new TImage(this, SettingsSheet);
    Image1->SetBounds(0, 0, SettingsSheet->Width(), SettingsSheet->Height());
    Image1->SetPicture(MakeSettingsPicture(PagePictureWidth, PagePictureHeight));
    Image1->SetStretch(true);
    Label1 = MakeLabel(this, SettingsSheet, 24, 8, 200, "Image Directory");
    ImageDir = new TEdit(this, SettingsSheet);
    ImageDir->ReadOnly = true;
    ImageDir->Border = false;
    ImageDir->SetBounds(24, 31, 342, 15);
    ImageDir->SetText(UserPicturesFolder());
    ImageDir->SetTabOrder(2);
    BrowseBtn = new TButton(this, SettingsSheet, "Browse");
    BrowseBtn->SetBounds(376, 26, 81, 22);
    BrowseBtn->SetTabOrder(1);
    Label2 = MakeLabel(this, SettingsSheet, 24, 72, 200, "Animation Speed");
    AnimSpeed = new TProgressBar(this, SettingsSheet);
    AnimSpeed->SetBounds(23, 94, 345, 17);
    AnimSpeed->SetRange(1, 100);
    AnimSpeed->SetPosition(1);
    AnimSpeed->Smooth = true;
    AnimSpeed->SetTabOrder(3);
    Label3 = MakeLabel(this, SettingsSheet, 24, 136, 200, "Display Resolution");
    vidMode = new TComboBox(this, SettingsSheet);
    vidMode->SetBounds(21, 159, 159, 21);
    vidMode->SetTabOrder(0);
    // Below the resolution, the page's last row; the picture's frames stand above its end.
    AllFormatsBox = new TCheckBox(this, SettingsSheet, "Also show HEIC, AVIF, WebP, PNG, JPEG XL and TIFF pictures");
    AllFormatsBox->SetBounds(24, 196, 400, 17);
    AllFormatsBox->SetTabOrder(4);

    WDX = new TWDirectX(this);
    WDX->Name = "WDX";
    FVideoModeItems = std::make_unique<TComboBoxItems>(*vidMode);
    WDX->ComboBoxVideoModes = FVideoModeItems.get();
    WDX->AutoStart = false;
    WDX->DisableDirectDraw = false;
    WDX->DisableDirect3D = true;
    WDX->DisableDirectSound = true;
    WDX->DisableDirectInput = true;
    WDX->LogType = dxlogNone;
    WDX->LogFile = "Log.log";
    WDX->SetIdleEnabled(false);
    WDX->dxCoopLevel = dxclAuto;
    WDX->dxVideoMode = dxvmAuto;
    WDX->SetBacksurfaces(0);
    WDX->SetColorKey(clBlack);
    WDX->UseZBuffer = false;
    WDX->OutputControl = this;
    WDX->OnAcceptVideoMode = TAcceptVideoModeEvent::Of<&TCfgFrm::WDXAcceptVideoMode>(this);

    OpenPictureDialog1.Filter = PictureFilter(false);
    OpenPictureDialog1.FilterIndex = 1;
    OpenPictureDialog1.LoadPreview = LoadPicturePreview;

    ImageDir->OnChange = TNotifyEvent::Of<&TCfgFrm::ImageDirChange>(this);
    BrowseBtn->OnClick = TNotifyEvent::Of<&TCfgFrm::BrowseBtnClick>(this);
    AllFormatsBox->OnClick = TNotifyEvent::Of<&TCfgFrm::AllFormatsBoxClick>(this);
    OKBtn->OnClick = TNotifyEvent::Of<&TCfgFrm::OKBtnClick>(this);
    CancelBtn->OnClick = TNotifyEvent::Of<&TCfgFrm::CancelBtnClick>(this);
    ApplyBtn->OnClick = TNotifyEvent::Of<&TCfgFrm::ApplyBtnClick>(this);
    previewBtn->OnClick = TNotifyEvent::Of<&TCfgFrm::previewBtnClick>(this);
    URLLabel->OnClick = TNotifyEvent::Of<&TCfgFrm::URLLabelClick>(this);
    AnimSpeed->OnMouseDown = TMouseEvent::Of<&TCfgFrm::AnimSpeedMouseDown>(this);
    AnimSpeed->OnMouseMove = TMouseMoveEvent::Of<&TCfgFrm::AnimSpeedMouseMove>(this);
    AnimSpeed->OnMouseUp = TMouseEvent::Of<&TCfgFrm::AnimSpeedMouseUp>(this);
    OnCreate = TNotifyEvent::Of<&TCfgFrm::FormCreate>(this);

    CfgFrm = this;

    // The device lists the modes it is offered into vidMode as it is loaded.
    WDX->Loaded();
    OnCreate(this);
}

TCfgFrm::~TCfgFrm()
{
    if (CfgFrm == this) CfgFrm = nullptr;
    // The device lets go of the combo box before the box goes.
    WDX->ComboBoxVideoModes = nullptr;
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

void TCfgFrm::FormCreate(TObject*)
{
    VersionLbl->SetCaption("v " VELLUMINE_VERSION);
    PageControl->SetActivePageIndex(0);
    LoadSettings();
}

void TCfgFrm::LoadSettings()
{
    const TLoadedSettings loaded = ::LoadSettings();
    if (loaded.ImagesPath) ImageDir->SetText(*loaded.ImagesPath);
    if (loaded.Speed) AnimSpeed->SetPosition(*loaded.Speed);
    AllFormatsBox->SetChecked(loaded.AllPictureFormats);
    OpenPictureDialog1.Filter = PictureFilter(loaded.AllPictureFormats);
    // With no key at all there is no resolution to look for: the list keeps its first entry.
    if (!loaded.KeyOpened) return;
    const int index = StoredModeIndex(
        WDX->VideoModeCount(), [this](int i) { return WDX->GetVideoModeInfo(i); }, loaded.Resolution,
        vidMode->ItemIndex());
    vidMode->SetItemIndex(index);
}

void TCfgFrm::SaveSettings()
{
    // With no entry selected (the device listed no mode) the stored resolution is kept
    // rather than read from outside the list.
    std::optional<TResolution> resolution;
    const int index = vidMode->ItemIndex();
    if (index >= 0 && index < WDX->VideoModeCount())
        resolution = TResolution{WDX->GetVideoModeInfo(index).Width, WDX->GetVideoModeInfo(index).Height,
                                 WDX->GetVideoModeInfo(index).Bits};
    ::SaveSettings(ImageDir->Text(), resolution, AnimSpeed->Position(), AllFormatsBox->Checked());
}

TShowSettings TCfgFrm::ShowSettings() const
{
    TShowSettings settings;
    settings.ImagesPath = ImageDir->Text();
    const int index = vidMode->ItemIndex();
    if (index >= 0 && index < WDX->VideoModeCount()) {
        const TVideoModeInfo mode = WDX->GetVideoModeInfo(index);
        settings.Resolution = {mode.Width, mode.Height, mode.Bits};
    }
    settings.Speed = AnimSpeed->Position();
    settings.AllPictureFormats = AllFormatsBox->Checked();
    return settings;
}

TShowOptions TCfgFrm::PreviewShowOptions() const
{
    TShowOptions options;
    options.Settings = ShowSettings();
    return options;
}

void TCfgFrm::ImageDirChange(TObject*) { ApplyBtn->SetEnabled(true); }

void TCfgFrm::BrowseBtnClick(TObject*)
{
    if (!OpenPictureDialog1.Execute(this)) return;
    ImageDir->SetText(FolderCutAfterSeparator(OpenPictureDialog1.FileName));
    ImageDir->SetText(WithoutTrailingSeparator(ImageDir->Text()));
}

void TCfgFrm::AllFormatsBoxClick(TObject*)
{
    // The Browse box lists what the show would take; its entry count changes with the box.
    OpenPictureDialog1.Filter = PictureFilter(AllFormatsBox->Checked());
    OpenPictureDialog1.FilterIndex = 1;
    ApplyBtn->SetEnabled(true);
}

void TCfgFrm::OKBtnClick(TObject*)
{
    SaveSettings();
    Close();
}

void TCfgFrm::CancelBtnClick(TObject*) { Close(); }

void TCfgFrm::ApplyBtnClick(TObject*)
{
    SaveSettings();
    ApplyBtn->SetEnabled(false);
}

void TCfgFrm::previewBtnClick(TObject*)
{
    auto* show = new TScrnFrm(Application, PreviewShowOptions());
    try {
        show->WDirectX->StartAll();
    } catch (...) {
        // A show that cannot start must not stay over the dialog; the error is still shown.
        show->Close();
        throw;
    }
}

void TCfgFrm::URLLabelClick(TObject*) { ShellOpen(FMakerAddress); }

void TCfgFrm::AnimSpeedMouseDown(TObject*, TMouseButton, int, int)
{
    FAnimSpeedDragging = true;
    ApplyBtn->SetEnabled(true);
}

void TCfgFrm::AnimSpeedMouseMove(TObject*, int x, int)
{
    if (!FAnimSpeedDragging) return;
    if (const std::optional<int32_t> position = SpeedPositionFromX(x, AnimSpeed->Width()))
        AnimSpeed->SetPosition(*position);
}

void TCfgFrm::AnimSpeedMouseUp(TObject*, TMouseButton, int, int) { FAnimSpeedDragging = false; }

void TCfgFrm::WDXAcceptVideoMode(TObject*, const TVideoModeInfo& videoMode, bool& accept)
{
    accept = OffersVideoMode(videoMode);
}
