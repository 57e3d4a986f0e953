// Window and class icons from the resource or, for a build without one,
// from the icon file in the bundle.
#include "win32_icons.h"

#include "app/intake.h"
#include "orvalis/platform/dialog.h"

namespace orvalis::viewer::win32 {
namespace {

constexpr char kIconResource[] = "IDI_APP_ICON";

bool fileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HICON loadIconFile(const std::string& path, int side) {
    return static_cast<HICON>(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, side, side, LR_LOADFROMFILE));
}

void destroyIfOwned(HICON icon, bool owned) {
    if (icon != nullptr && owned)
        ::DestroyIcon(icon);
}

// Takes the icons just set on the window and its class; an earlier icon of
// ours is destroyed once nothing shows it any more.
void adopt(WindowIcons& icons, HICON big, bool bigOwned, HICON small, bool smallOwned) {
    const WindowIcons previous = icons;
    if (big != nullptr) {
        // The big icon took every place, the small one the small places.
        icons = {big, small, bigOwned, small != nullptr && smallOwned};
        if (previous.bigIcon != big && previous.bigIcon != small)
            destroyIfOwned(previous.bigIcon, previous.bigOwned);
        if (previous.smallIcon != big && previous.smallIcon != small && previous.smallIcon != previous.bigIcon)
            destroyIfOwned(previous.smallIcon, previous.smallOwned);
    } else if (small != nullptr) {
        // The old big icon is still the window's big and class icon.
        icons.smallIcon = small;
        icons.smallOwned = smallOwned;
        if (previous.smallIcon != small && previous.smallIcon != previous.bigIcon)
            destroyIfOwned(previous.smallIcon, previous.smallOwned);
    }
}

}  // namespace

std::string iconFilePathForModule() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        path[0] = '\0';  // nothing, or a truncated path
    return iconFilePath(path, '\\');
}

HICON loadClassIcon(HINSTANCE instance, WindowIcons& icons) {
    HICON icon = ::LoadIconA(instance, kIconResource);
    if (icon != nullptr) {
        icons.bigIcon = icon;
        icons.bigOwned = false;
        return icon;
    }
    const std::string path = iconFilePathForModule();
    if (fileExists(path))
        icon = loadIconFile(path, 32);
    if (icon != nullptr) {
        icons.bigIcon = icon;
        icons.bigOwned = true;
        return icon;
    }
    return ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
}

void applyWindowIcons(HWND window, HINSTANCE instance, WindowIcons& icons) {
    HICON big = nullptr;
    HICON small = nullptr;
    bool owned = false;
    if (HICON resource = ::LoadIconA(instance, kIconResource); resource != nullptr) {
        big = small = resource;
        platform::debugOutput("Successfully loaded icon from resource\n");
    } else {
        const std::string path = iconFilePathForModule();
        if (!fileExists(path)) {
            platform::debugOutput("Icon file not found: " + path + "\n");
            return;
        }
        platform::debugOutput("Icon file found: " + path + "\n");
        owned = true;
        big = loadIconFile(path, 32);
        platform::debugOutput(big != nullptr ? "Successfully loaded big icon from file\n"
                                             : "Failed to load big icon from file\n");
        small = loadIconFile(path, 16);
        platform::debugOutput(small != nullptr ? "Successfully loaded small icon from file\n"
                                               : "Failed to load small icon from file\n");
    }

    if (big != nullptr) {
        ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(big));
    }
    if (small != nullptr)
        ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (big != nullptr)
        ::SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
    if (small != nullptr || big != nullptr)
        ::SetClassLongPtrA(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small != nullptr ? small : big));
    adopt(icons, big, owned, small, owned);
}

void destroyWindowIcons(WindowIcons& icons) {
    destroyIfOwned(icons.bigIcon, icons.bigOwned);
    if (icons.smallIcon != icons.bigIcon)
        destroyIfOwned(icons.smallIcon, icons.smallOwned);
    icons = {};
}

}  // namespace orvalis::viewer::win32
