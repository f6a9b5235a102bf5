// A DLL planted beside the setup under the name of a system DLL. If anything
// loads it, it writes a marker file named by the environment variable
// SWK_PLANTED_MARKER (one line: its own name) and refuses to stay loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("SWK_PLANTED_MARKER", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        HANDLE marker = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (marker != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(marker, SWK_PLANTED_NAME "\r\n", sizeof(SWK_PLANTED_NAME "\r\n") - 1,
                      &written, nullptr);
            CloseHandle(marker);
        }
    }
    return FALSE;
}
