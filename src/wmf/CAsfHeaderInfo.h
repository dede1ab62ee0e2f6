// What an ASF file's header object says, parsed from its bytes: file and
// stream properties with the stored format blocks, the extended stream
// properties (FFmpeg's asf demuxer drops the average time per frame), bit
// rates, bit-rate mutual exclusions, the codec list and the attributes of
// the content descriptions and metadata objects.
//
// Parsing is bounded by the object sizes and never trusts a count or a
// length: a damaged optional object is skipped, a damaged or missing
// required one fails the parse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wmf/CStreamIo.h"
#include "wmf/WmTypes.h"

enum class AsfStreamKind { Audio, Video, Command, Image, FileTransfer, Binary, Unknown };

struct SAsfAttribute {
    WORD wStreamNum = 0;  // 0: the file's own
    WORD wLangIndex = 0;
    std::u16string name;
    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
    // As the interfaces hand it out: strings UTF-16 with a terminator, BOOL
    // as 4 bytes, numbers little-endian.
    std::vector<BYTE> value;
};

struct SAsfStream {
    WORD wStreamNum = 0;
    bool bHasProperties = false;  // a Stream Properties object defines it
    AsfStreamKind kind = AsfStreamKind::Unknown;
    GUID streamType{};
    bool bEncrypted = false;
    // Video: BITMAPINFOHEADER followed by the codec data; audio:
    // WAVEFORMATEX with its cbSize extra bytes (cbSize 0 added when the file
    // stores the short form); other kinds: the stored type-specific bytes.
    std::vector<BYTE> format;
    LONG lEncodedWidth = 0;
    LONG lEncodedHeight = 0;
    // Extended stream properties, when the file has them.
    bool bHasExtended = false;
    QWORD qwAvgTimePerFrame = 0;  // 100 ns, 0 when not stated
    DWORD dwDataBitrate = 0;
    DWORD dwBufferSize = 0;  // ms
    DWORD dwMaxObjectSize = 0;
    std::u16string name;
    // Stream Bitrate Properties, else the extended data bit rate, else the
    // format's own.
    DWORD dwBitrate = 0;
};

struct SAsfExclusion {
    GUID type{};
    std::vector<WORD> streams;
};

struct SAsfCodecEntry {
    WORD wType = 0;  // 1 video, 2 audio, 0xFFFF unknown
    std::u16string name;
    std::u16string description;
    std::vector<BYTE> info;
};

class CAsfHeaderInfo {
public:
    // Reads the header object and the data object's header from the start of
    // the source. NS_E_INVALID_INPUT_FORMAT when the bytes are not ASF,
    // NS_E_INVALID_DATA when the header is truncated or damaged, the
    // stream's own code when reading fails.
    HRESULT Read(CStreamSource& source);
    // Parses a whole header object (its GUID and size included).
    HRESULT Parse(const uint8_t* p, size_t cb);

    const SAsfStream* FindStream(WORD wStreamNum) const noexcept;
    // The stored attribute of that stream and name, or null.
    const SAsfAttribute* FindAttribute(WORD wStreamNum, const std::u16string& name) const noexcept;
    // Play duration minus preroll in 100 ns, 0 when the header states none.
    QWORD PlayDuration() const noexcept;
    bool IsBroadcast() const noexcept { return (m_dwFlags & 0x1) != 0; }

    GUID m_fileId{};
    QWORD m_qwFileSize = 0;
    QWORD m_qwCreationDate = 0;
    QWORD m_qwDataPackets = 0;
    QWORD m_qwPlayDuration = 0;  // 100 ns, preroll included
    QWORD m_qwSendDuration = 0;
    QWORD m_qwPrerollMs = 0;
    DWORD m_dwFlags = 0;
    DWORD m_dwMinPacketSize = 0;
    DWORD m_dwMaxPacketSize = 0;
    DWORD m_dwMaxBitrate = 0;

    std::vector<SAsfStream> m_streams;  // in the order the header lists them
    std::vector<SAsfExclusion> m_exclusions;
    std::vector<SAsfCodecEntry> m_codecs;
    std::vector<SAsfAttribute> m_attributes;

    uint64_t m_cbHeader = 0;         // the data object starts here
    uint64_t m_cbDataObject = 0;     // its size as stored (0: unknown)
    uint64_t m_cbFirstPacket = 0;    // the first data packet starts here

private:
    void ParseObjects(const uint8_t* p, size_t cb, bool inExtension);
    void ParseFileProperties(const uint8_t* p, size_t cb);
    void ParseStreamProperties(const uint8_t* p, size_t cb);
    void ParseExtendedStream(const uint8_t* p, size_t cb);
    void ParseContentDescription(const uint8_t* p, size_t cb);
    void ParseExtendedContent(const uint8_t* p, size_t cb);
    void ParseMetadata(const uint8_t* p, size_t cb, bool library);
    void ParseStreamBitrates(const uint8_t* p, size_t cb);
    void ParseExclusion(const uint8_t* p, size_t cb);
    void ParseCodecList(const uint8_t* p, size_t cb);
    SAsfStream& StreamSlot(WORD wStreamNum);

    bool m_bHasFileProperties = false;
    std::vector<std::pair<WORD, DWORD>> m_bitrates;
};
