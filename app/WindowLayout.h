#pragma once

#include <QRect>

#include <cstdint>
#include <utility>
#include <vector>

// The main window's layout as it is kept between runs: the restored window rectangle and its show
// state, the pane sizes and the arrangement of the two bar bands.
struct WindowLayout {
    std::uint32_t type = 0; // 0 normal, 1 minimised, 2 maximised
    int top = 0;
    int left = 0;
    int bottom = 380;
    int right = 590;
    int treelisth = 200;
    int logh = 80;
    int treew = 160;
    int listw = 415;
    int rawcount = 2; // 2: the second band starts a row of its own
    int menu = 0;     // position of the menu band: 0 first, 1 after the tool bar
    // The store held the window's size: a first start has none, and the window then fits the screen.
    bool sizeStored = false;

    // A rectangle without width or height is ignored and the window keeps its default placement.
    bool HasUsableRect() const {
        return static_cast<long long>(right) - left > 0 && static_cast<long long>(bottom) - top > 0;
    }
    bool operator==(const WindowLayout&) const = default;
};

enum class ShowState { Normal, Minimised, Maximised };

// Missing values give the defaults; nothing is created.
WindowLayout ReadWindowLayout();
// A stored layout as the screens that exist can show it: the values may be damaged or come from
// another arrangement of monitors. The window is no larger than the screen it lands on (the one it
// overlaps most, else the first); when it would then overlap no screen at all, it is moved into
// that screen. Pane sizes are no larger than the window, never negative; band values that mean
// nothing give their defaults. `screens` are the screens' available areas, the primary first.
WindowLayout ClampWindowLayout(WindowLayout layout, const std::vector<QRect>& screens);
// A first start's layout on a screen of this available area: two thirds of it each way, centred;
// pane sizes still at their defaults grow with it (the list most of the height, the tree a fifth
// of the width).
WindowLayout FirstStartLayout(WindowLayout layout, const QRect& screen);

// Writes "Window", "view" and "rebar"; keys that cannot be created are skipped.
void WriteWindowLayout(const WindowLayout& layout);

// The first show state of the main window from the saved "type".
ShowState ReadStartupShowState();
ShowState ShowStateFromType(std::uint32_t type);
std::uint32_t TypeFromShowState(ShowState state);

// The heights of the upper row and the log row after showing or hiding the log: a visible log goes
// to 0 and the upper row takes its room; a hidden log comes back with 30% of the upper row.
std::pair<int, int> ToggleLogRows(int upperHeight, int logHeight);

// Width of the status bar's host pane for a host title of this width in pixels.
int HostPaneWidth(int titleWidth);

// The transfer mode the tool bar starts in: true for ASCII.
bool ReadStartupAsciiMode();
// The mode stored for the next start, when the user asked for "as at the last exit".
void SaveTransferModeAtExit(bool asciiChecked);
