#include "platform/win32/shell_link_adapter.h"

#include <new>

namespace swk::win32 {
namespace {

// The system's identifiers, from our own constants (the SDK's uuid library
// would bring every identifier it knows into the executable).
::GUID Real(const GUID& id) {
    ::GUID real{id.Data1, id.Data2, id.Data3, {}};
    for (int i = 0; i < 8; ++i) real.Data4[i] = id.Data4[i];
    return real;
}

class PersistFileAdapter final : public IPersistFile {
public:
    explicit PersistFileAdapter(::IPersistFile* real) : real_(real) {}
    virtual ~PersistFileAdapter() = default;

    HRESULT Save(const WCHAR* fileName, BOOL remember) override {
        return real_->Save(reinterpret_cast<const wchar_t*>(fileName), remember);
    }
    DWORD Release() override {
        const DWORD count = real_->Release();
        delete this;
        return count;
    }

private:
    ::IPersistFile* real_;
};

class ShellLinkAdapter final : public IShellLinkA {
public:
    explicit ShellLinkAdapter(::IShellLinkA* real) : real_(real) {}
    virtual ~ShellLinkAdapter() = default;

    HRESULT SetArguments(const char* arguments) override { return real_->SetArguments(arguments); }
    HRESULT SetPath(const char* path) override { return real_->SetPath(path); }
    HRESULT SetDescription(const char* description) override {
        return real_->SetDescription(description);
    }
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (object == nullptr) return E_FAIL;
        *object = nullptr;
        if (!(iid == IID_IPersistFile)) return E_NOINTERFACE;
        ::IPersistFile* persist = nullptr;
        const HRESULT result =
            real_->QueryInterface(Real(IID_IPersistFile), reinterpret_cast<void**>(&persist));
        if (result < 0) return result;
        auto* adapter = new (std::nothrow) PersistFileAdapter(persist);
        if (adapter == nullptr) {
            persist->Release();
            return E_OUTOFMEMORY;
        }
        *object = static_cast<IPersistFile*>(adapter);
        return S_OK;
    }
    DWORD Release() override {
        const DWORD count = real_->Release();
        delete this;
        return count;
    }

private:
    ::IShellLinkA* real_;
};

}  // namespace

HRESULT CreateShellLink(::IUnknown* outer, DWORD context, void** object) {
    *object = nullptr;
    ::IShellLinkA* link = nullptr;
    const ::GUID classId = Real(CLSID_ShellLink);
    const ::GUID interfaceId = Real(IID_IShellLinkA);
    const HRESULT result =
        ::CoCreateInstance(classId, outer, context, interfaceId, reinterpret_cast<void**>(&link));
    if (result < 0) return result;
    auto* adapter = new (std::nothrow) ShellLinkAdapter(link);
    if (adapter == nullptr) {
        link->Release();
        return E_OUTOFMEMORY;
    }
    *object = static_cast<IShellLinkA*>(adapter);
    return S_OK;
}

}  // namespace swk::win32
