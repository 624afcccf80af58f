// The Windows entry point: hands control to the framework's run order.
#include "framework/system_libraries.h"
#include "framework/winapp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LoadLibrariesFromSystem32Only();
    return AfxWinMain();
}
