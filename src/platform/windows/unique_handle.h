#pragma once
// Owners of the system's handles.

#include <windows.h>

#include <utility>

namespace tessaly {

// A kernel handle (file, mutex, process), closed when destroyed.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes the handle now; false when closing reported an error (data that could not be written).
    bool reset()
    {
        const bool ok = !valid() || ::CloseHandle(handle_);
        handle_ = nullptr;
        return ok;
    }

private:
    HANDLE handle_;
};

// A search handle of FindFirstFileW / FindFirstStreamW.
class UniqueFind {
public:
    explicit UniqueFind(HANDLE handle) : handle_(handle) {}
    UniqueFind(const UniqueFind&) = delete;
    UniqueFind& operator=(const UniqueFind&) = delete;
    ~UniqueFind()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::FindClose(handle_);
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace tessaly
