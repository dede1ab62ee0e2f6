// The process-wide table behind every HANDLE of the shim. Internal to
// libVRXWin32.
//
// An entry keeps its object alive through a shared_ptr; whoever looks a
// handle up gets a reference of its own, so CloseHandle on another thread
// never pulls an object out from under a call that is using it (a wait, a
// read). A handle packs the entry's index with a generation that changes when
// the entry is freed, so a stale handle fails even after its entry is reused.
#pragma once

#include <memory>
#include <optional>

#include "win/Handle.h"

namespace vrx {

class CKernelObject {
public:
    enum class Kind { Event, Thread, File, Find };

    explicit CKernelObject(Kind kind) noexcept : m_kind(kind) {}
    virtual ~CKernelObject() = default;
    CKernelObject(const CKernelObject&) = delete;
    CKernelObject& operator=(const CKernelObject&) = delete;

    Kind GetKind() const noexcept { return m_kind; }

private:
    const Kind m_kind;
};

// A new handle for the object; null with ERROR_NOT_ENOUGH_MEMORY when the
// table cannot grow.
HANDLE InsertHandle(std::shared_ptr<CKernelObject> pObject) noexcept;

// The object behind a live handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<CKernelObject> LookupHandle(HANDLE h) noexcept;

// As LookupHandle, but only for objects of one kind.
std::shared_ptr<CKernelObject> LookupHandleOfKind(HANDLE h, CKernelObject::Kind kind) noexcept;

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE h, CKernelObject::Kind kind) noexcept {
    return std::static_pointer_cast<T>(LookupHandleOfKind(h, kind));
}

// Frees the entry if it is live and (when a kind is given) of that kind;
// false with ERROR_INVALID_HANDLE otherwise.
bool RemoveHandle(HANDLE h, std::optional<CKernelObject::Kind> kind = std::nullopt) noexcept;

}  // namespace vrx
