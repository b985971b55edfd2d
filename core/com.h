#pragma once
// COM for the few shell and imaging interfaces Tarrow uses: one interface
// owned, and COM for a thread while a scope lasts.
#include <windows.h>
#include <objbase.h>

// Owns one COM interface.
template <class Interface>
class Com {
public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    Interface** out() { return &p_; }

private:
    Interface* p_ = nullptr;
};

// COM for this thread while the object lives, when it was not there already.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ok_;
};
