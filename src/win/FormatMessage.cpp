#include "win/FormatMessage.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "win/LastError.h"
#include "win/NsError.h"
#include "win/WidePrintf.h"

namespace {

struct MessageText {
    DWORD dwCode;
    const char16_t* pszText;
};

constexpr MessageText kWin32Texts[] = {
    {ERROR_SUCCESS, u"The operation succeeded."},
    {ERROR_FILE_NOT_FOUND, u"The file does not exist."},
    {ERROR_PATH_NOT_FOUND, u"The path does not exist."},
    {ERROR_TOO_MANY_OPEN_FILES, u"Too many files are open."},
    {ERROR_ACCESS_DENIED, u"Access was denied."},
    {ERROR_INVALID_HANDLE, u"The handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, u"There is not enough memory for the operation."},
    {ERROR_OUTOFMEMORY, u"Memory ran out."},
    {ERROR_NO_MORE_FILES, u"No more files match."},
    {ERROR_WRITE_FAULT, u"Writing to the device failed."},
    {ERROR_READ_FAULT, u"Reading from the device failed."},
    {ERROR_GEN_FAILURE, u"The device does not work."},
    {ERROR_HANDLE_EOF, u"The end of the file was reached."},
    {ERROR_HANDLE_DISK_FULL, u"The disk is full."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_FILE_EXISTS, u"The file already exists."},
    {ERROR_INVALID_PARAMETER, u"A parameter is not valid."},
    {ERROR_DISK_FULL, u"There is no space left on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, u"The buffer is too small for the data."},
    {ERROR_INVALID_NAME, u"The file name or path is not valid."},
    {ERROR_ALREADY_EXISTS, u"The file already exists; it was opened."},
    {ERROR_ENVVAR_NOT_FOUND, u"The environment variable is not set."},
    {ERROR_MR_MID_NOT_FOUND, u"There is no text for the message number."},
    {ERROR_TIMEOUT, u"The operation timed out."},
};

constexpr MessageText kHresultTexts[] = {
    {static_cast<DWORD>(E_NOTIMPL), u"Not implemented."},
    {static_cast<DWORD>(E_NOINTERFACE), u"The object does not offer the requested interface."},
    {static_cast<DWORD>(E_POINTER), u"A required pointer is null."},
    {static_cast<DWORD>(E_ABORT), u"The operation was aborted."},
    {static_cast<DWORD>(E_FAIL), u"Unspecified failure."},
    {static_cast<DWORD>(E_UNEXPECTED), u"Unexpected failure."},
    {static_cast<DWORD>(CO_E_NOTINITIALIZED), u"COM has not been initialised on this thread."},
    {static_cast<DWORD>(RPC_E_CHANGED_MODE), u"COM was already initialised on this thread in another mode."},
    {static_cast<DWORD>(STG_E_INVALIDFUNCTION), u"The stream cannot do that."},
    {static_cast<DWORD>(STG_E_MEDIUMFULL), u"The storage medium is full."},
    {static_cast<DWORD>(NS_S_CALLPENDING), u"The request is pending."},
    {static_cast<DWORD>(NS_S_CALLABORTED), u"The request was aborted."},
    {static_cast<DWORD>(NS_S_STREAM_TRUNCATED), u"The stream was truncated."},
    {static_cast<DWORD>(NS_S_REBUFFERING), u"The reader is buffering again."},
    {static_cast<DWORD>(NS_S_DEGRADING_QUALITY), u"Quality is being lowered to keep up."},
    {static_cast<DWORD>(NS_E_INVALID_INDEX), u"The index is not valid."},
    {static_cast<DWORD>(NS_E_TIMEOUT), u"The request timed out."},
    {static_cast<DWORD>(NS_E_DISK_WRITE), u"Writing to the disk failed."},
    {static_cast<DWORD>(NS_E_DISK_READ), u"Reading from the disk failed."},
    {static_cast<DWORD>(NS_E_FILE_WRITE), u"Writing the file failed."},
    {static_cast<DWORD>(NS_E_FILE_READ), u"Reading the file failed."},
    {static_cast<DWORD>(NS_E_FILE_NOT_FOUND), u"The media file does not exist."},
    {static_cast<DWORD>(NS_E_FILE_EXISTS), u"The media file already exists."},
    {static_cast<DWORD>(NS_E_INVALID_NAME), u"The file name is not valid."},
    {static_cast<DWORD>(NS_E_FILE_OPEN_FAILED), u"The media file could not be opened."},
    {static_cast<DWORD>(NS_E_FILE_INIT_FAILED), u"The media file could not be set up."},
    {static_cast<DWORD>(NS_E_INTERNAL), u"Internal error in the media layer."},
    {static_cast<DWORD>(NS_E_UNRECOGNIZED_STREAM_TYPE), u"The stream type is not known."},
    {static_cast<DWORD>(NS_E_INVALID_REQUEST), u"The request is not valid in the current state."},
    {static_cast<DWORD>(NS_E_LATE_OPERATION), u"The operation came too late."},
    {static_cast<DWORD>(NS_E_INVALID_DATA), u"The data are damaged or not valid."},
    {static_cast<DWORD>(NS_E_NO_STREAM), u"There is no such stream."},
    {static_cast<DWORD>(NS_E_STREAM_END), u"The stream has ended."},
    {static_cast<DWORD>(NS_E_INVALID_STREAM), u"The stream number is not valid."},
    {static_cast<DWORD>(NS_E_INCOMPATIBLE_FORMAT), u"The formats do not match."},
    {static_cast<DWORD>(NS_E_NO_FORMATS), u"No formats are available."},
    {static_cast<DWORD>(NS_E_INSUFFICIENT_DATA), u"Not enough data were given."},
    {static_cast<DWORD>(NS_E_INVALID_INPUT_FORMAT), u"The input format is not valid."},
    {static_cast<DWORD>(NS_E_MSAUDIO_NOT_INSTALLED), u"The Windows Media Audio codec is not installed."},
    {static_cast<DWORD>(NS_E_UNEXPECTED_MSAUDIO_ERROR), u"The Windows Media Audio codec failed."},
    {static_cast<DWORD>(NS_E_INVALID_OUTPUT_FORMAT), u"The output format is not valid."},
    {static_cast<DWORD>(NS_E_NOT_CONFIGURED), u"The object has not been configured."},
    {static_cast<DWORD>(NS_E_PROTECTED_CONTENT), u"The content is protected."},
    {static_cast<DWORD>(NS_E_AUDIO_CODEC_NOT_INSTALLED), u"No codec is installed for this audio."},
    {static_cast<DWORD>(NS_E_AUDIO_CODEC_ERROR), u"The audio codec failed."},
    {static_cast<DWORD>(NS_E_VIDEO_CODEC_NOT_INSTALLED), u"No codec is installed for this video."},
    {static_cast<DWORD>(NS_E_VIDEO_CODEC_ERROR), u"The video codec failed."},
    {static_cast<DWORD>(NS_E_INVALIDPROFILE), u"The profile is not valid."},
    {static_cast<DWORD>(NS_E_INCOMPATIBLE_VERSION), u"The version is not supported."},
    {static_cast<DWORD>(NS_E_TOO_MUCH_DATA), u"More data arrived than can be handled."},
    {static_cast<DWORD>(NS_E_UNSUPPORTED_PROPERTY), u"The property is not supported."},
    {static_cast<DWORD>(NS_E_8BIT_WAVE_UNSUPPORTED), u"8-bit audio is not supported here."},
    {static_cast<DWORD>(NS_E_NO_MORE_SAMPLES), u"There are no more samples in the range."},
    {static_cast<DWORD>(NS_E_INVALID_SAMPLING_RATE), u"The sampling rate is not valid."},
    {static_cast<DWORD>(NS_E_MAX_PACKET_SIZE_TOO_SMALL), u"The maximum packet size is too small."},
    {static_cast<DWORD>(NS_E_LATE_PACKET), u"A packet arrived too late."},
    {static_cast<DWORD>(NS_E_DUPLICATE_PACKET), u"A packet arrived twice."},
    {static_cast<DWORD>(NS_E_SDK_BUFFERTOOSMALL), u"The buffer is too small."},
    {static_cast<DWORD>(NS_E_INVALID_NUM_PASSES), u"The number of encoding passes is not valid."},
    {static_cast<DWORD>(NS_E_ATTRIBUTE_READ_ONLY), u"The attribute cannot be changed."},
    {static_cast<DWORD>(NS_E_ATTRIBUTE_NOT_ALLOWED), u"The attribute is not allowed here."},
    {static_cast<DWORD>(NS_E_CODEC_DMO_ERROR), u"The codec object failed."},
    {static_cast<DWORD>(NS_E_DAMAGED_FILE), u"The file is damaged."},
    {static_cast<DWORD>(NS_E_CODEC_UNAVAILABLE), u"A codec the media needs is not available."},
};

template <size_t N>
const char16_t* Find(const MessageText (&table)[N], DWORD dwCode) noexcept {
    const auto it = std::find_if(std::begin(table), std::end(table),
                                 [dwCode](const MessageText& m) { return m.dwCode == dwCode; });
    return it == std::end(table) ? nullptr : it->pszText;
}

std::u16string MessageFor(DWORD dwMessageId) {
    const char16_t* pszText = Find(kHresultTexts, dwMessageId);
    // HRESULT_FROM_WIN32 form: the error number sits in the low word.
    constexpr DWORD kWin32Facility = 0x80070000;
    const DWORD dwWin32 = (dwMessageId & 0xFFFF0000u) == kWin32Facility ? dwMessageId & 0xFFFFu : dwMessageId;
    if (!pszText) pszText = Find(kWin32Texts, dwWin32);
    if (pszText) return std::u16string(pszText) + u"\r\n";
    WCHAR buffer[40];
    wnsprintfW(buffer, 40, u"Unknown error 0x%08x\r\n", dwMessageId);
    return buffer;
}

constexpr DWORD kSupportedFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;

}  // namespace

extern "C" DWORD FormatMessageW(DWORD dwFlags, LPCVOID /*lpSource*/, DWORD dwMessageId, DWORD /*dwLanguageId*/,
                                LPWSTR lpBuffer, DWORD nSize, va_list* /*Arguments*/) noexcept try {
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & ~kSupportedFlags) || !lpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string text = MessageFor(dwMessageId);
    const size_t cchNeeded = text.size() + 1;
    WCHAR* pOut = lpBuffer;
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        pOut = static_cast<WCHAR*>(std::malloc(std::max<size_t>(nSize, cchNeeded) * sizeof(WCHAR)));
        if (!pOut) throw std::bad_alloc();
        *reinterpret_cast<WCHAR**>(lpBuffer) = pOut;
    } else if (nSize < cchNeeded) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy_n(text.c_str(), cchNeeded, pOut);
    return static_cast<DWORD>(text.size());
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}

extern "C" HLOCAL LocalFree(HLOCAL hMem) noexcept {
    std::free(hMem);
    return nullptr;
}
