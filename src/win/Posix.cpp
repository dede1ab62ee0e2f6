#include "win/Posix.h"

#include <algorithm>
#include <cerrno>

#include "win/WideString.h"
#include "win/WinError.h"

namespace vrx {

std::string PosixPath(std::u16string_view path) {
    std::string result = Utf16ToUtf8(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

DWORD Win32ErrorFromErrno(int err) noexcept {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBADF: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace vrx
