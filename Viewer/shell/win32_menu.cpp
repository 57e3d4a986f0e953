// The owner-drawn View menu. The system draws nothing of it: every item
// is measured and painted here in the dark colours, from its record.
#include "win32_menu.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <memory>

#include "app/view_menu.h"
#include "win32_dark_mode.h"

namespace orvalis::viewer::win32 {
namespace {

constexpr char kViewMenuText[] = "View";
constexpr char kPopupMenuClass[] = "#32768";

COLORREF colorRef(const MenuColor& color) { return RGB(color.red, color.green, color.blue); }

// The record attached to the item with this command, or null.
MenuItemRecord* recordOf(HMENU menu, UINT id) {
    if (menu == nullptr)
        return nullptr;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoA(menu, id, FALSE, &info))
        return nullptr;
    return reinterpret_cast<MenuItemRecord*>(info.dwItemData);
}

// The check mark and the record follow the state after a command.
void updateItem(HWND window, int id, bool checked) {
    const HMENU bar = ::GetMenu(window);
    const HMENU popup = bar != nullptr ? ::GetSubMenu(bar, 0) : nullptr;
    if (popup == nullptr)
        return;
    ::CheckMenuItem(popup, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    if (MenuItemRecord* record = recordOf(popup, static_cast<UINT>(id)))
        record->checked = checked;
    ::DrawMenuBar(window);
}

void freeRecordsOf(HMENU popup) {
    if (popup == nullptr)
        return;
    for (const int command :
         {kCommandStayOnTop, kCommandGreyBackground, kCommandHighlightOutOfRange, kCommandGamutIndicator}) {
        const UINT id = static_cast<UINT>(command);
        delete recordOf(popup, id);
        // No stale pointer stays behind in a menu that outlives this call.
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA;
        info.dwItemData = 0;
        ::SetMenuItemInfoA(popup, id, FALSE, &info);
    }
}

}  // namespace

HMENU buildViewMenu(HWND window, const ViewerState& state) {
    const HMENU bar = ::CreateMenu();
    const HMENU popup = ::CreatePopupMenu();
    if (bar == nullptr || popup == nullptr) {
        if (bar != nullptr)
            ::DestroyMenu(bar);
        if (popup != nullptr)
            ::DestroyMenu(popup);
        return nullptr;
    }
    // Made once and kept for the life of the process, as the menus use it.
    static const HBRUSH popupBrush = ::CreateSolidBrush(colorRef(kMenuPopupBackground));
    if (popupBrush != nullptr) {
        MENUINFO info{};
        info.cbSize = sizeof info;
        info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
        info.hbrBack = popupBrush;
        ::SetMenuInfo(popup, &info);
    }
    for (const MenuItem& item : viewMenuItems(state)) {
        auto record = std::make_unique<MenuItemRecord>(MenuItemRecord{item.text, item.checked, item.enabled});
        const UINT flags = MF_OWNERDRAW | (item.checked ? MF_CHECKED : MF_UNCHECKED);
        // For an owner-drawn item the "text" is the item data.
        if (::AppendMenuA(popup, flags, static_cast<UINT_PTR>(item.id), reinterpret_cast<LPCSTR>(record.get())))
            record.release();
    }
    if (!::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), kViewMenuText)) {
        freeRecordsOf(popup);
        ::DestroyMenu(popup);
        ::DestroyMenu(bar);
        return nullptr;
    }
    if (!::SetMenu(window, bar)) {
        freeMenuItemRecords(bar);
        ::DestroyMenu(bar);  // the popup with it
        return nullptr;
    }
    return bar;
}

void freeMenuItemRecords(HMENU menuBar) {
    if (menuBar != nullptr)
        freeRecordsOf(::GetSubMenu(menuBar, 0));
}

