// A stand-in for a running program: it only waits, and ends by itself after
// a minute so that nothing a test forgets can outlive it for long.
#include <windows.h>

int main() {
    Sleep(60000);
    return 7;
}
