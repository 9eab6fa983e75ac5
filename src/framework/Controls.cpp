// The part of controls both systems share: their state, the rules that keep it (a bar's
// position within its range, an edit's change event, a combo's and a check box's silent
// setting), and the numbers that name them in posted messages.
#include "framework/Controls.h"

#include <algorithm>
#include <map>

#include "framework/Forms.h"
#include "framework/FrameworkPlatform.h"

namespace {
std::map<int, TControl*>& Registry()
{
    // Never destroyed: controls freed during the program's exit still look here.
    static auto* controls = new std::map<int, TControl*>;
    return *controls;
}
int nextId = 1000;  // clear of the system's own command numbers (IDOK, IDCANCEL...)
}  // namespace

TControl::TControl(TForm* form, TControl* parent, TControlKind kind)
    : TComponent(parent ? static_cast<TComponent*>(parent) : form),
      FForm(form),
      FParent(parent),
      FKind(kind),
      FId(nextId++)
{
    Registry()[FId] = this;
    FImpl = ControlPlatform::Create(*this);
}

TControl::~TControl()
{
    // The children go first (the owner frees them), then the native control.
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
    ControlPlatform::Destroy(*this);
    FImpl = nullptr;
    Registry().erase(FId);
}

TControl* TControl::FindControl(int id)
{
    const auto found = Registry().find(id);
    return found == Registry().end() ? nullptr : found->second;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    FBounds = Rect(left, top, left + width, top + height);
    Changed();
}

TPoint TControl::OriginInForm() const
{
    TPoint origin{FBounds.Left, FBounds.Top};
    for (const TControl* p = FParent; p; p = p->FParent) {
        origin.X += p->FBounds.Left;
        origin.Y += p->FBounds.Top;
    }
    return origin;
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    Changed();
}

void TControl::SetVisible(bool visible)
{
    if (visible == FVisible) return;
    FVisible = visible;
    Changed();
}

bool TControl::Showing() const
{
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FVisible) return false;
    return true;
}

void TControl::SetTabOrder(int order)
{
    FTabOrder = std::max(order, 0);
    Changed();
}

void TControl::Changed() { ControlPlatform::Update(*this); }

TTabSheet::TTabSheet(TForm* form, TControl* pageControl, const std::string& caption)
    : TControl(form, pageControl, ckTabSheet), FCaption(caption)
{
    const TRect page = TPageControl::PageRect(pageControl->Width(), pageControl->Height());
    SetBounds(page.Left, page.Top, page.Width(), page.Height());
}

TPageControl::TPageControl(TForm* form, TControl* parent) : TControl(form, parent, ckPageControl) {}

TRect TPageControl::PageRect(int width, int height)
{
    // Below a row of flat tab buttons, with a small margin around the page.
    return Rect(4, 27, width - 4, height - 4);
}

TTabSheet* TPageControl::AddPage(const std::string& caption)
{
    auto* page = new TTabSheet(Form(), this, caption);
    FPages.push_back(page);
    if (FActivePage < 0) FActivePage = 0;
    for (size_t i = 0; i < FPages.size(); ++i) FPages[i]->SetVisible(static_cast<int>(i) == FActivePage);
    Changed();
    return page;
}

void TPageControl::SetActivePageIndex(int index)
{
    if (index < 0 || index >= PageCount() || index == FActivePage) return;
    FActivePage = index;
    for (int i = 0; i < PageCount(); ++i) Pages(i)->SetVisible(i == FActivePage);
    Changed();
}

TImage::TImage(TForm* form, TControl* parent) : TControl(form, parent, ckImage) {}

void TImage::SetPicture(const TBitmap& picture)
{
    FPicture = picture;
    Changed();
}

void TImage::SetStretch(bool stretch)
{
    FStretch = stretch;
    Changed();
}

TLabel::TLabel(TForm* form, TControl* parent) : TControl(form, parent, ckLabel)
{
    Font.Name = "MS Sans Serif";
    Font.Size = 11;
}

void TLabel::SetCaption(const std::string& caption)
{
    FCaption = caption;
    Changed();
}

TEdit::TEdit(TForm* form, TControl* parent) : TControl(form, parent, ckEdit) {}

void TEdit::SetText(const std::string& text)
{
    if (text == FText) return;
    FText = text;
    Changed();
    OnChange(this);
}

TButton::TButton(TForm* form, TControl* parent, const std::string& caption)
    : TControl(form, parent, ckButton), FCaption(caption)
{
    Changed();
}

void TButton::Click()
{
    if (Enabled()) OnClick(this);
}

TProgressBar::TProgressBar(TForm* form, TControl* parent) : TControl(form, parent, ckProgressBar) {}

void TProgressBar::SetRange(int min, int max)
{
    FMin = min;
    FMax = std::max(min, max);
    FPosition = std::clamp(FPosition, FMin, FMax);
    Changed();
}

void TProgressBar::SetPosition(int position)
{
    const int kept = std::clamp(position, FMin, FMax);
    if (kept == FPosition) return;
    FPosition = kept;
    Changed();
}

TComboBox::TComboBox(TForm* form, TControl* parent) : TControl(form, parent, ckComboBox) {}

void TComboBox::Clear()
{
    FItems.clear();
    FItemIndex = -1;
    Changed();
}

void TComboBox::Add(const std::string& line)
{
    FItems.push_back(line);
    Changed();
}

void TComboBox::SetItemIndex(int index)
{
    FItemIndex = index >= 0 && index < Count() ? index : -1;
    Changed();
}

void TComboBox::UserSelected(int index)
{
    if (index < 0 || index >= Count()) return;
    FItemIndex = index;
    OnChange(this);
}

TCheckBox::TCheckBox(TForm* form, TControl* parent, const std::string& caption)
    : TControl(form, parent, ckCheckBox), FCaption(caption)
{
    Changed();
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == FChecked) return;
    FChecked = checked;
    Changed();
}

void TCheckBox::UserClicked(bool checked)
{
    if (!Enabled()) return;
    FChecked = checked;
    OnClick(this);
}
