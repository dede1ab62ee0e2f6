#include "vrx/VRXHost.h"

#include <bitset>
#include <mutex>

namespace {

// One mark per possible drive character. The writer's threads and the host
// thread may ask and mark at the same time.
class CDiskTable {
public:
    bool IsFailed(vrx::WChar drive) noexcept {
        std::lock_guard lock(m_mutex);
        return m_failed.test(Key(drive));
    }
    void Mark(vrx::WChar drive, bool bFailed) noexcept {
        std::lock_guard lock(m_mutex);
        m_failed.set(Key(drive), bFailed);
    }

private:
    // Drive letters name the same drive in either case.
    static size_t Key(vrx::WChar drive) noexcept {
        return drive >= u'a' && drive <= u'z' ? drive - u'a' + u'A' : drive;
    }

    std::mutex m_mutex;
    std::bitset<0x10000> m_failed;
};

CDiskTable& Table() noexcept {
    static CDiskTable table;
    return table;
}

}  // namespace

int32_t GetDiskStatus(vrx::WChar drive) { return Table().IsFailed(drive) ? 0 : 1; }

int32_t SetDiskError(vrx::WChar drive) {
    Table().Mark(drive, true);
    return 1;
}

void VRX_ClearDiskError(vrx::WChar drive) { Table().Mark(drive, false); }
