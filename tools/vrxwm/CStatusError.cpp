#include "vrxwm/CStatusError.h"

#include <cerrno>
#include <cstring>

#include "vrxwm/StatusText.h"

CStatusError::CStatusError(uint32_t dwStatus, const std::string& context)
    : std::runtime_error(context + ": " + FormatStatus(dwStatus)),
      m_dwStatus(dwStatus),
      m_context(context) {}

uint32_t StatusFromErrno(int err) noexcept {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return kStatusFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kStatusAccessDenied;
    case ENOMEM: return kStatusOutOfMemory;
    case ENOSPC: return kStatusDiskFull;
    case EINVAL: return kStatusInvalidArg;
    default: return kStatusFail;
    }
}

void ThrowErrno(const std::string& context) {
    const int err = errno;
    throw CStatusError(StatusFromErrno(err), context + ": " + std::strerror(err));
}

void CheckStatus(uint32_t dwStatus, const std::string& context) {
    if (dwStatus != 0) throw CStatusError(dwStatus, context);
}
