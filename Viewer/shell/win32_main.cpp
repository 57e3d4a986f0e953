// Vantorel on Windows: DPI awareness, the shared block, the main window and
// the message loop. Exit code 0 after a normal close, 2 when the window (or
// its OpenGL 3.0 context) could not be made.
#include <exception>
#include <memory>
#include <string>

#include "app/intake.h"
#include "app/settings.h"
#include "app/viewer_state.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/dialog.h"
#include "win32_system.h"
#include "win32_window.h"

namespace orvalis::viewer::win32 {
namespace {

constexpr int kExitNoWindow = 2;

// The viewer's single state object exists before the entry point runs.
ViewerState gState;

// Per-monitor v2 where the system has it, then per-monitor, then system
// DPI awareness; with none of them the window runs unaware of DPI.
void selectDpiAwareness() {
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    if (const auto setContext = lookupExport<SetContextFn>(user32, "SetProcessDpiAwarenessContext")) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
            return;
    }
    if (const HMODULE shcore = ::LoadLibraryA("shcore.dll")) {
        using SetAwarenessFn = HRESULT(WINAPI*)(int);
        const auto setAwareness = lookupExport<SetAwarenessFn>(shcore, "SetProcessDpiAwareness");
        const bool done = setAwareness != nullptr && setAwareness(2) >= 0;  // PROCESS_PER_MONITOR_DPI_AWARE
        ::FreeLibrary(shcore);
        if (done)
            return;
    }
    using SetAwareFn = BOOL(WINAPI*)();
    if (const auto setAware = lookupExport<SetAwareFn>(user32, "SetProcessDPIAware"))
        setAware();
}

int run(HINSTANCE instance) {
    selectDpiAwareness();
    const std::unique_ptr<SettingsStore> settings = userSettingsStore();
    loadSettings(gState, *settings);

    FindWindowWaker waker;
    Intake intake(gState, waker, systemIntakeClock(),
                  Intake::Options{exchange::kBlockName, Intake::defaultFallbackPath()});
    intake.attach();  // no block yet is fine: the intake thread keeps trying

    MainWindow main;
    main.instance = instance;
    main.state = &gState;
    main.intake = &intake;
    main.settings = settings.get();
    registerMainWindowClass(main);  // a failure shows as the window's
    const HWND window = createMainWindow(main);
    if (window == nullptr) {
        intake.detach();
        return kExitNoWindow;
    }
    ::SetWindowTextA(window, kWindowTitle);
    applyWindowIcons(window, instance, main.icons);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);

    gState.pollRateHz.store(kMaxPollRateHz);
    gState.lastRedrawTime.store(platform::steadyNanoseconds());
    gState.redrawRequested.store(false);

    MSG message{};
    for (;;) {
        // Returns at once. Under Wine, with a paint always pending (the 8 ms
        // timer), X input is read only every 200 or so messages; this zero
        // wait reads it before each message.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
        if (::GetMessageA(&message, nullptr, 0, 0) <= 0)
            break;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    intake.detach();
    return static_cast<int>(message.wParam);
}

}  // namespace
}  // namespace orvalis::viewer::win32

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        return orvalis::viewer::win32::run(instance);
    } catch (const std::exception& error) {
        orvalis::platform::debugOutput(std::string("Vantorel: ") + error.what() + "\n");
    }
    return 2;  // as for a window that could not be made
}
