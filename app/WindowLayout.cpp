#include "app/WindowLayout.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <algorithm>

namespace {

// Positions are stored as DWORDs; a window left of or above the primary screen has negative ones.
int readInt(const SettingsKey& key, const char* name, int def) {
    return static_cast<std::int32_t>(key.ReadDword(name, static_cast<std::uint32_t>(def)));
}

void writeInt(SettingsKey& key, const char* name, int value) {
    key.WriteDword(name, static_cast<std::uint32_t>(value));
}

// Rectangles in 64 bits: stored edges are any 32-bit values, and their differences overflow an int.
struct Span {
    long long left, top, width, height;
};

Span spanOf(const QRect& r) {
    return {r.left(), r.top(), r.width(), r.height()};
}

long long overlap(const Span& a, const Span& b) {
    const long long w = std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
    const long long h = std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

int clampTo(long long v, long long low, long long high) {
    return static_cast<int>(std::clamp(v, low, std::max(low, high)));
}

// The area a window may take when no screen is known.
const QRect kFallbackArea(0, 0, 16384, 16384);

} // namespace

WindowLayout ClampWindowLayout(WindowLayout l, const std::vector<QRect>& screens) {
    std::vector<Span> areas;
    for (const QRect& r : screens.empty() ? std::vector<QRect>{kFallbackArea} : screens)
        areas.push_back(spanOf(r));
    long long width = areas.front().width;
    long long height = areas.front().height;
    if (l.HasUsableRect()) {
        Span window{l.left, l.top, static_cast<long long>(l.right) - l.left,
                    static_cast<long long>(l.bottom) - l.top};
        const Span* screen = &areas.front();
        for (const Span& a : areas) {
            if (overlap(window, a) > overlap(window, *screen))
                screen = &a;
        }
        window.width = std::min(window.width, screen->width);
        window.height = std::min(window.height, screen->height);
        bool visible = false;
        for (const Span& a : areas)
            visible = visible || overlap(window, a) > 0;
        if (!visible) {
            window.left = clampTo(window.left, screen->left, screen->left + screen->width - window.width);
            window.top = clampTo(window.top, screen->top, screen->top + screen->height - window.height);
        }
        l.left = static_cast<int>(window.left);
        l.top = static_cast<int>(window.top);
        l.right = static_cast<int>(window.left + window.width);
        l.bottom = static_cast<int>(window.top + window.height);
        width = window.width;
        height = window.height;
    }
    l.treelisth = clampTo(l.treelisth, 0, height);
    l.logh = clampTo(l.logh, 0, height);
    l.treew = clampTo(l.treew, 0, width);
    l.listw = clampTo(l.listw, 0, width);
    if (l.rawcount != 1 && l.rawcount != 2)
        l.rawcount = WindowLayout().rawcount;
    if (l.menu != 0 && l.menu != 1)
        l.menu = WindowLayout().menu;
    return l;
}

WindowLayout ReadWindowLayout() {
    WindowLayout l;
    SettingsKey key;
    if (key.OpenKey(KeyFamily::Profile, SettingName::WindowKey)) {
        l.type = key.ReadDword("type", l.type);
        l.top = readInt(key, "sizetop", l.top);
        l.left = readInt(key, "sizeleft", l.left);
        // A value no window has tells a missing one from a stored one.
        constexpr std::uint32_t kMissing = 0x80000000u;
        l.sizeStored = key.ReadDword("sizebottom", kMissing) != kMissing &&
                       key.ReadDword("sizeright", kMissing) != kMissing;
        l.bottom = readInt(key, "sizebottom", l.bottom);
        l.right = readInt(key, "sizeright", l.right);
    }
    if (key.OpenKey(KeyFamily::Profile, SettingName::ViewKey)) {
        l.treelisth = readInt(key, "treelisth", l.treelisth);
        l.logh = readInt(key, "logh", l.logh);
        l.treew = readInt(key, "treew", l.treew);
        l.listw = readInt(key, "listw", l.listw);
    }
    if (key.OpenKey(KeyFamily::Profile, SettingName::RebarKey)) {
        l.rawcount = readInt(key, "rawcount", l.rawcount);
        l.menu = readInt(key, "menu", l.menu);
    }
    return l;
}

WindowLayout FirstStartLayout(WindowLayout l, const QRect& screen) {
    // Never smaller than the default window, never larger than the screen.
    const int width = std::min(screen.width(), std::max(screen.width() * 2 / 3, l.right - l.left));
    const int height = std::min(screen.height(), std::max(screen.height() * 2 / 3, l.bottom - l.top));
    l.left = screen.left() + (screen.width() - width) / 2;
    l.top = screen.top() + (screen.height() - height) / 2;
    l.right = l.left + width;
    l.bottom = l.top + height;
    // Pane sizes the store held stay; the defaults grow with the window. The bands and the status
    // bar take about 100 pixels; the log keeps five lines or so.
    const WindowLayout defaults;
    if (l.logh == defaults.logh && l.treelisth == defaults.treelisth) {
        l.logh = std::max(l.logh, height / 5);
        l.treelisth = std::max(l.treelisth, height - 100 - l.logh);
    }
    if (l.treew == defaults.treew && l.listw == defaults.listw) {
        l.treew = std::max(l.treew, width / 5);
        l.listw = width - l.treew;
    }
    return l;
}

void WriteWindowLayout(const WindowLayout& l) {
    SettingsKey key;
    if (key.CreateKey(KeyFamily::Profile, SettingName::WindowKey)) {
        key.WriteDword("type", l.type);
        writeInt(key, "sizetop", l.top);
        writeInt(key, "sizeleft", l.left);
        writeInt(key, "sizebottom", l.bottom);
        writeInt(key, "sizeright", l.right);
    }
    if (key.CreateKey(KeyFamily::Profile, SettingName::ViewKey)) {
        writeInt(key, "logh", l.logh);
        writeInt(key, "treelisth", l.treelisth);
        writeInt(key, "treew", l.treew);
        writeInt(key, "listw", l.listw);
    }
    if (key.CreateKey(KeyFamily::Profile, SettingName::RebarKey)) {
        writeInt(key, "rawcount", l.rawcount);
        writeInt(key, "menu", l.menu);
    }
}

ShowState ShowStateFromType(std::uint32_t type) {
    switch (type) {
    case 1:
        return ShowState::Minimised;
    case 2:
        return ShowState::Maximised;
    default:
        return ShowState::Normal;
    }
}

std::uint32_t TypeFromShowState(ShowState state) {
    switch (state) {
    case ShowState::Minimised:
        return 1;
    case ShowState::Maximised:
        return 2;
    default:
        return 0;
    }
}

ShowState ReadStartupShowState() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Profile, SettingName::WindowKey);
    return ShowStateFromType(key.ReadDword("type", 0));
}

std::pair<int, int> ToggleLogRows(int upperHeight, int logHeight) {
    if (logHeight != 0)
        return {upperHeight + logHeight, 0};
    // Integer arithmetic: H * 7 / 10 is trunc(H * 0.7) without the rounding of a binary 0.7.
    long long h = upperHeight;
    return {static_cast<int>(h * 7 / 10), static_cast<int>(h * 3 / 10)};
}

int HostPaneWidth(int titleWidth) {
    return titleWidth < 150 ? 125 : titleWidth + 5;
}

bool ReadStartupAsciiMode() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    std::uint32_t type = key.ReadDword(SettingName::Type, 1);
    return type == 0 || type == 2;
}

void SaveTransferModeAtExit(bool asciiChecked) {
    SettingsKey key;
    if (!key.OpenKey(KeyFamily::Option))
        return;
    std::uint32_t type = key.ReadDword(SettingName::Type, 1);
    if (type == 2 || type == 3)
        key.WriteDword(SettingName::Type, asciiChecked ? 2 : 3);
}
