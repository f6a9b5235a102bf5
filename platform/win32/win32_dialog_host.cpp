#include "platform/win32/win32_dialog_host.h"

#include <vector>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "platform/win32/windows_api.h"

namespace swk::win32 {
namespace {

// Bounds every text taken from or given to a control.
constexpr int kMaxControlText = 32 * 1024;

::HWND Hwnd(void* window) {
    return static_cast<::HWND>(window);
}

std::wstring ToWide(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(kMaxControlText)) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              length);
    return wide;
}

std::string ToUtf8(const wchar_t* wide, int length) {
    if (length <= 0) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
    return text;
}

// ---- NoFocusButton: a push button that consumes WM_SETFOCUS ----------------------
constexpr const wchar_t* kOriginalProcProperty = L"SwkButtonProc";

::LRESULT CALLBACK NoFocusButtonProc(::HWND button, ::UINT message, ::WPARAM wParam,
                                     ::LPARAM lParam) {
    auto original = reinterpret_cast<::WNDPROC>(::GetPropW(button, kOriginalProcProperty));
    if (message == WM_SETFOCUS) return 0;  // consumed: no focus, no focus rectangle
    if (message == WM_NCDESTROY) ::RemovePropW(button, kOriginalProcProperty);
    return ::CallWindowProcW(original, button, message, wParam, lParam);
}

// ---- The dialog procedure ----------------------------------------------------------
::INT_PTR CALLBACK DialogProc(::HWND window, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* host = reinterpret_cast<Win32DialogHost*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (host == nullptr) return FALSE;
    return host->HandleMessage(window, message, wParam, lParam);
}

}  // namespace

std::string RunningApplicationName() {
    wchar_t path[MAX_PATH + 1] = {};
    const ::DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return app::ApplicationName(ToUtf8(path, static_cast<int>(length)));
}

Win32DialogHost::Win32DialogHost(void* instance, std::string applicationName)
    : instance_(instance), applicationName_(std::move(applicationName)) {
    icon_ =
        ::LoadIconW(static_cast<::HINSTANCE>(instance_), MAKEINTRESOURCEW(app::kApplicationIconId));
}

int Win32DialogHost::RunModal(app::DialogHandler& handler) {
    handler_ = &handler;
    const ::INT_PTR result = ::DialogBoxParamW(static_cast<::HINSTANCE>(instance_),
                                               MAKEINTRESOURCEW(app::kDialogResourceId), nullptr,
                                               DialogProc, reinterpret_cast<::LPARAM>(this));
    handler_ = nullptr;
    window_ = nullptr;
    return static_cast<int>(result);
}

void Win32DialogHost::EndDialog(int result) {
    // The dialog manager ends its loop once the current message has been handled.
    if (window_ != nullptr) ::EndDialog(Hwnd(window_), result);
}

std::intptr_t Win32DialogHost::HandleMessage(void* window, unsigned message, std::uintptr_t wParam,
                                             std::intptr_t /*lParam*/) {
    ::HWND dialog = Hwnd(window);
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            handler_->OnInitDialog();
            return TRUE;  // the dialog manager places the focus
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int notification = HIWORD(wParam);
            if (notification != BN_CLICKED && notification != 1 /* accelerator */) return FALSE;
            if (id == app::kCancelButton) {
                handler_->OnCommand(id);
            } else {
                ::HWND control = ::GetDlgItem(dialog, id);
                if (control == nullptr || !::IsWindowEnabled(control) ||
                    !::IsWindowVisible(control))
                    return FALSE;
                handler_->OnCommand(id);
            }
            return TRUE;
        }
        case WM_CLOSE:  // the close box, with the Cancel button hidden or not
            handler_->OnCommand(app::kCancelButton);
            return TRUE;
        case WM_PAINT:
            if (::IsIconic(dialog)) {
                ::PAINTSTRUCT paint{};
                ::HDC dc = ::BeginPaint(dialog, &paint);
                ::SendMessageW(dialog, WM_ICONERASEBKGND, reinterpret_cast<::WPARAM>(dc), 0);
                ::RECT client{};
                ::GetClientRect(dialog, &client);
                const app::IconPosition at = app::MinimisedIconPosition(
                    client.right - client.left, client.bottom - client.top,
                    ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
                ::DrawIcon(dc, at.x, at.y, static_cast<::HICON>(icon_));
                ::EndPaint(dialog, &paint);
                return TRUE;
            }
            return FALSE;
        case WM_QUERYDRAGICON:
            ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, reinterpret_cast<::LONG_PTR>(icon_));
            return reinterpret_cast<::INT_PTR>(icon_);
        case WM_SETCURSOR:
            if (waitCursorDepth_ > 0) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514) /* IDC_WAIT */));
                ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void Win32DialogHost::SetWindowIcons(int iconId) {
    auto instance = static_cast<::HINSTANCE>(instance_);
    ::HICON large = ::LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    auto small = static_cast<::HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    ::SendMessageW(Hwnd(window_), WM_SETICON, ICON_BIG, reinterpret_cast<::LPARAM>(large));
    ::SendMessageW(Hwnd(window_), WM_SETICON, ICON_SMALL,
                   reinterpret_cast<::LPARAM>(small ? small : large));
}

