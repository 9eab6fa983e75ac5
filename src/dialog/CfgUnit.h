#pragma once
// TCfgFrm, the settings dialog: the picture folder, the animation speed, the display
// resolution and whether pictures beyond JPEG are shown, saved on OK or Apply; the version and the maker's address; and
// Preview, which runs the show with the choices on screen, saved or not.
#include <memory>
#include <string>

#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "show/ScreenUnit.h"

class TComboBoxItems;
class TCfgFrm;
class TWDirectX;
struct TVideoModeInfo;

// The dialog while the configuration mode's one exists; null otherwise.
extern TCfgFrm* CfgFrm;

class TCfgFrm : public TForm {
public:
    // Builds the controls with their stored values, lets the device fill the resolution
    // list, then runs FormCreate. The form stays hidden and disabled for its creator to show.
    explicit TCfgFrm(TComponent* owner);
    ~TCfgFrm() override;

    TPageControl* PageControl = nullptr;
    TTabSheet* AboutSheet = nullptr;
    TTabSheet* SettingsSheet = nullptr;
    TImage* Image2 = nullptr;
    TLabel* VersionLbl = nullptr;
    TLabel* URLLabel = nullptr;
    TImage* Image1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TEdit* ImageDir = nullptr;
    TButton* BrowseBtn = nullptr;
    TProgressBar* AnimSpeed = nullptr;
    TComboBox* vidMode = nullptr;
    TCheckBox* AllFormatsBox = nullptr;
    TButton* previewBtn = nullptr;
    TButton* OKBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TButton* ApplyBtn = nullptr;
    TWDirectX* WDX = nullptr;
    TOpenPictureDialog OpenPictureDialog1;

    void FormCreate(TObject* sender);
    void LoadSettings();
    void SaveSettings();
    void ImageDirChange(TObject* sender);
    void BrowseBtnClick(TObject* sender);
    void AllFormatsBoxClick(TObject* sender);
    void OKBtnClick(TObject* sender);
    void CancelBtnClick(TObject* sender);
    void ApplyBtnClick(TObject* sender);
    void previewBtnClick(TObject* sender);
    void URLLabelClick(TObject* sender);
    void AnimSpeedMouseDown(TObject* sender, TMouseButton button, int x, int y);
    void AnimSpeedMouseMove(TObject* sender, int x, int y);
    void AnimSpeedMouseUp(TObject* sender, TMouseButton button, int x, int y);
    void WDXAcceptVideoMode(TObject* sender, const TVideoModeInfo& videoMode, bool& accept);

    bool AnimSpeedDragging() const { return FAnimSpeedDragging; }
    // The unsaved choices, as a show started from Preview takes them.
    TShowSettings ShowSettings() const;
    // What Preview makes its show with: the controls, not the registry.
    TShowOptions PreviewShowOptions() const;
    // The address URLLabel opens.
    const std::string& MakerAddress() const { return FMakerAddress; }

private:
    std::unique_ptr<TComboBoxItems> FVideoModeItems;
    bool FAnimSpeedDragging = false;
    std::string FMakerAddress;
};

// The folder of the README the About link opens: the program's own folder when the README
// is there (a build, or a copy kept together), else the documentation folder an installation
// put it in, docFromProgram (relative, with a trailing separator) from the program's folder.
// When neither holds it, the program's folder, so the link still says where it belongs.
std::string ReadmeFolderFor(const std::string& programFolder, const std::string& docFromProgram);
// The maker's address: the README in folder readmeFolder, as a file address.
std::string MakerAddressFor(const std::string& readmeFolder);
// The address as the link shows it: whole when it fits in maxCharacters, else its scheme,
// an ellipsis and as much of its end as fits.
std::string ShortenedAddress(const std::string& address, size_t maxCharacters);
