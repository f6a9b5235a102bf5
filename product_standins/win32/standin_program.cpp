// A stand-in for one of the product's programs (swk.exe, swkh.exe,
// Uninstall.exe, cmptree.exe): it records that it was started, with its
// command line, and ends. SWK_STANDIN_NAME is set by the build.
#include <windows.h>

#include "product_standins/win32/standin_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char line[512] = "started " SWK_STANDIN_NAME;
    if (commandLine != nullptr && commandLine[0] != 0) {
        lstrcatA(line, " ");
        lstrcpynA(line + lstrlenA(line), commandLine, static_cast<int>(sizeof(line)) - lstrlenA(line));
    }
    swk::standins::AppendToStandInLog(line);
    return 0;
}
