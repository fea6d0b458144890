// Entry point of the Corvantis Client Downloader.
#include <windows.h>

#include "app/TarnwickApp.h"

CTarnwickApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    // The program is usually started from the Downloads folder, where anyone can
    // drop a DLL: libraries load from the system folder only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return Framework::RunApplication(instance, commandLine);
}
