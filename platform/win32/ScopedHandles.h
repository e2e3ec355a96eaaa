#pragma once
// Owning wrappers, one per handle kind. Move-only; each frees its handle with the call that kind needs.
// Registry keys are owned by platform::RegKey (platform/Registry.h), which the engine sees as well.
#include "platform/win32/LateBound.h"
#include "platform/win32/Win32.h"

#include <objbase.h>

#include <optional>
#include <utility>

namespace platform::win32 {

template <typename Traits> class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Reset(); }

    Handle Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Empty(); }
    explicit operator bool() const { return Valid(); }
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }

    // Frees the handle now; false when the free call itself reports failure.
    bool Close() {
        const Handle old = Release();
        return old == Traits::Empty() || Traits::Free(old);
    }
    void Reset(Handle handle = Traits::Empty()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) Traits::Free(old);
    }

private:
    Handle handle_ = Traits::Empty();
};

// CreateFileA handles: empty is INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool Free(Handle handle) { return ::CloseHandle(handle) != FALSE; }
};
using ScopedFile = ScopedHandle<FileHandleTraits>;

// LoadLibraryExA modules, including those mapped only as data files.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static bool Free(Handle module) { return ::FreeLibrary(module) != FALSE; }
};
using ScopedModule = ScopedHandle<ModuleTraits>;

// A COM interface pointer: released once, and put() releases the old one before handing out the slot.
template <typename Interface> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        Reset(std::exchange(other.pointer_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    void** put() {
        Reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void Reset(Interface* pointer = nullptr) {
        Interface* old = std::exchange(pointer_, pointer);
        if (old) old->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// COM for this thread, apartment-threaded, for as long as the scope lives: the shell-link component and
// the resizable folder browser need it. Released only when this scope's initialisation succeeded.
class ComApartment {
public:
    ComApartment() : result_(late::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) late::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // False when the thread was already initialised for another threading model.
    bool Usable() const { return result_ != RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// The apartment for a whole run, entered by the first call that needs COM (a shell link, opening a
// document, the folder browser) rather than at start-up, which then loads no COM at all. Left when the
// scope ends, if it was entered. Without such a scope, Enter does nothing: the caller has initialised
// COM itself.
class ComApartmentOnDemand {
public:
    ComApartmentOnDemand() { current_ = this; }
    ~ComApartmentOnDemand() { current_ = nullptr; }
    ComApartmentOnDemand(const ComApartmentOnDemand&) = delete;
    ComApartmentOnDemand& operator=(const ComApartmentOnDemand&) = delete;

    // False when the thread had been initialised for another threading model before.
    static bool Enter() {
        if (!current_) return true;
        if (!current_->apartment_) current_->apartment_.emplace();
        return current_->apartment_->Usable();
    }

private:
    std::optional<ComApartment> apartment_;
    static inline ComApartmentOnDemand* current_ = nullptr;
};

} // namespace platform::win32
