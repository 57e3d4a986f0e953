// Dark chrome through the system's undocumented parts: uxtheme's dark-mode
// entry points exist only by ordinal, and the menu bar is painted dark only
// through the messages the system sends before drawing it itself. All of it
// runs on the main thread.
#include "win32_dark_mode.h"

#include <dwmapi.h>

#include <cstddef>

#include "app/view_menu.h"

namespace orvalis::viewer::win32 {
namespace {

constexpr DWORD kFirstDarkModeBuild = 17763;     // 1809
constexpr DWORD kPreferredAppModeBuild = 18362;  // 1903: ordinal 135 takes a mode
constexpr DWORD kDwmAttribute20Build = 18985;    // 20H1: attribute 20, before it 19
constexpr DWORD kDwmUseImmersiveDarkMode = 20;
constexpr DWORD kDwmUseImmersiveDarkModeOld = 19;
constexpr int kAppModeForceDark = 2;
constexpr int kAppModeForceLight = 3;
constexpr int kCompositionUseDarkModeColors = 26;

constexpr UINT kUahDrawMenu = 0x0091;         // paint the menu-bar background
constexpr UINT kUahDrawMenuItem = 0x0092;     // paint one menu-bar item
constexpr UINT kUahMeasureMenuItem = 0x0094;  // measure one menu-bar item

// The blocks the menu-bar messages point at (64-bit layout).
struct UahMenu {
    HMENU menu;
    HDC deviceContext;
    DWORD flags;
};
struct UahDrawMenuItem {
    DRAWITEMSTRUCT drawItem;
    UahMenu menu;
    int position;  // the item's position in the menu bar
};
struct UahMeasureMenuItem {
    MEASUREITEMSTRUCT measureItem;
};
static_assert(offsetof(DRAWITEMSTRUCT, itemState) == 16);
static_assert(offsetof(DRAWITEMSTRUCT, rcItem) == 40);
static_assert(offsetof(UahDrawMenuItem, menu) + offsetof(UahMenu, menu) == 64);
static_assert(offsetof(UahDrawMenuItem, menu) + offsetof(UahMenu, deviceContext) == 72);
static_assert(offsetof(UahDrawMenuItem, position) == 88);
static_assert(offsetof(UahMenu, deviceContext) == sizeof(void*));
static_assert(offsetof(MEASUREITEMSTRUCT, itemWidth) == 12);

struct CompositionAttributeData {
    int attribute;
    void* data;
    SIZE_T size;
};

using RefreshColorPolicyFn = void(WINAPI*)();                // ordinal 104
using ShouldAppsUseDarkModeFn = BOOL(WINAPI*)();             // ordinal 132
using AllowDarkModeForWindowFn = BOOL(WINAPI*)(HWND, BOOL);  // ordinal 133
using AllowDarkModeForAppFn = BOOL(WINAPI*)(BOOL);           // ordinal 135 before 18362
using SetPreferredAppModeFn = int(WINAPI*)(int);             // ordinal 135 from 18362
using FlushMenuThemesFn = void(WINAPI*)();                   // ordinal 136
using SetWindowCompositionAttributeFn = BOOL(WINAPI*)(HWND, CompositionAttributeData*);
using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);

struct DarkModeState {
    bool initialised = false;
    bool supported = false;
    DWORD buildNumber = 0;
    HMODULE uxtheme = nullptr;
    RefreshColorPolicyFn refreshColorPolicy = nullptr;
    ShouldAppsUseDarkModeFn shouldAppsUseDarkMode = nullptr;
    AllowDarkModeForWindowFn allowDarkModeForWindow = nullptr;
    FARPROC appModeEntry = nullptr;  // ordinal 135, typed by the build number
    FlushMenuThemesFn flushMenuThemes = nullptr;
    SetWindowCompositionAttributeFn setWindowCompositionAttribute = nullptr;
};

struct MenuBarBrushes {
    HBRUSH bar = nullptr;
    HBRUSH itemNormal = nullptr;
    HBRUSH itemHot = nullptr;
    HBRUSH itemPressed = nullptr;
    HBRUSH itemFrame = nullptr;
};

DarkModeState gDarkMode;
MenuBarBrushes gBrushes;

COLORREF colorRef(const MenuColor& color) { return RGB(color.red, color.green, color.blue); }

template <typename Fn>
Fn byOrdinal(HMODULE module, WORD ordinal) {
    return lookupExport<Fn>(module, MAKEINTRESOURCEA(ordinal));
}

void deleteBrush(HBRUSH& brush) {
    if (brush != nullptr)
        ::DeleteObject(brush);
    brush = nullptr;
}

// The one-pixel row between the menu bar and the client area, which the
// system would otherwise leave light.
void paintMenuBarUnderline(HWND window) {
    if (gBrushes.bar == nullptr)
        return;
    MENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    if (!::GetMenuBarInfo(window, OBJID_MENU, 0, &bar))
        return;
    RECT client{};
    RECT windowRect{};
    if (!::GetClientRect(window, &client) || !::GetWindowRect(window, &windowRect))
        return;
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -windowRect.left, -windowRect.top);
    RECT line = client;
    line.bottom = line.top;
    line.top = line.bottom - 1;
    if (const HDC deviceContext = ::GetWindowDC(window)) {
        ::FillRect(deviceContext, &line, gBrushes.bar);
        ::ReleaseDC(window, deviceContext);
    }
}