void handleMenuCommand(HWND window, ViewerState& state, SettingsStore& store, int id) {
    const CommandEffect effect = onMenuCommand(state, id, store);
    if (!effect.handled)
        return;
    if (effect.stayOnTopChanged)
        ::SetWindowPos(window, state.stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    if (const auto checked = menuItemChecked(state, id))
        updateItem(window, id, *checked);
    if (effect.redraw)
        ::InvalidateRect(window, nullptr, FALSE);
}

void showContextMenu(HWND window, HMENU menuBar, LPARAM lParam) {
    const HMENU popup = menuBar != nullptr ? ::GetSubMenu(menuBar, 0) : nullptr;
    if (popup == nullptr)
        return;
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1)  // from the keyboard: Shift+F10 or the menu key
        ::GetCursorPos(&at);
    ::SetForegroundWindow(window);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
}

void onInitMenuPopup() {
    const HWND popupWindow = ::FindWindowA(kPopupMenuClass, nullptr);
    if (popupWindow == nullptr)
        return;
    setWindowDarkMode(popupWindow, true);
    ::SetWindowTheme(popupWindow, L"DarkMode_Explorer", nullptr);
}

void measureMenuItem(HWND window, MEASUREITEMSTRUCT* measure) {
    if (measure == nullptr || measure->CtlType != ODT_MENU)
        return;
    const auto* record = reinterpret_cast<const MenuItemRecord*>(measure->itemData);
    if (record == nullptr)
        return;
    const HDC deviceContext = ::GetDC(window);
    if (deviceContext == nullptr)
        return;
    SIZE text{};
    const BOOL measured =
        ::GetTextExtentPoint32A(deviceContext, record->text.c_str(), static_cast<int>(record->text.size()), &text);
    ::ReleaseDC(window, deviceContext);
    if (!measured)
        return;
    const MenuItemSize size = menuItemSize(text.cx, text.cy);
    measure->itemWidth = static_cast<UINT>(size.width);
    measure->itemHeight = static_cast<UINT>(size.height);
}

void drawMenuItem(const DRAWITEMSTRUCT* draw) {
    if (draw == nullptr || draw->CtlType != ODT_MENU || draw->hDC == nullptr)
        return;
    const auto* record = reinterpret_cast<const MenuItemRecord*>(draw->itemData);
    if (record == nullptr)
        return;
    const HDC deviceContext = draw->hDC;
    const RECT& item = draw->rcItem;

    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    if (const HBRUSH fill = ::CreateSolidBrush(colorRef(selected ? kMenuItemSelected : kMenuPopupBackground))) {
        ::FillRect(deviceContext, &item, fill);
        ::DeleteObject(fill);
    }

    ::SetBkMode(deviceContext, TRANSPARENT);
    ::SetTextColor(deviceContext, colorRef(record->enabled ? kMenuText : kMenuTextDisabled));
    const HFONT font = createBoldMenuFont();
    const HGDIOBJ oldFont = font != nullptr ? ::SelectObject(deviceContext, font) : nullptr;
    RECT textRect = item;
    textRect.left += kMenuTextLeftInset;
    textRect.right -= kMenuTextRightInset;
    ::DrawTextA(deviceContext, record->text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER);
    if (font != nullptr) {
        ::SelectObject(deviceContext, oldFont);
        ::DeleteObject(font);
    }

    if (record->checked) {
        if (const HPEN pen = ::CreatePen(PS_SOLID, kMenuCheckMarkPenWidth, colorRef(kMenuCheckMark))) {
            const HGDIOBJ oldPen = ::SelectObject(deviceContext, pen);
            const auto points = checkMarkPoints(item.left, item.top, item.right, item.bottom);
            ::MoveToEx(deviceContext, points[0].x, points[0].y, nullptr);
            ::LineTo(deviceContext, points[1].x, points[1].y);
            ::LineTo(deviceContext, points[2].x, points[2].y);
            ::SelectObject(deviceContext, oldPen);
            ::DeleteObject(pen);
        }
    }
}

}  // namespace orvalis::viewer::win32
