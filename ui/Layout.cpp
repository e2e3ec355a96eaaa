#include "ui/Layout.h"

#include "ui/Controls.h"
#include "ui/Window.h"

#include <commctrl.h>
#include <iterator>

namespace layout {
namespace {

// Every row's index by its name, so that rows name their parents and lists as the table does.
enum RowIndex : std::size_t {
#define WIZARD_CONTROL(name, ...) name##Row,
#include "resources/Wizard.layout.inc"
};
constexpr std::size_t FrameRow = kFrame;

// clang-format off
const Row kWizardRows[] = {
#define WIZARD_CONTROL(name, kind, parent, left, top, width, height, text, state) \
    {Kind::kind, parent##Row, left, top, width, height, text, state},
#include "resources/Wizard.layout.inc"
};
const Column kWizardColumns[] = {
#define WIZARD_COLUMN(list, caption, width) {list##Row, caption, width},
#include "resources/Wizard.layout.inc"
};
const Range kWizardRanges[] = {
#define WIZARD_RANGE(progress, minimum, maximum) {progress##Row, minimum, maximum},
#include "resources/Wizard.layout.inc"
};
// clang-format on

const Table kWizard = {kWizardRows,   std::size(kWizardRows),  kWizardColumns, std::size(kWizardColumns),
                       kWizardRanges, std::size(kWizardRanges)};

const char kPanelClass[] = "TPanel";
const char kPageClass[] = "TPagePanel";

// Panels are containers only: what their controls report belongs to the form.
LRESULT CALLBACK PanelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM: return ::SendMessageA(::GetParent(panel), message, wParam, lParam);
    }
    return ::DefWindowProcA(panel, message, wParam, lParam);
}

void FillWhite(HWND panel, HDC dc) {
    RECT client;
    ::GetClientRect(panel, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

// Page panels are white, and so must be the labels, radio and check boxes on them, which otherwise
// paint themselves in the button face colour.
LRESULT CALLBACK PageProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_ERASEBKGND: FillWhite(panel, dc); return 1;
    case WM_PRINTCLIENT: FillWhite(panel, dc); return 0;
    }
    return PanelProcedure(panel, message, wParam, lParam);
}

struct WindowClass {
    const char* name;
    DWORD style;
    DWORD exStyle;
};

WindowClass ClassOf(Kind kind) {
    switch (kind) {
    case Kind::Label:
    case Kind::BoldLabel: return {"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case Kind::Button: return {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    // Not an automatic radio button: on Windows those select themselves when the keyboard focus reaches
    // them. The wizard selects a choice only when the user makes it; the selected one is the tab stop.
    case Kind::Radio: return {"BUTTON", BS_RADIOBUTTON, 0};
    case Kind::Check: return {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case Kind::Edit: return {"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case Kind::Memo:
        return {"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    case Kind::Panel: return {kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case Kind::Page: return {kPageClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case Kind::Progress: return {PROGRESS_CLASSA, 0, 0};
    case Kind::ListView:
        return {WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case Kind::Image: return {"STATIC", SS_BITMAP | SS_REALSIZECONTROL, 0};
    case Kind::Bevel: return {"STATIC", SS_ETCHEDHORZ, 0};
    }
    return {"STATIC", 0, 0};
}

DWORD StateStyle(unsigned state) {
    DWORD style = WS_CHILD;
    if (state & Shown) style |= WS_VISIBLE;
    if (state & Disabled) style |= WS_DISABLED;
    if (state & ReadOnly) style |= ES_READONLY;
    if (state & Group) style |= WS_GROUP;
    return style;
}

bool IsLabel(Kind kind) {
    return kind == Kind::Label || kind == Kind::BoldLabel;
}

// The window of a row when it is made; the table's root otherwise.
HWND WindowOf(const std::vector<HWND>& windows, HWND root, std::size_t row) {
    return row != kFrame && windows[row] ? windows[row] : root;
}

// The read-only licence box has no use for Tab, Enter or Escape: it leaves them to the dialog manager
// (Tab moves on instead of staying in the box) and keeps the arrow and page keys for scrolling.
LRESULT CALLBACK PassDialogKeysOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    return message == WM_GETDLGCODE ? result & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB)
                                    : result;
}

// A list shows no text of its own: its window text is the label's before it, which is how any screen
// reader names it (Windows' oleacc looks for the label itself; Wine's reads the window text).
const char* WindowText(const Table& table, std::size_t row) {
    const bool labelled =
        table.rows[row].kind == Kind::ListView && row > 0 && IsLabel(table.rows[row - 1].kind);
    return labelled ? table.rows[row - 1].text : table.rows[row].text;
}

HWND CreateRow(const Row& row, const char* text, HWND parent, int id, const Fonts& fonts, int dpi) {
    WindowClass windowClass = ClassOf(row.kind);
    if (row.kind == Kind::Radio && (row.state & Checked)) windowClass.style |= WS_TABSTOP;
    const RECT r = RowRectangle(row, dpi);
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    HWND window = ::CreateWindowExA(windowClass.exStyle, windowClass.name, text,
                                    windowClass.style | StateStyle(row.state), r.left, r.top,
                                    r.right - r.left, r.bottom - r.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    const HFONT font = row.kind == Kind::BoldLabel ? fonts.bold : fonts.normal;
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.state & Checked) ::SendMessageA(window, BM_SETCHECK, BST_CHECKED, 0);
    if (row.kind == Kind::ListView)
        ::SendMessageA(window, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    if (IsLabel(row.kind)) Label(window).AutoSize();
    if (row.kind == Kind::Memo) ::SetWindowSubclass(window, PassDialogKeysOn, 0, 0);
    // An etched line grows by its edge when created; it must keep the table's length.
    if (row.kind == Kind::Bevel)
        ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    return window;
}

void AddColumn(HWND list, const Column& column, int index, int dpi) {
    LVCOLUMNA format = {};
    format.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    format.pszText = const_cast<char*>(column.caption);
    format.cx = gdi::Scale(column.width, dpi);
    format.iSubItem = index;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&format));
}

// Columns and ranges go to the rows a build has just made, never twice to the same row.
using Made = std::vector<bool>;

bool JustMade(const Made& made, std::size_t row) {
    return row != kFrame && made[row];
}

void ApplyColumns(const Table& table, const Made& made, const std::vector<HWND>& windows, HWND root,
                  int dpi) {
    for (std::size_t i = 0; i < table.columnCount; ++i) {
        const Column& column = table.columns[i];
        if (!JustMade(made, column.list)) continue;
        int index = 0;
        for (std::size_t j = 0; j < i; ++j)
            index += table.columns[j].list == column.list;
        AddColumn(WindowOf(windows, root, column.list), column, index, dpi);
    }
}

// Progress bars advance by one step at a time.
void ApplyRanges(const Table& table, const Made& made, const std::vector<HWND>& windows, HWND root) {
    for (std::size_t i = 0; i < table.rangeCount; ++i) {
        const Range& range = table.ranges[i];
        if (!JustMade(made, range.progress)) continue;
        HWND bar = WindowOf(windows, root, range.progress);
        ::SendMessageA(bar, PBM_SETRANGE32, range.minimum, range.maximum);
        ::SendMessageA(bar, PBM_SETSTEP, 1, 0);
        ::SendMessageA(bar, PBM_SETPOS, range.minimum, 0);
    }
}

// A new window goes below its siblings; one made after a sibling that comes later in the table moves up
// to its place there, right after the sibling before it (or to the top).
void KeepTableOrder(const Table& table, const std::vector<HWND>& windows, std::size_t made) {
    const std::size_t parent = table.rows[made].parent;
    auto sibling = [&](std::size_t i) { return windows[i] && table.rows[i].parent == parent; };
    bool laterSiblingExists = false;
    for (std::size_t i = made + 1; i < table.rowCount && !laterSiblingExists; ++i)
        laterSiblingExists = sibling(i);
    if (!laterSiblingExists) return;
    HWND after = HWND_TOP;
    for (std::size_t i = made; i-- > 0;)
        if (sibling(i)) {
            after = windows[i];
            break;
        }
    ::SetWindowPos(windows[made], after, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

} // namespace

const Table& WizardTable() {
    return kWizard;
}

HFONT CreateLayoutFont(int height, bool bold, int dpi) {
    return ::CreateFontA(-gdi::Scale(height, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

RECT RowRectangle(const Row& row, int dpi) {
    RECT r = {gdi::Scale(row.left, dpi), gdi::Scale(row.top, dpi), gdi::Scale(row.left + row.width, dpi),
              gdi::Scale(row.top + row.height, dpi)};
    // A bevel that shows only its bottom edge: an etched line of two pixels.
    if (row.kind == Kind::Bevel) r.top = r.bottom - 2;
    return r;
}

void RegisterPanelClasses(HINSTANCE instance) {
    RegisterWindowClass(instance, kPanelClass, PanelProcedure, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    RegisterWindowClass(instance, kPageClass, PageProcedure,
                        static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

std::size_t PageOf(const Table& table, std::size_t row) {
    for (std::size_t at = row; at != kFrame; at = table.rows[at].parent)
        if (table.rows[at].kind == Kind::Page) return at;
    return kFrame;
}

void Build(HWND window, const Table& table, std::size_t page, const Fonts& fonts, int dpi,
           std::vector<HWND>& windows) {
    windows.resize(table.rowCount, nullptr);
    Made made(table.rowCount, false);
    for (std::size_t i = 0; i < table.rowCount; ++i) {
        const Row& row = table.rows[i];
        if (windows[i] || PageOf(table, i) != page) continue;
        windows[i] = CreateRow(row, WindowText(table, i), WindowOf(windows, window, row.parent),
                               kFirstId + static_cast<int>(i), fonts, dpi);
        made[i] = true;
        KeepTableOrder(table, windows, i);
    }
    ApplyColumns(table, made, windows, window, dpi);
    ApplyRanges(table, made, windows, window);
}

} // namespace layout
