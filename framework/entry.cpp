// The process entry point, compiled into the program itself so that the
// linker always finds it.
#include "framework/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxWinMain();
}
