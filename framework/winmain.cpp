// The Windows entry point: hands control to the framework's run order.
#include "framework/winapp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxWinMain();
}
