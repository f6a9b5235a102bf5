// A stand-in for one of the product's COM components (swk.dll, swk.ocx). Its
// "DllRegisterServer" writes the registration of its class, as a real
// in-process server does, records the call in the stand-in log and returns
// S_OK; "DllUnregisterServer" removes the class key. The build sets
// SWK_STANDIN_NAME, SWK_STANDIN_CLASS_ID (registry text) and
// SWK_STANDIN_CLASS_NAME.
#include <windows.h>
// (windows.h first)
#include <olectl.h>

#include "product_standins/win32/standin_log.h"

namespace {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

LONG SetText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(lstrlenA(text) + 1));
}

constexpr const char* kClassKey = "CLSID\\" SWK_STANDIN_CLASS_ID;
constexpr const char* kServerKey = "CLSID\\" SWK_STANDIN_CLASS_ID "\\InprocServer32";

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(ThisModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;

    HKEY classKey = nullptr;
    HKEY serverKey = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    LONG status = SetText(classKey, "", SWK_STANDIN_CLASS_NAME);
    RegCloseKey(classKey);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExA(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                 &serverKey, nullptr);
    if (status == ERROR_SUCCESS) {
        status = SetText(serverKey, "", path);
        if (status == ERROR_SUCCESS) status = SetText(serverKey, "ThreadingModel", "Apartment");
        RegCloseKey(serverKey);
    }
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    swk::standins::AppendToStandInLog("registered " SWK_STANDIN_NAME);
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kServerKey);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
    return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
