#pragma once
// Window layouts as data (resources/*.layout.inc) and the code that turns a table into child windows.
#include "platform/win32/Win32.h"
#include "ui/Gdi.h"

#include <cstddef>
#include <vector>

namespace layout {

enum class Kind {
    Label,
    BoldLabel,
    Button,
    Radio,
    Check,
    Edit,
    Memo,
    Panel,
    Page,
    Progress,
    ListView,
    Image,
    Bevel
};

// Group starts a group of controls the arrow keys move within (the agreement's two choices).
enum StateFlag : unsigned { Hidden = 0, Shown = 1, Disabled = 2, Checked = 4, ReadOnly = 8, Group = 16 };

// Rows refer to each other by their index in the table; kFrame is the window itself, which has no row.
inline constexpr std::size_t kFrame = static_cast<std::size_t>(-1);

struct Row {
    Kind kind;
    std::size_t parent; // the parent's row, kFrame for the window itself
    int left, top, width, height;
    const char* text;
    unsigned state;
};

struct Column {
    std::size_t list; // the list view's row
    const char* caption;
    int width;
};

struct Range {
    std::size_t progress; // the progress bar's row
    int minimum, maximum;
};

struct Table {
    const Row* rows;
    std::size_t rowCount;
    const Column* columns;
    std::size_t columnCount;
    const Range* ranges;
    std::size_t rangeCount;
};

const Table& WizardTable();

// Control ids: row i gets kFirstId + i.
inline constexpr int kFirstId = 100;

struct Fonts {
    HFONT normal;
    HFONT bold;
};

// The two font heights the layouts use, "MS Sans Serif" 11 and bold 16 pixels at 96 dpi.
HFONT CreateLayoutFont(int height, bool bold, int dpi);

// The rectangle a row's window gets: scaled, and for a bevel only its bottom line.
RECT RowRectangle(const Row& row, int dpi);

// Registers the panel classes once per process.
void RegisterPanelClasses(HINSTANCE instance);

// A window is built a page at a time: first the frame (every row on no page), then each page, its panel
// and the controls on it, when the form first needs it. A window made later is put among its siblings
// where the table has it, so the tab order stays the table's whatever order the pages come in.

// The row of the page that `row` belongs to: the page panel's own row for the panel and everything on
// it (through its parents), kFrame for a row on no page.
std::size_t PageOf(const Table& table, std::size_t row);

// Creates the rows of `page` (a page panel's row, or kFrame) below `window`, the table's root, with
// their columns and ranges, into `windows`: one per row in row order, nullptr for a row not made yet.
void Build(HWND window, const Table& table, std::size_t page, const Fonts& fonts, int dpi,
           std::vector<HWND>& windows);

} // namespace layout
