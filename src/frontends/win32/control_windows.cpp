#include "frontends/win32/control_windows.h"

#include <commctrl.h>

#include <algorithm>

namespace veltaro::win32 {

namespace {

using layout::Kind;

struct WindowClass {
    const wchar_t* name;
    DWORD style;
};

// Behind the text of an emphasised label: a caution, and an alarm (with white text).
constexpr COLORREF EmphasisColour = RGB(0xFF, 0xBF, 0x00);
constexpr COLORREF AlarmColour = RGB(0xC8, 0x10, 0x10);

WindowClass windowClass(Kind kind) {
    switch (kind) {
    case Kind::FrequencyDisplay:
        return {L"STATIC", SS_CENTER | WS_BORDER};
    case Kind::Caption:
        return {L"STATIC", SS_CENTER};
    case Kind::Text:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX};
    case Kind::StatusLine:
        return {L"STATIC", SS_CENTER | SS_NOPREFIX | WS_BORDER};
    case Kind::PortList:
        return {L"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL};
    case Kind::DropDownList:
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL};
    case Kind::Button:
        return {L"BUTTON", BS_PUSHBUTTON};
    case Kind::DefaultButton:
        return {L"BUTTON", BS_DEFPUSHBUTTON};
    case Kind::CancelButton:
        return {L"BUTTON", BS_PUSHBUTTON};
    case Kind::CheckBox:
        // Not automatic: the Control decides the state, and 2 shows greyed.
        return {L"BUTTON", BS_3STATE};
    case Kind::TextBox:
        return {L"EDIT", ES_AUTOHSCROLL | WS_BORDER};
    case Kind::Icon:
        return {L"STATIC", SS_ICON};
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
        SetWindowTextW(h, wide(text).c_str());
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

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string windowText(HWND h) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
    return utf8(text);
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
    for (HBRUSH b : {amber_, red_})
        if (b)
            DeleteObject(b);
}

HWND ControlWindows::create(Control& c, int id, HICON icon) {
    const layout::ControlSpec& design = c.design();
    const WindowClass wc = windowClass(design.kind);
    const RECT place = scale_.pixels(design.rect);
    const DWORD tabStop = layout::takesFocus(design.kind) ? WS_TABSTOP : 0;
    // Unicode windows: the Controls' texts are UTF-8, whatever the system's code page.
    HWND h = CreateWindowExW(
        0, wc.name, wide(c.text()).c_str(), WS_CHILD | WS_VISIBLE | tabStop | wc.style, place.left,
        place.top, place.right - place.left, place.bottom - place.top, parent_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent_, GWLP_HINSTANCE)), nullptr);
    if (HFONT font = fontFor(design.font))
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
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
    case Kind::DropDownList:
        mirrorList(child);
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
    if (child.emphasis != c.emphasis())
        showEmphasis(child);
    mirroring_ = wasMirroring;
}

void ControlWindows::mirrorList(Child& child) {
    const Control& c = *child.control;
    if (child.items != c.items()) {
        child.items = c.items();
        SendMessageW(child.hwnd, CB_RESETCONTENT, 0, 0);
        for (const auto& item : child.items)
            SendMessageW(child.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
        fitList(child);
    }
    if (c.design().kind == Kind::PortList) {
        setTextIfOther(child.hwnd, c.text());
        return;
    }
    // A list that cannot be typed into shows one of its items, or nothing.
    const auto at = std::find(child.items.begin(), child.items.end(), c.text());
    const WPARAM index = at == child.items.end() ? static_cast<WPARAM>(-1)
                                                 : static_cast<WPARAM>(at - child.items.begin());
    if (static_cast<WPARAM>(SendMessageW(child.hwnd, CB_GETCURSEL, 0, 0)) != index)
        SendMessageW(child.hwnd, CB_SETCURSEL, index, 0);
}

// Bold text on amber or red: the font's bold twin, made once, and the colours the parent hands out
// for the control (colour()).
void ControlWindows::showEmphasis(Child& child) {
    child.emphasis = child.control->emphasis();
    if (!child.bold) {
        child.normal = reinterpret_cast<HFONT>(SendMessageW(child.hwnd, WM_GETFONT, 0, 0));
        LOGFONTW font{};
        GetObjectW(child.normal ? child.normal : GetStockObject(DEFAULT_GUI_FONT), sizeof font,
                   &font);
        font.lfWeight = FW_BOLD;
        child.bold = CreateFontIndirectW(&font);
        fonts_.push_back(child.bold);
    }
    SendMessageW(
        child.hwnd, WM_SETFONT,
        reinterpret_cast<WPARAM>(child.emphasis != Emphasis::None ? child.bold : child.normal),
        TRUE);
    InvalidateRect(child.hwnd, nullptr, TRUE);
}

HBRUSH ControlWindows::colour(HWND from, HDC dc) {
    for (const auto& [id, child] : children_)
        if (child.hwnd == from && child.emphasis != Emphasis::None) {
            const bool alarm = child.emphasis == Emphasis::Alarm;
            HBRUSH& brush = alarm ? red_ : amber_;
            const COLORREF back = alarm ? AlarmColour : EmphasisColour;
            if (!brush)
                brush = CreateSolidBrush(back);
            SetBkColor(dc, back);
            SetTextColor(dc, alarm ? RGB(0xFF, 0xFF, 0xFF) : RGB(0, 0, 0));
            return brush;
        }
    return nullptr;
}

// Two tools per control: the control's own window, and its place on the parent, which gets the
// mouse messages while the control is greyed (a disabled window receives none) or is a label.
void ControlWindows::showTip(Child& child, int id) {
    child.tip = child.control->toolTip();
    RECT place{};
    GetWindowRect(child.hwnd, &place);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&place), 2);
    std::wstring text = wide(child.tip);
    for (const bool own : {true, false}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS | (own ? TTF_IDISHWND : 0);
        tool.hwnd = parent_;
        tool.uId = own ? reinterpret_cast<UINT_PTR>(child.hwnd) : static_cast<UINT_PTR>(id);
        tool.rect = place;
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        if (!child.tip.empty())
            SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
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

void ControlWindows::fitList(const Child& child) const {
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
    case Kind::DropDownList:
        if (code == CBN_SELCHANGE) {
            const LRESULT index = SendMessageW(child.hwnd, CB_GETCURSEL, 0, 0);
            if (index >= 0 && static_cast<std::size_t>(index) < child.items.size())
                c.pick(static_cast<std::size_t>(index));
            mirror(child); // the item the Control holds by now
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
