#pragma once
// Controls: the child windows of a form that the settings dialog is built from. Each keeps
// its state here, so it behaves the same with or without a screen; the platform half shows
// that state in a native control and reports the user's actions back through the public
// methods marked "from the platform".
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Graphics.h"
#include "framework/WindowTypes.h"

class TForm;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TCursor { crDefault, crHandPoint };
enum TControlKind {
    ckPageControl,
    ckTabSheet,
    ckImage,
    ckLabel,
    ckEdit,
    ckButton,
    ckProgressBar,
    ckComboBox,
    ckCheckBox
};

using TMouseEvent = TEvent<TObject*, TMouseButton, int /*x*/, int /*y*/>;
using TMouseMoveEvent = TEvent<TObject*, int /*x*/, int /*y*/>;

// Button-face grey, the colour of dialog backgrounds.
inline constexpr TColor clBtnFace = RGBColor(0xD4, 0xD0, 0xC8);

class TControl : public TComponent, public TObject {
public:
    // parent null: the control sits on the form itself. The native control is made at once.
    TControl(TForm* form, TControl* parent, TControlKind kind);
    ~TControl() override;

    TControlKind Kind() const { return FKind; }
    TForm* Form() const { return FForm; }
    TControl* Parent() const { return FParent; }
    // Number that names the control in the messages its platform half posts.
    int Id() const { return FId; }

    // Position and size relative to the parent.
    void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return FBounds; }
    int Left() const { return FBounds.Left; }
    int Top() const { return FBounds.Top; }
    int Width() const { return FBounds.Width(); }
    int Height() const { return FBounds.Height(); }
    // Where the control's top left corner lies in the form's client area.
    TPoint OriginInForm() const;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    // Shown, and every parent shown too.
    bool Showing() const;
    // Position among the focusable controls of the same parent, from 0.
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int order);

    // Pushes the whole state to the native control.
    void Changed();

    // The control a platform message names, or null.
    static TControl* FindControl(int id);

    struct Impl;
    Impl* PlatformImpl() const { return FImpl; }

private:
    TForm* FForm;
    TControl* FParent;
    TControlKind FKind;
    int FId;
    TRect FBounds;
    bool FEnabled = true;
    bool FVisible = true;
    int FTabOrder = 0;
    Impl* FImpl = nullptr;  // the platform's, freed by ControlPlatform::Destroy
};

class TTabSheet : public TControl {
public:
    TTabSheet(TForm* form, TControl* pageControl, const std::string& caption);
    const std::string& Caption() const { return FCaption; }

private:
    std::string FCaption;
};

// Pages with their tabs drawn as flat buttons in one ragged row.
class TPageControl : public TControl {
public:
    TPageControl(TForm* form, TControl* parent);
    TTabSheet* AddPage(const std::string& caption);
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int index) const { return FPages.at(static_cast<size_t>(index)); }
    int ActivePageIndex() const { return FActivePage; }
    TTabSheet* ActivePage() const { return FActivePage < 0 ? nullptr : Pages(FActivePage); }
    void SetActivePageIndex(int index);
    // The pages' area inside the control, below the row of tabs.
    static TRect PageRect(int width, int height);
    // From the platform: the user pressed a tab.
    void TabPressed(int index) { SetActivePageIndex(index); }

private:
    std::vector<TTabSheet*> FPages;
    int FActivePage = -1;
};

// A picture, drawn at its own size from the top left corner or stretched to the control.
class TImage : public TControl {
public:
    TImage(TForm* form, TControl* parent);
    const TBitmap& Picture() const { return FPicture; }
    void SetPicture(const TBitmap& picture);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool stretch);

private:
    TBitmap FPicture;
    bool FStretch = false;
};

class TLabel : public TControl {
public:
    TLabel(TForm* form, TControl* parent);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);
    // Font.Size is the character height in pixels here, as a negative font height gives it.
    TFont Font;
    TAlignment Alignment = taLeftJustify;
    bool Transparent = true;
    TColor Color = clBtnFace;
    TCursor Cursor = crDefault;
    TNotifyEvent OnClick;
    // From the platform: a press and release of the left button on the label.
    void Click() { OnClick(this); }

private:
    std::string FCaption;
};

// A one-line edit box.
class TEdit : public TControl {
public:
    TEdit(TForm* form, TControl* parent);
    const std::string& Text() const { return FText; }
    // Raises OnChange when the text differs from what the box holds; an equal text is no change.
    void SetText(const std::string& text);
    bool ReadOnly = false;
    bool Border = true;
    TNotifyEvent OnChange;

private:
    std::string FText;
};

class TButton : public TControl {
public:
    TButton(TForm* form, TControl* parent, const std::string& caption);
    const std::string& Caption() const { return FCaption; }
    TNotifyEvent OnClick;
    // From the platform (and for code that presses it): clicks only while enabled.
    void Click();

private:
    std::string FCaption;
};

// A bar filled from the left in proportion to its position. It takes no keys; a press on it
// captures the mouse, so the moves and the release outside it still come to it.
class TProgressBar : public TControl {
public:
    TProgressBar(TForm* form, TControl* parent);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetRange(int min, int max);
    int Position() const { return FPosition; }
    // Kept within Min..Max: a smaller value gives Min, a larger one Max.
    void SetPosition(int position);
    bool Smooth = true;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    // From the platform, x and y relative to the bar (outside it while captured).
    void MouseDown(TMouseButton button, int x, int y) { OnMouseDown(this, button, x, y); }
    void MouseMove(int x, int y) { OnMouseMove(this, x, y); }
    void MouseUp(TMouseButton button, int x, int y) { OnMouseUp(this, button, x, y); }

private:
    int FMin = 0, FMax = 100, FPosition = 0;
};

// A drop-down list to pick one line from. Setting the index from code raises no event.
class TComboBox : public TControl {
public:
    TComboBox(TForm* form, TControl* parent);
    void Clear();
    void Add(const std::string& line);
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Item(int index) const { return FItems.at(static_cast<size_t>(index)); }
    int ItemIndex() const { return FItemIndex; }
    // -1 or an index outside the lines leaves no line selected.
    void SetItemIndex(int index);
    TNotifyEvent OnChange;
    // From the platform: the user picked a line.
    void UserSelected(int index);

private:
    std::vector<std::string> FItems;
    int FItemIndex = -1;
};

// A box with its caption on its right, checked or not. Setting the state from code raises no
// event; its background is the page's, as a label's is.
class TCheckBox : public TControl {
public:
    TCheckBox(TForm* form, TControl* parent, const std::string& caption);
    const std::string& Caption() const { return FCaption; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool checked);
    TNotifyEvent OnClick;
    // From the platform: the user clicked the box (or pressed space on it), and the native box
    // now shows checked. Ignored while disabled.
    void UserClicked(bool checked);

private:
    std::string FCaption;
    bool FChecked = false;
};

// The native half, ControlPlatform and DispatchControlMessage: framework/FrameworkPlatform.h.
