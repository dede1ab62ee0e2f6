#include "win/Com.h"

#include <atomic>
#include <cstdlib>

namespace {

// Threads that currently hold the multithreaded apartment.
std::atomic<int> g_nMtaThreads{0};

// The calling thread's initialisation count. Its destructor runs at thread
// exit, so a thread that forgets CoUninitialize cannot keep the implicit
// apartment alive for the rest of the process.
class CThreadApartment {
public:
    ~CThreadApartment() { Release(); }

    int32_t Enter(bool bMultithreaded) noexcept {
        if (m_cInit > 0) {
            if (bMultithreaded != m_bMultithreaded) return RPC_E_CHANGED_MODE;
            ++m_cInit;
            return S_FALSE;
        }
        m_bMultithreaded = bMultithreaded;
        m_cInit = 1;
        if (m_bMultithreaded) g_nMtaThreads.fetch_add(1, std::memory_order_acq_rel);
        return S_OK;
    }
    void Leave() noexcept {
        if (m_cInit == 0) return;
        if (--m_cInit == 0 && m_bMultithreaded) g_nMtaThreads.fetch_sub(1, std::memory_order_acq_rel);
    }
    void Release() noexcept {
        if (m_cInit == 0) return;
        m_cInit = 1;
        Leave();
    }
    bool IsInitialized() const noexcept { return m_cInit > 0; }

private:
    unsigned m_cInit = 0;
    bool m_bMultithreaded = false;
};

thread_local CThreadApartment t_apartment;

constexpr uint32_t kKnownFlags = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

}  // namespace

extern "C" int32_t CoInitializeEx(void* reserved, uint32_t flags) noexcept {
    if (reserved || (flags & ~kKnownFlags)) return E_INVALIDARG;
    return t_apartment.Enter((flags & COINIT_APARTMENTTHREADED) == 0);
}

extern "C" void CoUninitialize(void) noexcept { t_apartment.Leave(); }

extern "C" void* CoTaskMemAlloc(size_t cb) noexcept { return std::malloc(cb); }

extern "C" void CoTaskMemFree(void* pv) noexcept { std::free(pv); }

bool VrxComIsInitialized() noexcept {
    return t_apartment.IsInitialized() || g_nMtaThreads.load(std::memory_order_acquire) > 0;
}

void vrx::ReleaseThreadApartment() noexcept { t_apartment.Release(); }
