#include "frontends/win32/control_windows.h"

#include <commctrl.h>

#include <algorithm>

namespace veltaro::win32 {

namespace {

using layout::Kind;

struct WindowClass {
    const char* name;
    DWORD style;
};

WindowClass windowClass(Kind kind) {
    switch (kind) {
    case Kind::FrequencyDisplay:
        return {"STATIC", SS_CENTER | WS_BORDER};
    case Kind::Caption:
        return {"STATIC", SS_CENTER};
    case Kind::Text:
        return {"STATIC", SS_LEFT | SS_NOPREFIX};
    case Kind::PortList:
        return {"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL};
    case Kind::Button:
        return {"BUTTON", BS_PUSHBUTTON};
    case Kind::DefaultButton:
        return {"BUTTON", BS_DEFPUSHBUTTON};
    case Kind::CancelButton:
        return {"BUTTON", BS_PUSHBUTTON};
    case Kind::CheckBox:
        // Not automatic: the Control decides the state, and 2 shows greyed.
        return {"BUTTON", BS_3STATE};
    case Kind::TextBox:
        return {"EDIT", ES_AUTOHSCROLL | WS_BORDER};
    case Kind::Icon:
        return {"STATIC", SS_ICON};
    case Kind::Line:
        break;
    }
    return {nullptr, 0};
}

WPARAM checkState(Check check) {
    return check == Check::Ticked   ? BST_CHECKED
           : check == Check::Greyed ? BST_INDETERMINATE
                                    : BST_UNCHECKED;
}

void setTextIfOther(HWND h, const std::string& text) {
    if (windowText(h) != text)
        SetWindowTextA(h, text.c_str());
}

} // namespace

Scale Scale::ofScreen() {
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return {1440.0 / (dpiX > 0 ? dpiX : 96), 1440.0 / (dpiY > 0 ? dpiY : 96)};
}

RECT Scale::pixels(const layout::TwipsRect& r) const {
    const int left = pixelsX(r.left), top = pixelsY(r.top);
    return {left, top, left + pixelsX(r.width), top + pixelsY(r.height)};
}

std::string windowText(HWND h) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(h)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(h, text.data(), static_cast<int>(text.size()))));
    return text;
}

ControlWindows::ControlWindows(HWND parent, const layout::WindowSpec& window, ControlSet& controls,
                               CommandHandler onCommand, HICON icon)
    : parent_(parent), window_(window), scale_(Scale::ofScreen()),
      onCommand_(std::move(onCommand)) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    fonts_.push_back(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)
                         ? CreateFontIndirectA(&ncm.lfMessageFont)
                         : nullptr);
    // Without owner: under Wine a window that owns a popup no longer goes into the always-above
    // band (On Top).
    tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, nullptr, nullptr);

    // Win32 moves the focus in the order the windows were made: make them in tab order. Labels
    // keep their place in it, lines are drawn.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls.all().size(); ++i)
        if (controls.all()[i].design().kind != Kind::Line)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return controls.all()[a].design().tabIndex < controls.all()[b].design().tabIndex;
    });

    for (std::size_t i : order) {
        Control& c = controls.all()[i];
        const int id = idOf(i);
        Child& child = children_[id] = {&c, create(c, id, icon), {}, {}};
        c.changed().subscribe([this, alive = std::weak_ptr<bool>(alive_), id] {
            if (alive.lock())
                mirror(children_.at(id));
        });
        mirror(child);
    }
}

ControlWindows::~ControlWindows() {
    alive_.reset();
    for (auto& [id, child] : children_)
        if (IsWindow(child.hwnd))
            DestroyWindow(child.hwnd);
    if (tips_ && IsWindow(tips_))
        DestroyWindow(tips_);
    for (HFONT f : fonts_)
        if (f)
            DeleteObject(f);
}

HWND ControlWindows::create(Control& c, int id, HICON icon) {
    const layout::ControlSpec& design = c.design();
    const WindowClass wc = windowClass(design.kind);
    const RECT place = scale_.pixels(design.rect);
    const DWORD tabStop = layout::takesFocus(design.kind) ? WS_TABSTOP : 0;
    HWND h = CreateWindowExA(
        0, wc.name, c.text().c_str(), WS_CHILD | WS_VISIBLE | tabStop | wc.style, place.left,
        place.top, place.right - place.left, place.bottom - place.top, parent_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent_, GWLP_HINSTANCE)), nullptr);
    if (HFONT font = fontFor(design.font))
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (design.kind == Kind::Icon && icon) // the picture box takes the size of its picture
        SendMessageA(h, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    return h;
}

HFONT ControlWindows::fontFor(const layout::Font& font) {
    if (!font.family)
        return fonts_.front() ? fonts_.front()
                              : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // A point is 20 twips: the character height in pixels at the screen's DPI.
    HFONT f = CreateFontA(-scale_.pixelsY(font.points * 20), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                          FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH, font.family);
    fonts_.push_back(f);
    return f;
}