void Win32DialogHost::SetText(int id, std::string_view text) {
    ::SetDlgItemTextW(Hwnd(window_), id, ToWide(text).c_str());
}

std::string Win32DialogHost::GetText(int id) const {
    ::HWND control = ::GetDlgItem(Hwnd(window_), id);
    if (control == nullptr) return {};
    int length = ::GetWindowTextLengthW(control);
    if (length <= 0) return {};
    if (length > kMaxControlText) length = kMaxControlText;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(control, buffer.data(), length + 1);
    return ToUtf8(buffer.data(), got);
}

void Win32DialogHost::SetVisible(int id, bool visible) {
    ::ShowWindow(::GetDlgItem(Hwnd(window_), id), visible ? SW_SHOW : SW_HIDE);
}

void Win32DialogHost::SetEnabled(int id, bool enabled) {
    ::EnableWindow(::GetDlgItem(Hwnd(window_), id), enabled ? TRUE : FALSE);
}

app::Rect Win32DialogHost::ClientRectOf(int id) const {
    ::RECT rect{};
    ::GetWindowRect(::GetDlgItem(Hwnd(window_), id), &rect);
    ::MapWindowPoints(nullptr, Hwnd(window_), reinterpret_cast<::POINT*>(&rect), 2);
    return app::Rect{rect.left, rect.top, rect.right, rect.bottom};
}

void Win32DialogHost::Move(int id, app::Rect pixels, bool repaint) {
    ::MoveWindow(::GetDlgItem(Hwnd(window_), id), pixels.left, pixels.top, pixels.Width(),
                 pixels.Height(), repaint ? TRUE : FALSE);
}

void Win32DialogHost::CreateNoFocusButton(int id, app::Rect pixels, DWORD style, int iconId) {
    auto instance = static_cast<::HINSTANCE>(instance_);
    ::HWND button = ::CreateWindowExW(
        0, L"BUTTON", L"", style, pixels.left, pixels.top, pixels.Width(), pixels.Height(),
        Hwnd(window_), reinterpret_cast<::HMENU>(static_cast<::INT_PTR>(id)), instance, nullptr);
    if (button == nullptr) return;
    ::SetPropW(button, kOriginalProcProperty,
               reinterpret_cast<::HANDLE>(::GetWindowLongPtrW(button, GWLP_WNDPROC)));
    ::SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<::LONG_PTR>(&NoFocusButtonProc));
    ::HICON image = ::LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<::LPARAM>(image));
}

void Win32DialogHost::SetWaitCursor(bool on) {
    waitCursorDepth_ += on ? 1 : -1;
    if (waitCursorDepth_ < 0) waitCursorDepth_ = 0;
    const wchar_t* cursor = waitCursorDepth_ > 0 ? MAKEINTRESOURCEW(32514) /* IDC_WAIT */
                                                 : MAKEINTRESOURCEW(32512) /* IDC_ARROW */;
    ::SetCursor(::LoadCursorW(nullptr, cursor));
}

MessageAnswer Win32DialogHost::Show(std::string_view text, MessageButtons buttons) {
    const ::UINT style = MB_ICONEXCLAMATION | (buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK);
    const int answer = ::MessageBoxW(::GetActiveWindow(), ToWide(text).c_str(),
                                     ToWide(applicationName_).c_str(), style);
    switch (answer) {
        case IDYES:
            return MessageAnswer::Yes;
        case IDNO:
            return MessageAnswer::No;
        case IDCANCEL:
            return MessageAnswer::Cancel;
        default:
            return MessageAnswer::Ok;
    }
}

}  // namespace swk::win32
