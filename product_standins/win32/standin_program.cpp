// A stand-in for one of the product's programs (swk.exe, swkh.exe,
// Uninstall.exe, cmptree.exe): it records that it was started, with its
// command line, and ends. SWK_STANDIN_NAME is set by the build; SWK_STANDIN_EVENT,
// when set, replaces the "started <name>" that the log line begins with.
#include <windows.h>

#include "product_standins/win32/standin_log.h"

#ifndef SWK_STANDIN_EVENT
#define SWK_STANDIN_EVENT "started " SWK_STANDIN_NAME
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char line[512] = SWK_STANDIN_EVENT;
    if (commandLine != nullptr && commandLine[0] != 0) {
        lstrcatA(line, " ");
        lstrcpynA(line + lstrlenA(line), commandLine,
                  static_cast<int>(sizeof(line)) - lstrlenA(line));
    }
    swk::standins::AppendToStandInLog(line);
    return 0;
}