void ControlWindows::mirror(Child& child) {
    const Control& c = *child.control;
    const bool wasMirroring = mirroring_;
    mirroring_ = true;
    switch (c.design().kind) {
    case Kind::CheckBox:
        SendMessageA(child.hwnd, BM_SETCHECK, checkState(c.check()), 0);
        setTextIfOther(child.hwnd, c.text());
        break;
    case Kind::PortList:
        if (child.items != c.items()) {
            child.items = c.items();
            SendMessageA(child.hwnd, CB_RESETCONTENT, 0, 0);
            for (const auto& item : child.items)
                SendMessageA(child.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            fitPortList(child);
        }
        setTextIfOther(child.hwnd, c.text());
        break;
    case Kind::Icon:
        break;
    default:
        setTextIfOther(child.hwnd, c.text());
        break;
    }
    if (!IsWindowEnabled(child.hwnd) != !c.enabled())
        EnableWindow(child.hwnd, c.enabled());
    if (child.tip != c.toolTip())
        showTip(child, GetDlgCtrlID(child.hwnd));
    mirroring_ = wasMirroring;
}

// Two tools per control: the control's own window, and its place on the parent, which gets the
// mouse messages while the control is greyed (a disabled window receives none) or is a label.
void ControlWindows::showTip(Child& child, int id) {
    child.tip = child.control->toolTip();
    RECT place{};
    GetWindowRect(child.hwnd, &place);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&place), 2);
    for (const bool own : {true, false}) {
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS | (own ? TTF_IDISHWND : 0);
        tool.hwnd = parent_;
        tool.uId = own ? reinterpret_cast<UINT_PTR>(child.hwnd) : static_cast<UINT_PTR>(id);
        tool.rect = place;
        tool.lpszText = child.tip.data();
        SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        if (!child.tip.empty())
            SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool ControlWindows::contextMenu(HWND from) {
    for (const auto& [id, child] : children_)
        if (child.hwnd == from && child.control->hasContextMenu()) {
            child.control->contextMenu();
            return true;
        }
    return false;
}

void ControlWindows::fitPortList(const Child& child) const {
    // The selection field keeps the described height, whatever the font makes of it; the list
    // drops down far enough for every item.
    const RECT place = scale_.pixels(child.control->design().rect);
    const int height = place.bottom - place.top;
    // Some systems count the field's border into the height they report back: correct by what
    // the field turned out to be.
    LPARAM fieldItem = SendMessageA(child.hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 3 && fieldItem > 0; ++attempt) {
        RECT field{};
        GetWindowRect(child.hwnd, &field);
        const int off = height - (field.bottom - field.top);
        if (off == 0)
            break;
        fieldItem = std::max<LPARAM>(1, fieldItem + off);
        SendMessageA(child.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldItem);
    }
    const LRESULT item = SendMessageA(child.hwnd, CB_GETITEMHEIGHT, 0, 0);
    const int dropped = height + static_cast<int>(child.items.size()) * static_cast<int>(item) + 2;
    SetWindowPos(child.hwnd, nullptr, 0, 0, place.right - place.left, dropped,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND ControlWindows::window(std::string_view name) const {
    for (const auto& [id, child] : children_)
        if (name == child.control->name())
            return child.hwnd;
    return nullptr;
}

bool ControlWindows::command(int id, int code) {
    auto it = children_.find(id);
    if (it == children_.end())
        return false;
    if (mirroring_)
        return true;
    Child& child = it->second;
    Control& c = *child.control;
    switch (c.design().kind) {
    case Kind::Button:
    case Kind::DefaultButton:
    case Kind::CancelButton:
        if (code == BN_CLICKED && onCommand_)
            onCommand_(c.design().command);
        break;
    case Kind::CheckBox:
        if (code == BN_CLICKED) {
            c.click();
            mirror(child); // a click the Control refused leaves the box as the Control holds it
        }
        break;
    case Kind::PortList:
        if (code == CBN_SELCHANGE) {
            const LRESULT index = SendMessageA(child.hwnd, CB_GETCURSEL, 0, 0);
            if (index < 0 || static_cast<std::size_t>(index) >= child.items.size())
                break;
            c.pick(static_cast<std::size_t>(index));
            // The list puts the picked item into its field itself; anything else the Control
            // holds by now is shown instead.
            if (c.text() != child.items[static_cast<std::size_t>(index)])
                mirror(child);
        } else if (code == CBN_DROPDOWN && listOpening_) {
            listOpening_();
        } else if (code == CBN_EDITCHANGE) {
            c.setText(windowText(child.hwnd)); // typing runs no handling
        }
        break;
    case Kind::TextBox:
        if (code == EN_CHANGE)
            c.edit(windowText(child.hwnd));
        break;
    default:
        break;
    }
    return true;
}

void ControlWindows::paintLines(HDC dc) const {
    for (const auto& design : window_.controls) {
        if (design.kind != Kind::Line)
            continue;
        const RECT r = scale_.pixels(design.rect);
        // GDI centres a wide pen on the line; the line's top edge stays where it is described.
        const int down = design.pen / 2;
        HPEN pen =
            CreatePen(PS_SOLID, design.pen,
                      RGB((design.rgb >> 16) & 0xFF, (design.rgb >> 8) & 0xFF, design.rgb & 0xFF));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, r.left, r.top + down, nullptr);
        LineTo(dc, r.right, r.bottom + down);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

} // namespace veltaro::win32
