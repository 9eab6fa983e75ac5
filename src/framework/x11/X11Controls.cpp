// Linux half of controls: FLTK widgets inside the form's window.
// Implements: FrameworkPlatform.h's ControlPlatform (TControl::Impl), DispatchControlMessage
// Leaves out: keyboard shortcuts (accelerator characters), graphic controls on the form itself
// Pages are FLTK groups; a page control draws its own row of flat tab buttons. Pictures and
// labels have no widget of their own: their page draws them under its widgets, as graphic
// controls are drawn on Windows, so their order never disturbs the tab order of the widgets,
// which is the order of the group's children. A widget's user actions are posted to the form
// as messages and reach the control from the application's loop, never from inside FLTK's
// event handling.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/FrameworkPlatform.h"
#include "framework/WinApi.h"
#include "framework/x11/X11Framework.h"

namespace {
constexpr UINT CM_CONTROL_CLICK = WM_USER + 0x200;
constexpr UINT CM_CONTROL_MOUSEDOWN = WM_USER + 0x201;
constexpr UINT CM_CONTROL_MOUSEMOVE = WM_USER + 0x202;
constexpr UINT CM_CONTROL_MOUSEUP = WM_USER + 0x203;
constexpr UINT CM_CONTROL_SELECT = WM_USER + 0x204;

constexpr int ControlFontSize = 12;
const Fl_Color FaceColour = fl_rgb_color(RedOf(clBtnFace), GreenOf(clBtnFace), BlueOf(clBtnFace));
const Fl_Color BarColour = fl_rgb_color(49, 106, 197);

Fl_Color ToFl(TColor colour) { return fl_rgb_color(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

void Post(TControl& control, UINT message, WPARAM extra, int x = 0, int y = 0)
{
    MessageQueue::Post(control.Form()->Handle(), message, static_cast<WPARAM>(control.Id()) | extra << 24,
                       MAKELPARAM(x, y));
}

TMouseButton ButtonOf(int flButton)
{
    switch (flButton) {
    case FL_RIGHT_MOUSE: return mbRight;
    case FL_MIDDLE_MOUSE: return mbMiddle;
    default: return mbLeft;
    }
}

TControl* ControlOf(Fl_Widget* widget) { return static_cast<TControl*>(widget->user_data()); }

// The tab buttons of a page control, left to right.
std::vector<TRect> TabRects(TPageControl& control, int x, int y)
{
    std::vector<TRect> rects;
    fl_font(FL_HELVETICA, ControlFontSize);
    int left = x + 2;
    for (int i = 0; i < control.PageCount(); ++i) {
        const int width = static_cast<int>(fl_width(control.Pages(i)->Caption().c_str())) + 24;
        rects.push_back(Rect(left, y + 2, left + width, y + 24));
        left += width + 3;
    }
    return rects;
}

class PageControlWidget : public Fl_Group {
public:
    PageControlWidget(TPageControl& control) : Fl_Group(0, 0, 1, 1), FControl(control)
    {
        end();
        resizable(nullptr);
        box(FL_NO_BOX);
    }
    void draw() override
    {
        fl_rectf(x(), y(), w(), h(), FaceColour);
        const std::vector<TRect> tabs = TabRects(FControl, x(), y());
        for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
            const TRect& r = tabs[static_cast<size_t>(i)];
            const bool active = i == FControl.ActivePageIndex();
            fl_draw_box(active ? FL_DOWN_BOX : FL_FLAT_BOX, r.Left, r.Top, r.Width(), r.Height(),
                        active ? fl_lighter(FaceColour) : FaceColour);
            fl_color(active_r() ? FL_BLACK : FL_INACTIVE_COLOR);
            fl_font(FL_HELVETICA, ControlFontSize);
            fl_draw(FControl.Pages(i)->Caption().c_str(), r.Left, r.Top, r.Width(), r.Height(), FL_ALIGN_CENTER);
            if (active && Fl::focus() == this) {
                fl_line_style(FL_DOT);
                fl_rect(r.Left + 3, r.Top + 3, r.Width() - 6, r.Height() - 6);
                fl_line_style(0);
            }
        }
        draw_children();
    }
    int handle(int event) override
    {
        switch (event) {
        case FL_PUSH: {
            const std::vector<TRect> tabs = TabRects(FControl, x(), y());
            for (int i = 0; i < static_cast<int>(tabs.size()); ++i)
                if (tabs[static_cast<size_t>(i)].Contains(Fl::event_x(), Fl::event_y())) {
                    FControl.TabPressed(i);
                    return 1;
                }
            break;
        }
        case FL_FOCUS:
        case FL_UNFOCUS: redraw(); break;
        case FL_KEYDOWN:
            // The arrows move between the tabs while the row has the focus, as on Windows.
            if (Fl::focus() == this && (Fl::event_key() == FL_Left || Fl::event_key() == FL_Right)) {
                const int step = Fl::event_key() == FL_Left ? -1 : 1;
                FControl.TabPressed(std::clamp(FControl.ActivePageIndex() + step, 0, FControl.PageCount() - 1));
                return 1;
            }
            break;
        default: break;
        }
        return Fl_Group::handle(event);
    }

private:
    TPageControl& FControl;
};

void DrawImage(TImage& image, int x, int y);
void DrawLabel(TLabel& label, int x, int y);

// A page: its pictures and labels drawn in their order, then its widgets.
class SheetWidget : public Fl_Group {
public:
    SheetWidget(TTabSheet& sheet) : Fl_Group(0, 0, 1, 1), FSheet(sheet)
    {
        end();
        resizable(nullptr);
        box(FL_NO_BOX);
    }
    void draw() override
    {
        fl_push_clip(x(), y(), w(), h());
        DrawBackdrop(x(), y(), w(), h());
        draw_children();
        fl_pop_clip();
    }
    // What the page shows under its widgets within the rectangle: its face, its pictures and
    // its labels.
    void DrawBackdrop(int left, int top, int width, int height)
    {
        fl_push_clip(left, top, width, height);
        fl_rectf(x(), y(), w(), h(), FaceColour);
        for (int i = 0; i < FSheet.ComponentCount(); ++i) {
            auto* control = dynamic_cast<TControl*>(FSheet.Components(i));
            if (!control || !control->Visible()) continue;
            const int cx = x() + control->Left(), cy = y() + control->Top();
            if (control->Kind() == ckImage) DrawImage(static_cast<TImage&>(*control), cx, cy);
            if (control->Kind() == ckLabel) DrawLabel(static_cast<TLabel&>(*control), cx, cy);
        }
        fl_pop_clip();
    }
    int handle(int event) override
    {
        const int result = Fl_Group::handle(event);
        switch (event) {
        case FL_ENTER:
        case FL_MOVE: {
            TLabel* label = LabelAt(Fl::event_x(), Fl::event_y());
            if (window()) window()->cursor(label && label->Cursor == crHandPoint ? FL_CURSOR_HAND : FL_CURSOR_DEFAULT);
            return 1;
        }
        case FL_LEAVE:
            if (window()) window()->cursor(FL_CURSOR_DEFAULT);
            return 1;
        case FL_PUSH:
            if (result) return result;
            FPressed = Fl::event_button() == FL_LEFT_MOUSE ? LabelAt(Fl::event_x(), Fl::event_y()) : nullptr;
            return FPressed ? 1 : 0;
        case FL_RELEASE:
            if (FPressed && FPressed == LabelAt(Fl::event_x(), Fl::event_y())) Post(*FPressed, CM_CONTROL_CLICK, 0);
            FPressed = nullptr;
            return 1;
        default: return result;
        }
    }

private:
    // The topmost label under the point that reacts to the mouse.
    TLabel* LabelAt(int px, int py)
    {
        for (int i = FSheet.ComponentCount() - 1; i >= 0; --i) {
            auto* label = dynamic_cast<TLabel*>(FSheet.Components(i));
            if (!label || !label->Visible() || !label->Enabled()) continue;
            if (Rect(x() + label->Left(), y() + label->Top(), x() + label->Left() + label->Width(),
                     y() + label->Top() + label->Height())
                    .Contains(px, py))
                return label;
        }
        return nullptr;
    }

    TTabSheet& FSheet;
    TLabel* FPressed = nullptr;
};

class ProgressWidget : public Fl_Widget {
public:
    ProgressWidget(TProgressBar& bar) : Fl_Widget(0, 0, 1, 1), FBar(bar) { visible_focus(0); }
    void draw() override
    {
        fl_draw_box(FL_THIN_DOWN_BOX, x(), y(), w(), h(), FL_WHITE);
        const int inner = w() - 4;
        const int span = FBar.Max() - FBar.Min();
        const int filled = span > 0 ? (FBar.Position() - FBar.Min()) * inner / span : 0;
        if (filled > 0) fl_rectf(x() + 2, y() + 2, filled, h() - 4, active_r() ? BarColour : FL_INACTIVE_COLOR);
    }
    int handle(int event) override
    {
        const int bx = Fl::event_x() - x(), by = Fl::event_y() - y();
        switch (event) {
        // A pressed widget keeps FLTK's pointer: drags and the release outside it come here.
        case FL_PUSH: Post(FBar, CM_CONTROL_MOUSEDOWN, ButtonOf(Fl::event_button()), bx, by); return 1;
        case FL_DRAG:
        case FL_MOVE: Moved(bx, by); return 1;
        case FL_RELEASE:
            // FLTK holds back the last motion until its batch of events is done, so a release
            // can come first; Windows always reports the move to the release point before it.
            Moved(bx, by);
            Post(FBar, CM_CONTROL_MOUSEUP, ButtonOf(Fl::event_button()), bx, by);
            return 1;
        case FL_ENTER:
        case FL_LEAVE: return 1;
        default: return 0;  // no keys, no focus
        }
    }

private:
    void Moved(int bx, int by)
    {
        if (bx == FLastX && by == FLastY) return;
        FLastX = bx;
        FLastY = by;
        Post(FBar, CM_CONTROL_MOUSEMOVE, 0, bx, by);
    }

    TProgressBar& FBar;
    int FLastX = -1000000, FLastY = -1000000;
};

// A check box has no face of its own: the page under it is drawn first, as a Windows page
// paints under its check box, so that a redraw of the box alone (a click, the focus mark)
// never draws its caption over the last one.
class CheckWidget : public Fl_Check_Button {
public:
    CheckWidget() : Fl_Check_Button(0, 0, 1, 1) {}
    void draw() override
    {
        if (auto* sheet = dynamic_cast<SheetWidget*>(parent()))
            sheet->DrawBackdrop(x(), y(), w(), h());
        else
            fl_rectf(x(), y(), w(), h(), FaceColour);
        Fl_Check_Button::draw();
    }
};

struct ComboWidget : Fl_Choice {
    ComboWidget() : Fl_Choice(0, 0, 1, 1) {}
    std::vector<std::string> shown;  // the lines the menu holds now
};

}  // namespace

// A control's widget; pictures and labels have none (their page draws them).
struct TControl::Impl {
    Fl_Widget* widget = nullptr;
};

namespace {
Fl_Widget* WidgetOf(const TControl& control)
{
    return control.PlatformImpl() ? control.PlatformImpl()->widget : nullptr;
}

Fl_Group* ParentGroup(TControl& control)
{
    if (!control.Parent()) return X11Framework::FormGroup(*control.Form());
    return static_cast<Fl_Group*>(WidgetOf(*control.Parent()));
}

void ApplyFont(Fl_Widget& widget)
{
    widget.labelfont(FL_HELVETICA);
    widget.labelsize(ControlFontSize);
}

// The group's widgets in their controls' tab order; FLTK moves the focus in child order.
void SortByTabOrder(Fl_Group& group)
{
    std::vector<Fl_Widget*> children(group.array(), group.array() + group.children());
    std::stable_sort(children.begin(), children.end(), [](Fl_Widget* a, Fl_Widget* b) {
        const TControl* ca = ControlOf(a);
        const TControl* cb = ControlOf(b);
        return (ca ? ca->TabOrder() : 0) < (cb ? cb->TabOrder() : 0);
    });
    for (int i = 0; i < static_cast<int>(children.size()); ++i) group.insert(*children[static_cast<size_t>(i)], i);
}

void Redraw(TControl& control)
{
    if (Fl_Widget* widget = WidgetOf(control))
        widget->redraw();
    else if (control.Parent() && WidgetOf(*control.Parent()))
        WidgetOf(*control.Parent())->redraw();
}

void DrawImage(TImage& image, int x, int y)
{
    const TBitmap& picture = image.Picture();
    if (picture.Empty() || image.Width() <= 0 || image.Height() <= 0) return;
    const int width = image.Stretch() ? image.Width() : std::min(image.Width(), picture.Width());
    const int height = image.Stretch() ? image.Height() : std::min(image.Height(), picture.Height());
    std::vector<uchar> rgb(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        const int sy = image.Stretch() ? row * picture.Height() / height : row;
        const uint8_t* source = picture.ScanLine(sy);
        uchar* target = &rgb[static_cast<size_t>(row) * 3 * static_cast<size_t>(width)];
        for (int col = 0; col < width; ++col) {
            const int sx = image.Stretch() ? col * picture.Width() / width : col;
            const uint8_t* bgr = source + sx * 3;
            target[col * 3] = bgr[2];
            target[col * 3 + 1] = bgr[1];
            target[col * 3 + 2] = bgr[0];
        }
    }
    fl_draw_image(rgb.data(), x, y, width, height, 3, 0);
}

void DrawLabel(TLabel& label, int x, int y)
{
    if (!label.Transparent) fl_rectf(x, y, label.Width(), label.Height(), ToFl(label.Color));
    const Fl_Font face = label.Font.Style & fsBold ? FL_HELVETICA_BOLD : FL_HELVETICA;
    fl_font(face, std::max(label.Font.Size, 1));
    fl_color(ToFl(label.Font.Color));
    const Fl_Align align = label.Alignment == taRightJustify ? FL_ALIGN_TOP_RIGHT
                           : label.Alignment == taCenter     ? FL_ALIGN_TOP
                                                             : FL_ALIGN_TOP_LEFT;
    fl_push_clip(x, y, label.Width(), label.Height());
    fl_draw(label.Caption().c_str(), x, y, label.Width(), label.Height(), align | FL_ALIGN_INSIDE, nullptr, 0);
    if (label.Font.Style & fsUnderline) {
        const int textWidth = std::min(static_cast<int>(fl_width(label.Caption().c_str())), label.Width());
        const int left = label.Alignment == taRightJustify ? x + label.Width() - textWidth
                         : label.Alignment == taCenter     ? x + (label.Width() - textWidth) / 2
                                                           : x;
        const int baseline = y + fl_height() - fl_descent() + 1;
        fl_line(left, baseline, left + textWidth - 1, baseline);
    }
    fl_pop_clip();
}

void ButtonPressed(Fl_Widget* widget, void*)
{
    if (TControl* control = ControlOf(widget)) Post(*control, CM_CONTROL_CLICK, 0);
}

void CheckToggled(Fl_Widget* widget, void*)
{
    if (TControl* control = ControlOf(widget))
        Post(*control, CM_CONTROL_CLICK, 0, static_cast<Fl_Check_Button*>(widget)->value());
}

void ComboPicked(Fl_Widget* widget, void*)
{
    if (TControl* control = ControlOf(widget))
        Post(*control, CM_CONTROL_SELECT, 0, static_cast<ComboWidget*>(widget)->value());
}

void UpdateCombo(TComboBox& combo, ComboWidget& widget)
{
    std::vector<std::string> lines;
    for (int i = 0; i < combo.Count(); ++i) lines.push_back(combo.Item(i));
    if (lines != widget.shown) {
        widget.clear();
        // Added under a plain name and then renamed, so no character of a line is read as
        // a submenu or shortcut mark.
        for (size_t i = 0; i < lines.size(); ++i) {
            widget.add("item");
            widget.replace(static_cast<int>(i), lines[i].c_str());
        }
        widget.shown = lines;
    }
    widget.value(combo.ItemIndex());
}
}  // namespace

namespace ControlPlatform {
TControl::Impl* Create(TControl& control)
{
    Fl_Group* parent = ParentGroup(control);
    if (!parent) return nullptr;
    // FLTK's plainer look among its schemes, close to the system dialogs around it.
    static const bool scheme = [] { return Fl::scheme("gtk+") != 0; }();
    (void)scheme;
    Fl_Widget* widget = nullptr;
    switch (control.Kind()) {
    case ckPageControl: widget = new PageControlWidget(static_cast<TPageControl&>(control)); break;
    case ckTabSheet: widget = new SheetWidget(static_cast<TTabSheet&>(control)); break;
    case ckImage:
    case ckLabel: return nullptr;  // drawn by their page
    case ckEdit: {
        auto* edit = new Fl_Output(0, 0, 1, 1);
        edit->box(FL_FLAT_BOX);
        edit->color(FL_WHITE);
        edit->textsize(ControlFontSize);
        widget = edit;
        break;
    }
    case ckButton:
        widget = new Fl_Button(0, 0, 1, 1);
        widget->callback(ButtonPressed);
        break;
    case ckProgressBar: widget = new ProgressWidget(static_cast<TProgressBar&>(control)); break;
    case ckCheckBox:
        widget = new CheckWidget;
        widget->callback(CheckToggled);
        break;
    case ckComboBox: {
        auto* combo = new ComboWidget;
        combo->box(FL_DOWN_BOX);
        combo->down_box(FL_BORDER_BOX);
        combo->color(FL_WHITE);
        combo->textsize(ControlFontSize);
        combo->callback(ComboPicked);
        combo->when(FL_WHEN_CHANGED);
        widget = combo;
        break;
    }
    }
    ApplyFont(*widget);
    widget->user_data(&control);
    parent->add(widget);
    return new TControl::Impl{widget};
}

void Destroy(TControl& control)
{
    TControl::Impl* impl = control.PlatformImpl();
    if (!impl) {
        Redraw(control);
        return;
    }
    if (Fl_Group* parent = impl->widget->parent()) parent->remove(impl->widget);
    // A group's children are controls of their own, freed before it: it holds none now.
    delete impl->widget;
    delete impl;
}

void Update(TControl& control)
{
    Fl_Widget* widget = WidgetOf(control);
    if (!widget) {
        Redraw(control);
        return;
    }
    const TPoint origin = control.OriginInForm();
    // A group's plain resize would move its children along; they are placed one by one.
    widget->Fl_Widget::resize(origin.X, origin.Y, control.Width(), control.Height());
    if (control.Visible())
        widget->show();
    else
        widget->hide();
    if (control.Enabled())
        widget->activate();
    else
        widget->deactivate();
    switch (control.Kind()) {
    case ckButton: widget->copy_label(static_cast<TButton&>(control).Caption().c_str()); break;
    case ckEdit: static_cast<Fl_Output*>(widget)->value(static_cast<TEdit&>(control).Text().c_str()); break;
    case ckComboBox: UpdateCombo(static_cast<TComboBox&>(control), *static_cast<ComboWidget*>(widget)); break;
    case ckCheckBox: {
        auto& box = static_cast<TCheckBox&>(control);
        widget->copy_label(box.Caption().c_str());
        static_cast<Fl_Check_Button*>(widget)->value(box.Checked() ? 1 : 0);
        break;
    }
    default: break;
    }
    if (Fl_Group* parent = widget->parent()) {
        SortByTabOrder(*parent);
        parent->redraw();
    }
    widget->redraw();
}
}  // namespace ControlPlatform

bool DispatchControlMessage(const MSG& message)
{
    if (message.message < CM_CONTROL_CLICK || message.message > CM_CONTROL_SELECT) return false;
    TControl* control = TControl::FindControl(static_cast<int>(message.wParam & 0xFFFFFF));
    if (!control) return true;  // freed since the widget reported
    const auto button = static_cast<TMouseButton>(message.wParam >> 24);
    const int x = static_cast<short>(LOWORD(message.lParam));
    const int y = static_cast<short>(HIWORD(message.lParam));
    switch (message.message) {
    case CM_CONTROL_CLICK:
        if (auto* b = dynamic_cast<TButton*>(control)) b->Click();
        if (auto* l = dynamic_cast<TLabel*>(control)) l->Click();
        if (auto* c = dynamic_cast<TCheckBox*>(control)) c->UserClicked(x != 0);
        break;
    case CM_CONTROL_MOUSEDOWN:
        if (auto* bar = dynamic_cast<TProgressBar*>(control)) bar->MouseDown(button, x, y);
        break;
    case CM_CONTROL_MOUSEMOVE:
        if (auto* bar = dynamic_cast<TProgressBar*>(control)) bar->MouseMove(x, y);
        break;
    case CM_CONTROL_MOUSEUP:
        if (auto* bar = dynamic_cast<TProgressBar*>(control)) bar->MouseUp(button, x, y);
        break;
    case CM_CONTROL_SELECT:
        if (auto* combo = dynamic_cast<TComboBox*>(control)) combo->UserSelected(x);
        break;
    default: break;
    }
    return true;
}
