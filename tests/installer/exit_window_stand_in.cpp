// Stands in for Veilgate's main window where the setup program looks for it:
// a top-level window with its title that ends the process, with exit code
// 0, on the tray menu's "EXIT" command, and on nothing else.
#include <windows.h>

namespace {

constexpr char MainWindowTitle[] = "Veilgate v5.0 - Anonymity & Online Privacy";
constexpr WPARAM ExitCommand = 32772;

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == ExitCommand) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_CLOSE)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = StandInProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "VeilgateExitStandIn";
    if (!RegisterClassA(&windowClass))
        return 2;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, MainWindowTitle, WS_OVERLAPPED, 0,
                                  0, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 2;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    DestroyWindow(window);
    return 0;
}
