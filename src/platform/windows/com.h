#pragma once
// Owners for COM: interface pointers, the apartment of the calling thread, and strings the shell
// hands out in task memory.

#include <objbase.h>

#include <utility>

namespace tessaly {

// One reference to a COM interface, released when destroyed.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr()
    {
        if (p_)
            p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For the functions that hand out a new reference.
    void** out()
    {
        if (p_)
            std::exchange(p_, nullptr)->Release();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

// COM ready on this thread for as long as the object lives. A thread where it already is (the
// window's, which the toolkit set up for OLE) keeps it as it was.
class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }

private:
    HRESULT result_;
};

// A string in task memory, freed with CoTaskMemFree.
class TaskString {
public:
    TaskString() = default;
    TaskString(const TaskString&) = delete;
    TaskString& operator=(const TaskString&) = delete;
    ~TaskString() { ::CoTaskMemFree(p_); }
    PWSTR* out() { return &p_; }
    const wchar_t* get() const { return p_; }

private:
    PWSTR p_ = nullptr;
};

}  // namespace tessaly
