#include "tools/driver/driver_windows.h"

#include <vector>

namespace swk::driver {
namespace {

struct Search {
    DWORD processId = 0;
    bool wantWizard = false;
    HWND found = nullptr;
};

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

bool HasCaption(HWND window, const wchar_t* caption) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return lstrcmpW(text, caption) == 0;
}

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || !IsDialogClass(window))
        return TRUE;
    const bool isWizard = HasCaption(window, kWizardCaption);
    const bool isBox = !isWizard && GetDlgItem(window, kMessageTextId) != nullptr;
    if ((search->wantWizard && isWizard) || (!search->wantWizard && isBox)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(const SetupProcess& setup, bool wizard) {
    Search search{setup.id, wizard, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool WaitUntilIdle(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
}

HWND FindWizard(const SetupProcess& setup) {
    return FindTopLevel(setup, true);
}
HWND FindMessageBox(const SetupProcess& setup) {
    return FindTopLevel(setup, false);
}

std::string WindowTextLine(HWND window) {
    // Asked of the window itself: a control of another process keeps its text
    // where only its own window procedure can read it (an edit control does).
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length) ||
        length == 0 || length > kMaxTextUnits)
        return {};
    std::vector<wchar_t> wide(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    const int got = static_cast<int>(copied);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), got, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), got, text.data(), size, nullptr, nullptr);
    std::string line;
    for (char c : text) {
        if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}

bool SaveScreenshot(HWND window, const wchar_t* path) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // What the screen shows there (the wizard is the top window while the driver waits).
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    const DWORD rowBytes = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageBytes;
    bool saved = false;
    HANDLE out =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        saved = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                WriteFile(out, bits, imageBytes, &written, nullptr);
        CloseHandle(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace swk::driver
