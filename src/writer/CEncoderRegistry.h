// Process-wide keeper of what the writer cannot free yet:
//
// - encoders whose owner has let go while one of their threads still runs
//   (a wait for it timed out); the last thread to end takes its encoder
//   out again and frees it;
// - writers abandoned unfinished after a failure ("CloseErrorWMV" 0), which
//   are never released: ending or releasing them could block on the very
//   failure that made the encoder give up.
//
// The registry itself is never destroyed: a parked thread may still be
// running in the plug-in at exit, and whatever is parked stays reachable
// for leak checking. Any thread may call; a lock guards the two lists,
// which are touched only when an encoder starts or ends its life.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "wmf/WmInterfaces.h"

class CWMVEncoder;

class CEncoderRegistry {
public:
    static CEncoderRegistry& Instance() noexcept;

    void ParkEncoder(const CWMVEncoder* pEncoder) noexcept;
    void UnparkEncoder(const CWMVEncoder* pEncoder) noexcept;
    // Takes over the caller's reference and keeps it for good.
    void KeepAbandonedWriter(IWMWriter* pWriter) noexcept;

    size_t ParkedEncoderCount() noexcept;
    size_t AbandonedWriterCount() noexcept;

private:
    CEncoderRegistry() = default;
    friend union URegistryStorage;

    std::mutex m_mutex;
    std::vector<const CWMVEncoder*> m_parked;
    std::vector<IWMWriter*> m_abandoned;
};
