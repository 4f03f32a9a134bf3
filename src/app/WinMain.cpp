#include <windows.h>

#include "Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return kelvara::Main(); }
