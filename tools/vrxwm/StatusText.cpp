#include "vrxwm/StatusText.h"

#include <cstdio>

namespace {

struct SKnownStatus {
    uint32_t dwStatus;
    const char* pszMeaning;
};

constexpr SKnownStatus kKnown[] = {
    {0x80000002, "not supported"},
    {0x80000004, "no handle"},
    {0x80000005, "a required argument is missing"},
    {0x80000006, "index or selection out of range"},
    {0x8000000C, "Windows Media is not usable on this thread"},
    {0x8000000D, "output drive not usable, or a wait timed out"},
    {0x80000107, "the reader delivered no sample where one was due"},
    {0x80000108, "the encoder failed to write a sample"},
    {0x80000305, "the file has no readable video stream"},
    {0x80000306, "the frame is not in the file"},
    {0x80000308, "seeking to the frame failed"},
    {0x80000403, "audio format not supported by the encoder"},
    {0x80000404, "the file has no readable audio stream"},
    {0x80004001, "not implemented"},
    {0x80004005, "unspecified failure"},
    {0x8000FFFF, "unexpected failure"},
    {0x800401F0, "COM is not initialised"},
    {0x80070002, "file not found"},
    {0x80070003, "path not found"},
    {0x80070005, "access denied"},
    {0x8007000E, "out of memory"},
    {0x80070057, "invalid argument"},
    {0x80070070, "not enough space on the disk"},
    {0x80030070, "not enough space on the disk"},
    {0xC00D0011, "invalid index"},
    {0xC00D0013, "timed out"},
    {0xC00D0016, "disk write error"},
    {0xC00D0017, "disk read error"},
    {0xC00D0018, "file write error"},
    {0xC00D0019, "file read error"},
    {0xC00D001A, "file not found"},
    {0xC00D001B, "file already exists"},
    {0xC00D001C, "invalid file name"},
    {0xC00D001D, "the file could not be opened"},
    {0xC00D001F, "the file could not be initialised"},
    {0xC00D0024, "internal error"},
    {0xC00D0026, "unrecognised stream type"},
    {0xC00D002B, "invalid request"},
    {0xC00D002F, "invalid or damaged data"},
    {0xC00D0033, "no such stream"},
    {0xC00D0034, "end of stream"},
    {0xC00D003C, "invalid stream"},
    {0xC00D0041, "incompatible format"},
    {0xC00D006B, "no formats"},
    {0xC00D00CA, "not enough data"},
    {0xC00D0BB8, "invalid input format"},
    {0xC00D0BBB, "invalid output format"},
    {0xC00D0BBC, "not configured"},
    {0xC00D0BBD, "protected content"},
    {0xC00D0BC2, "no decoder for this audio codec"},
    {0xC00D0BC3, "audio codec error"},
    {0xC00D0BC4, "no decoder for this video codec"},
    {0xC00D0BC5, "video codec error"},
    {0xC00D0BC6, "invalid profile"},
    {0xC00D0BCF, "no more samples"},
    {0xC00D0BD0, "invalid sampling rate"},
    {0xC00D0BD5, "invalid number of passes"},
    {0xC00D0FCB, "damaged file"},
    {0xC00D1B83, "codec unavailable"},
};

}  // namespace

std::string StatusMeaning(uint32_t dwStatus) {
    for (const SKnownStatus& known : kKnown) {
        if (known.dwStatus == dwStatus) return known.pszMeaning;
    }
    if (dwStatus == 0) return "success";
    // The high word names who raised it: 0xC00D Windows Media, 0x8007 a
    // Win32 error, 0x8000 the plug-in itself.
    switch (dwStatus >> 16) {
    case 0xC00D: return "Windows Media error";
    case 0x8007: return "system error";
    case 0x8000: return "plug-in error";
    default: return "unknown status";
    }
}

std::string FormatStatus(uint32_t dwStatus) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", dwStatus);
    return std::string(hex) + " (" + StatusMeaning(dwStatus) + ")";
}
