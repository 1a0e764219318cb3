#pragma once
// COM initialised for the calling thread around each start of an outside program or document.
#include <windows.h>
#include <objbase.h>

// CoInitializeEx with COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE (6); a successful
// initialisation (S_OK or S_FALSE) is undone with CoUninitialize when the scope ends.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (Ready()) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Ready() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// ShellExecuteA's result: more than 32 is success.
inline bool ShellStarted(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }
