// The stand-ins report what they did to a log that the tests read: one line
// per event, appended to the file named by the environment variable
// SWK_STANDIN_LOG (nothing is written when it is not set). The setup passes its
// environment on to the programs it starts, so the driver's choice reaches them.
#pragma once

#include <windows.h>

namespace swk::standins {

inline void AppendToStandInLog(const char* line) {
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("SWK_STANDIN_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, line, lstrlenA(line), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

}  // namespace swk::standins
