// What the plug-in requires of the host's own libraries. A real host ships
// these libraries; our stand-ins in src/host implement the same declarations,
// so either can be loaded beside the plug-in without rebuilding it.
//
//   libVRXVelmoraSysU.so   log, message box, settings, library information
//   libVRXVelmoraIOU.so    file data source, disk state, path conversion
//   libVRXProxyCodecU.so   elementary-stream parsers, audio analyser,
//                          bits per pixel, aspect-ratio arithmetic
#pragma once

#include <cstdint>

#include "vrx/PlugRecords.h"

// Log entry types of VRX_OutputW: 8 routine diagnostics, 1 a warning.
enum INFOTYPE : uint32_t {
    INFOTYPE_WARNING = 1,
    INFOTYPE_DIAGNOSTIC = 8,
};

// Data-source modes of CSoftDataSource::Construct; the plug-in uses 0.
enum IOWordkMode : uint32_t {
    IOWORKMODE_READ = 0,
};

// Library information answered by QZGetLibInfo. The caller sets cbSize to
// the size it allocated; the library fills what fits.
struct SVRXLibInfo {
    uint32_t cbSize;
    uint32_t dwVersion;             // major << 16 | minor
    vrx::WChar szName[64];          // zero-terminated
    vrx::WChar szVersion[32];       // zero-terminated, "major.minor.build.revision"
};
static_assert(sizeof(SVRXLibInfo) == 200);

extern "C" {

// --- libVRXVelmoraSysU -----------------------------------------------------

// One line to the host's log. The host formats: "%s" takes a UTF-16 string,
// %d/%u/%x/%c/%lld as in printf.
void VRX_OutputW(const vrx::WChar* source, INFOTYPE type, const vrx::WChar* format, ...);

// Shows a message to the user (here: the host log and stderr). Returns 0.
int32_t VRXMSGW(const vrx::WChar* source, const vrx::WChar* message);

// Reads an integer setting. *value is left alone when the setting is unset;
// the result is 1 when it was found, 0 otherwise.
int32_t VRX_GetGlobalIntW(const vrx::WChar* keyPath, const vrx::WChar* section,
                          const vrx::WChar* name, uint32_t* value, int32_t flag);

// The host library's name and version. 0 on success, 0x80000005 for a null
// record, 0x80000006 when cbSize is smaller than the record.
uint32_t QZGetLibInfo(SVRXLibInfo* info);

// --- libVRXVelmoraIOU ------------------------------------------------------

// Copies the local form of a path into local (260 wide characters). Paths
// are already local here; the result is 1, or 0 for a null argument.
int32_t ConvertUNC2LocalPathName(const vrx::WChar* unc, vrx::WChar* local);

// 0 when the drive (the first character of a path) has been marked failed.
int32_t GetDiskStatus(vrx::WChar drive);
// Marks the drive failed until VRX_ClearDiskError clears it.
int32_t SetDiskError(vrx::WChar drive);
// Host-side addition: a host clears the mark when it starts a new job.
void VRX_ClearDiskError(vrx::WChar drive);

// --- libVRXProxyCodecU -----------------------------------------------------

// Bits per pixel of a host colour format, 0 for an unknown one.
uint16_t GetPixBits(PLUG_COLOR_FORMAT_ format);

// Display aspect ratio <-> sample (pixel) aspect ratio for a width x height
// picture, reduced. A zero ratio on input means square pixels. Returns 1 on
// success, 0 when an output pointer is null or the size is zero.
int32_t DARtoSAR(uint32_t width, uint32_t height, uint32_t x, uint32_t y,
                 uint32_t* outX, uint32_t* outY);
int32_t SARtoDAR(uint32_t width, uint32_t height, uint32_t x, uint32_t y,
                 uint32_t* outX, uint32_t* outY);

// Parse the first compressed sample of an MPEG-4 Part 2 (VOL) or H.264 (SPS)
// stream into the video description. A result below 1 means failure.
int32_t GetMpeg4VideoInfo(const uint8_t* data, int32_t length, SPlugVideoStreamInfo* info);
int32_t GetH264VideoInfo(const uint8_t* data, int32_t length, SPlugVideoStreamInfo* info);

}  // extern "C"

// The host's file data source. The plug-in calls only the operations with
// names; the Host* slots belong to the host and keep the named operations at
// the slot numbers the host's class gives them (counting the destructor as
// one slot).
class CSoftDataSource {
public:
    static CSoftDataSource* Construct(IOWordkMode mode);

    virtual ~CSoftDataSource();                                           // slot 0
    virtual int32_t HostSlot1();
    virtual int32_t HostSlot2();
    virtual int32_t HostSlot3();
    virtual int32_t HostSlot4();
    virtual int32_t HostSlot5();
    virtual int32_t HostSlot6();
    virtual int32_t HostSlot7();
    virtual int32_t HostSlot8();
    virtual int32_t HostSlot9();
    virtual int32_t HostSlot10();
    virtual int32_t HostSlot11();
    virtual int32_t HostSlot12();
    virtual int32_t HostSlot13();
    virtual int32_t HostSlot14();
    virtual int32_t HostSlot15();
    virtual void Cleanup();                                               // slot 16
    virtual int32_t HostSlot17();
    virtual int32_t HostSlot18();
    virtual int32_t HostSlot19();
    // Negative on failure. flags: 0x08000000 asks for sequential scanning.
    virtual int32_t Open(const vrx::WChar* name, uint32_t flags,
                         const vrx::WChar* secondName, uint64_t reserved);  // slot 20
    virtual int32_t HostSlot21();
    virtual void Close();                                                 // slot 22
    virtual int32_t HostSlot23();
    virtual int32_t HostSlot24();
    virtual int32_t HostSlot25();
    virtual int32_t HostSlot26();
    virtual int32_t HostSlot27();
    virtual int32_t HostSlot28();
    virtual int32_t HostSlot29();
    // mode: 1 from the start, 3 from the current position, 2 from the end.
    // Returns the new position.
    virtual uint64_t Seek(uint64_t offset, uint32_t mode);               // slot 30
    // Returns the bytes read: fewer than count at the end or on an error.
    virtual uint32_t Read(void* buffer, uint32_t count);                 // slot 31
    virtual uint64_t GetSize();                                          // slot 32

protected:
    CSoftDataSource() = default;
    CSoftDataSource(const CSoftDataSource&) = delete;
    CSoftDataSource& operator=(const CSoftDataSource&) = delete;
};

// The host's compressed-audio analyser (AAC here).
class CVRXAudioAnalyser {
public:
    CVRXAudioAnalyser();
    virtual ~CVRXAudioAnalyser();
    virtual int32_t InitAudioAnalyser(PLUG_AUDIO_TYPE type, uint32_t flags);
    // Parses one compressed frame into info; extra may be null. A result
    // below 1 means failure.
    virtual int32_t GetAudioInfo(int32_t index, const uint8_t* data, int32_t length,
                                 SPlugAudioStreamInfo* info, SPlugAppendInfo_T* extra);
    virtual int32_t Release();

    CVRXAudioAnalyser(const CVRXAudioAnalyser&) = delete;
    CVRXAudioAnalyser& operator=(const CVRXAudioAnalyser&) = delete;

private:
    PLUG_AUDIO_TYPE m_type = PLUG_AUDIO_TYPE_NONE;
    uint32_t m_flags = 0;
};
