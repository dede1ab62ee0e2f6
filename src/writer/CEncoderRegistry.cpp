#include "writer/CEncoderRegistry.h"

#include <new>

// Storage whose destructor leaves the registry alone (see the header).
union URegistryStorage {
    URegistryStorage() : registry() {}
    ~URegistryStorage() {}
    CEncoderRegistry registry;
};

CEncoderRegistry& CEncoderRegistry::Instance() noexcept {
    static URegistryStorage s_storage;
    return s_storage.registry;
}

void CEncoderRegistry::ParkEncoder(const CWMVEncoder* pEncoder) noexcept {
    std::lock_guard lock(m_mutex);
    try {
        m_parked.push_back(pEncoder);
    } catch (const std::bad_alloc&) {
        // The encoder's running threads still keep it alive; only leak
        // checking loses sight of it.
    }
}

void CEncoderRegistry::UnparkEncoder(const CWMVEncoder* pEncoder) noexcept {
    std::lock_guard lock(m_mutex);
    std::erase(m_parked, pEncoder);
}

void CEncoderRegistry::KeepAbandonedWriter(IWMWriter* pWriter) noexcept {
    if (!pWriter) return;
    std::lock_guard lock(m_mutex);
    try {
        m_abandoned.push_back(pWriter);
    } catch (const std::bad_alloc&) {
        // Out of memory the writer is simply never released.
    }
}

size_t CEncoderRegistry::ParkedEncoderCount() noexcept {
    std::lock_guard lock(m_mutex);
    return m_parked.size();
}

size_t CEncoderRegistry::AbandonedWriterCount() noexcept {
    std::lock_guard lock(m_mutex);
    return m_abandoned.size();
}
