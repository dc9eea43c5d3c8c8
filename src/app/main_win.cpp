// Veilgate.exe: starts the local proxy engine on the stored settings and runs
// until it is closed.
#include <windows.h>

#include "app/engine_startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static LocalProxyServer server;
    if (!StartEngineFromSettings(server)) {
        MessageBoxA(nullptr, "Cannot Start Proxy!", "ERROR", MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    server.Stop();
    return 0;
}