void paintMenuBar(HWND window, const UahMenu* block) {
    if (block == nullptr || block->deviceContext == nullptr || gBrushes.bar == nullptr)
        return;
    MENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    RECT windowRect{};
    if (!::GetMenuBarInfo(window, OBJID_MENU, 0, &bar) || !::GetWindowRect(window, &windowRect))
        return;
    RECT rect = bar.rcBar;
    ::OffsetRect(&rect, -windowRect.left, -windowRect.top);
    ::FillRect(block->deviceContext, &rect, gBrushes.bar);
}

void paintMenuBarItem(const UahDrawMenuItem* block) {
    if (block == nullptr || block->menu.deviceContext == nullptr)
        return;
    const HDC deviceContext = block->menu.deviceContext;
    const UINT state = block->drawItem.itemState;
    RECT rect = block->drawItem.rcItem;

    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 255;
    if (block->menu.menu == nullptr || !::GetMenuItemInfoW(block->menu.menu, block->position, TRUE, &info))
        text[0] = L'\0';

    const bool grey = (state & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool pressed = (state & ODS_SELECTED) != 0;
    const bool hot = (state & ODS_HOTLIGHT) != 0;
    const HBRUSH fill = pressed ? gBrushes.itemPressed : hot ? gBrushes.itemHot : gBrushes.itemNormal;
    if (fill != nullptr)
        ::FillRect(deviceContext, &rect, fill);
    if ((pressed || hot) && gBrushes.itemFrame != nullptr)
        ::FrameRect(deviceContext, &rect, gBrushes.itemFrame);

    ::SetTextColor(deviceContext, colorRef(grey ? kMenuTextDisabled : kMenuText));
    ::SetBkMode(deviceContext, TRANSPARENT);
    const HFONT font = createBoldMenuFont();
    const HGDIOBJ oldFont = font != nullptr ? ::SelectObject(deviceContext, font) : nullptr;
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if ((state & ODS_NOACCEL) != 0)
        format |= DT_HIDEPREFIX;
    ::DrawTextW(deviceContext, text, -1, &rect, format);
    if (font != nullptr) {
        ::SelectObject(deviceContext, oldFont);
        ::DeleteObject(font);
    }
}

}  // namespace

DWORD windowsBuildNumber() {
    if (gDarkMode.buildNumber != 0)
        return gDarkMode.buildNumber;
    const auto getVersion =
        lookupExport<RtlGetNtVersionNumbersFn>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetNtVersionNumbers");
    if (getVersion == nullptr)
        return 0;
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    getVersion(&major, &minor, &build);
    gDarkMode.buildNumber = build & 0x0FFFFFFF;
    return gDarkMode.buildNumber;
}

bool initDarkMode() {
    if (gDarkMode.initialised)
        return gDarkMode.supported;
    gDarkMode.initialised = true;
    gDarkMode.supported = false;
    if (windowsBuildNumber() < kFirstDarkModeBuild)
        return false;
    gDarkMode.uxtheme = ::LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (gDarkMode.uxtheme == nullptr)
        return false;
    const HMODULE uxtheme = gDarkMode.uxtheme;
    gDarkMode.refreshColorPolicy = byOrdinal<RefreshColorPolicyFn>(uxtheme, 104);
    gDarkMode.shouldAppsUseDarkMode = byOrdinal<ShouldAppsUseDarkModeFn>(uxtheme, 132);
    gDarkMode.allowDarkModeForWindow = byOrdinal<AllowDarkModeForWindowFn>(uxtheme, 133);
    gDarkMode.appModeEntry = ::GetProcAddress(uxtheme, MAKEINTRESOURCEA(135));
    gDarkMode.flushMenuThemes = byOrdinal<FlushMenuThemesFn>(uxtheme, 136);
    gDarkMode.setWindowCompositionAttribute = lookupExport<SetWindowCompositionAttributeFn>(
        ::GetModuleHandleW(L"user32.dll"), "SetWindowCompositionAttribute");
    gDarkMode.supported = gDarkMode.shouldAppsUseDarkMode != nullptr && gDarkMode.allowDarkModeForWindow != nullptr &&
                          gDarkMode.appModeEntry != nullptr;
    return gDarkMode.supported;
}

