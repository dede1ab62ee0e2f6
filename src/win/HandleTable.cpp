#include "win/HandleTable.h"

#include <mutex>
#include <new>
#include <shared_mutex>
#include <vector>

#include "win/LastError.h"

namespace vrx {
namespace {

// Generations stay below 2^31 so that no handle equals INVALID_HANDLE_VALUE,
// and start at 1 so that none is null.
constexpr uint32_t kMaxGeneration = 0x7FFFFFFF;
constexpr uint32_t kMaxEntries = 0xFFFFFFFE;

struct Entry {
    uint32_t nGeneration = 1;
    std::shared_ptr<CKernelObject> pObject;
};

class CHandleTable {
public:
    HANDLE Insert(std::shared_ptr<CKernelObject> pObject) {
        std::unique_lock lock(m_mutex);
        uint32_t index;
        if (!m_freeList.empty()) {
            index = m_freeList.back();
            m_freeList.pop_back();
        } else {
            if (m_entries.size() >= kMaxEntries) throw std::bad_alloc();
            // Reserve the free-list room now, so that freeing never allocates.
            m_freeList.reserve(m_entries.size() + 1);
            m_entries.emplace_back();
            index = static_cast<uint32_t>(m_entries.size() - 1);
        }
        Entry& entry = m_entries[index];
        entry.pObject = std::move(pObject);
        return Encode(index, entry.nGeneration);
    }

    std::shared_ptr<CKernelObject> Lookup(HANDLE h) const noexcept {
        std::shared_lock lock(m_mutex);
        const auto index = IndexOf(h);
        return index ? m_entries[*index].pObject : nullptr;
    }

    // Hands the object back so that it dies outside the lock: a file's
    // close or a directory's release must not hold up every other lookup.
    std::shared_ptr<CKernelObject> Remove(HANDLE h, std::optional<CKernelObject::Kind> kind) noexcept {
        std::unique_lock lock(m_mutex);
        const auto index = IndexOf(h);
        if (!index) return nullptr;
        Entry& entry = m_entries[*index];
        if (kind && entry.pObject->GetKind() != *kind) return nullptr;
        std::shared_ptr<CKernelObject> pObject = std::move(entry.pObject);
        entry.nGeneration = entry.nGeneration == kMaxGeneration ? 1 : entry.nGeneration + 1;
        m_freeList.push_back(*index);
        return pObject;
    }

private:
    static HANDLE Encode(uint32_t index, uint32_t nGeneration) noexcept {
        return reinterpret_cast<HANDLE>((uintptr_t{nGeneration} << 32) | (uintptr_t{index} + 1));
    }

    // The entry a live handle names; the caller holds the lock.
    std::optional<uint32_t> IndexOf(HANDLE h) const noexcept {
        const auto value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h));
        const auto low = static_cast<uint32_t>(value);
        if (low == 0 || low > m_entries.size()) return std::nullopt;
        const Entry& entry = m_entries[low - 1];
        if (entry.nGeneration != (value >> 32) || !entry.pObject) return std::nullopt;
        return low - 1;
    }

    mutable std::shared_mutex m_mutex;
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_freeList;
};

// Never destroyed: a thread whose handle was closed may still be running
// while the process exits, and it releases its objects through the table.
CHandleTable& Table() {
    static CHandleTable* const s_pTable = new CHandleTable();
    return *s_pTable;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<CKernelObject> pObject) noexcept try {
    return Table().Insert(std::move(pObject));
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

std::shared_ptr<CKernelObject> LookupHandle(HANDLE h) noexcept {
    auto pObject = Table().Lookup(h);
    if (!pObject) SetLastError(ERROR_INVALID_HANDLE);
    return pObject;
}

std::shared_ptr<CKernelObject> LookupHandleOfKind(HANDLE h, CKernelObject::Kind kind) noexcept {
    auto pObject = Table().Lookup(h);
    if (pObject && pObject->GetKind() == kind) return pObject;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

bool RemoveHandle(HANDLE h, std::optional<CKernelObject::Kind> kind) noexcept {
    if (Table().Remove(h, kind)) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

}  // namespace vrx

extern "C" BOOL CloseHandle(HANDLE hObject) noexcept { return vrx::RemoveHandle(hObject) ? TRUE : FALSE; }
