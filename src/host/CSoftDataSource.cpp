#include "vrx/VRXHost.h"

#include <new>

#include "host/CFileDataSource.h"

namespace {

// The host's answer for an operation a data source does not offer.
constexpr int32_t kNotSupported = static_cast<int32_t>(0x80000002u);

}  // namespace

CSoftDataSource* CSoftDataSource::Construct(IOWordkMode mode) {
    if (mode != IOWORKMODE_READ) return nullptr;
    return new (std::nothrow) CFileDataSource();
}

CSoftDataSource::~CSoftDataSource() = default;

// The base is the interface every kind of source shares; the named
// operations of a source with nothing open answer "nothing there".
int32_t CSoftDataSource::HostSlot1() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot2() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot3() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot4() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot5() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot6() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot7() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot8() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot9() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot10() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot11() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot12() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot13() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot14() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot15() { return kNotSupported; }
void CSoftDataSource::Cleanup() {}
int32_t CSoftDataSource::HostSlot17() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot18() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot19() { return kNotSupported; }
int32_t CSoftDataSource::Open(const vrx::WChar*, uint32_t, const vrx::WChar*, uint64_t) {
    return kNotSupported;
}
int32_t CSoftDataSource::HostSlot21() { return kNotSupported; }
void CSoftDataSource::Close() {}
int32_t CSoftDataSource::HostSlot23() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot24() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot25() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot26() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot27() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot28() { return kNotSupported; }
int32_t CSoftDataSource::HostSlot29() { return kNotSupported; }
uint64_t CSoftDataSource::Seek(uint64_t, uint32_t) { return UINT64_MAX; }
uint32_t CSoftDataSource::Read(void*, uint32_t) { return 0; }
uint64_t CSoftDataSource::GetSize() { return 0; }