void setAppDarkMode(bool on) {
    if (!gDarkMode.supported || gDarkMode.appModeEntry == nullptr)
        return;
    const auto entry = reinterpret_cast<void (*)()>(gDarkMode.appModeEntry);
    if (windowsBuildNumber() >= kPreferredAppModeBuild)
        reinterpret_cast<SetPreferredAppModeFn>(entry)(on ? kAppModeForceDark : kAppModeForceLight);
    else
        reinterpret_cast<AllowDarkModeForAppFn>(entry)(on ? TRUE : FALSE);
    if (gDarkMode.refreshColorPolicy != nullptr)
        gDarkMode.refreshColorPolicy();
    if (gDarkMode.flushMenuThemes != nullptr)
        gDarkMode.flushMenuThemes();
}

void setWindowDarkMode(HWND window, bool on) {
    if (!gDarkMode.supported || window == nullptr || gDarkMode.allowDarkModeForWindow == nullptr)
        return;
    BOOL value = on ? TRUE : FALSE;
    gDarkMode.allowDarkModeForWindow(window, value);
    const DWORD attribute =
        windowsBuildNumber() >= kDwmAttribute20Build ? kDwmUseImmersiveDarkMode : kDwmUseImmersiveDarkModeOld;
    ::DwmSetWindowAttribute(window, attribute, &value, sizeof value);
    if (gDarkMode.setWindowCompositionAttribute != nullptr) {
        CompositionAttributeData data{kCompositionUseDarkModeColors, &value, sizeof value};
        gDarkMode.setWindowCompositionAttribute(window, &data);
    }
}

void resetDarkMode() {
    const HMODULE uxtheme = gDarkMode.uxtheme;
    const DWORD build = gDarkMode.buildNumber;
    gDarkMode = DarkModeState{};
    gDarkMode.buildNumber = build;  // the build does not change while running
    if (uxtheme != nullptr)
        ::FreeLibrary(uxtheme);
}

void createMenuBarBrushes() {
    deleteMenuBarBrushes();
    gBrushes.bar = ::CreateSolidBrush(colorRef(kMenuBarBackground));
    gBrushes.itemNormal = ::CreateSolidBrush(colorRef(kMenuBarItemNormal));
    gBrushes.itemHot = ::CreateSolidBrush(colorRef(kMenuBarItemHot));
    gBrushes.itemPressed = ::CreateSolidBrush(colorRef(kMenuBarItemPressed));
    gBrushes.itemFrame = ::CreateSolidBrush(colorRef(kMenuBarItemFrame));
}

void deleteMenuBarBrushes() {
    deleteBrush(gBrushes.bar);
    deleteBrush(gBrushes.itemNormal);
    deleteBrush(gBrushes.itemHot);
    deleteBrush(gBrushes.itemPressed);
    deleteBrush(gBrushes.itemFrame);
}

DarkChromeResult handleDarkChromeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DarkChromeResult answer;
    switch (message) {
    case WM_NCPAINT:
        answer.handled = true;
        answer.result = ::DefWindowProcA(window, message, wParam, lParam);
        paintMenuBarUnderline(window);
        break;
    case WM_NCACTIVATE:
        // The frame is always painted as the active one.
        answer.handled = true;
        answer.result = ::DefWindowProcA(window, message, TRUE, lParam);
        paintMenuBarUnderline(window);
        break;
    case kUahDrawMenu:
        answer.handled = true;
        paintMenuBar(window, reinterpret_cast<const UahMenu*>(lParam));
        break;
    case kUahDrawMenuItem:
        answer.handled = true;
        paintMenuBarItem(reinterpret_cast<const UahDrawMenuItem*>(lParam));
        break;
    case kUahMeasureMenuItem: {
        answer.handled = true;
        answer.result = ::DefWindowProcA(window, message, wParam, lParam);
        if (auto* block = reinterpret_cast<UahMeasureMenuItem*>(lParam))
            block->measureItem.itemWidth += kMenuBarItemExtraWidth;
        break;
    }
    default: break;
    }
    return answer;
}

HFONT createBoldMenuFont() {
    const HGDIOBJ stock = ::GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTA font{};
    if (stock == nullptr || ::GetObjectA(stock, sizeof font, &font) == 0)
        return nullptr;
    font.lfWeight = FW_BOLD;
    return ::CreateFontIndirectA(&font);
}

}  // namespace orvalis::viewer::win32
