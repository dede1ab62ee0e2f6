#include "wmf/CAsfHeaderInfo.h"

#include <algorithm>
#include <cstring>

#include "win/NsError.h"
#include "wmf/CByteReader.h"

namespace {

constexpr GUID kHeaderObject{0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kDataObject{0x75B22636, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kFileProperties{0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kStreamProperties{0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kHeaderExtension{0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kCodecList{0x86D15240, 0x311D, 0x11D0, {0xA3, 0xA4, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6}};
constexpr GUID kContentDescription{0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kExtendedContent{0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
constexpr GUID kStreamBitrates{0x7BF875CE, 0x468D, 0x11D1, {0x8D, 0x82, 0x00, 0x60, 0x97, 0xC9, 0xA2, 0xB2}};
constexpr GUID kBitrateExclusion{0xD6E229DC, 0x35DA, 0x11D1, {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
constexpr GUID kExtendedStream{0x14E6A5CB, 0xC672, 0x4332, {0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A}};
constexpr GUID kMetadata{0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
constexpr GUID kMetadataLibrary{0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};

constexpr GUID kAudioMedia{0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kVideoMedia{0xBC19EFC0, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kCommandMedia{0x59DACFC0, 0x59E6, 0x11D0, {0xA3, 0xAC, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6}};
constexpr GUID kJfifMedia{0xB61BE100, 0x5B4E, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kDegradableJpegMedia{0x35907DE0, 0xE415, 0x11CF, {0xA9, 0x17, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kFileTransferMedia{0x91BD222C, 0xF21C, 0x497A, {0x8B, 0x6D, 0x5A, 0xA8, 0x6B, 0xFC, 0x01, 0x85}};
constexpr GUID kBinaryMedia{0x3AFB65E2, 0x47EF, 0x40F2, {0xAC, 0x2C, 0x70, 0xA9, 0x0D, 0x71, 0xD3, 0x43}};

constexpr size_t kObjectHeader = 24;  // GUID and size
constexpr size_t kHeaderObjectFixed = 30;
constexpr size_t kDataObjectFixed = 50;
// Cover art makes headers large, but nothing sane comes near this.
constexpr uint64_t kMaxHeaderSize = 64ull << 20;

std::vector<BYTE> StringValue(const std::u16string& text) {
    std::vector<BYTE> value((text.size() + 1) * sizeof(char16_t));
    std::memcpy(value.data(), text.c_str(), value.size());
    return value;
}

// A stored attribute value in the form the interfaces hand out. Strings
// get a terminator, BOOL becomes 4 bytes whatever width the object used.
bool MakeValue(WORD wType, const uint8_t* p, size_t cb, SAsfAttribute& attr) {
    switch (wType) {
    case 0: {
        CByteReader r(p, cb);
        attr.type = WMT_TYPE_STRING;
        attr.value = StringValue(r.Utf16(cb & ~size_t{1}));
        return true;
    }
    case 1:
        attr.type = WMT_TYPE_BINARY;
        attr.value.assign(p, p + cb);
        return true;
    case 2: {
        attr.type = WMT_TYPE_BOOL;
        DWORD v = 0;
        for (size_t i = 0; i < cb; ++i) v |= p[i];
        const DWORD flag = v ? 1 : 0;
        attr.value.resize(4);
        std::memcpy(attr.value.data(), &flag, 4);
        return true;
    }
    case 3:
    case 4:
    case 5:
    case 6: {
        static constexpr size_t kWidth[] = {4, 8, 2, 16};
        static constexpr WMT_ATTR_DATATYPE kType[] = {WMT_TYPE_DWORD, WMT_TYPE_QWORD, WMT_TYPE_WORD,
                                                      WMT_TYPE_GUID};
        const size_t width = kWidth[wType - 3];
        if (cb < width) return false;
        attr.type = kType[wType - 3];
        attr.value.assign(p, p + width);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

HRESULT CAsfHeaderInfo::Read(CStreamSource& source) {
    uint8_t fixed[kHeaderObjectFixed];
    uint32_t cbRead = 0;
    HRESULT hr = source.ReadAt(0, fixed, sizeof fixed, &cbRead);
    if (FAILED(hr)) return hr;
    CByteReader r(fixed, cbRead);
    if (cbRead < sizeof fixed || !(r.Guid() == kHeaderObject)) return NS_E_INVALID_INPUT_FORMAT;
    const uint64_t cbHeader = r.U64();
    if (cbHeader < kHeaderObjectFixed || cbHeader > kMaxHeaderSize ||
        cbHeader + kDataObjectFixed > source.Size())
        return NS_E_INVALID_DATA;
    std::vector<uint8_t> bytes(static_cast<size_t>(cbHeader + kDataObjectFixed));
    hr = source.ReadAt(0, bytes.data(), static_cast<uint32_t>(bytes.size()), &cbRead);
    if (FAILED(hr)) return hr;
    if (cbRead < bytes.size()) return NS_E_INVALID_DATA;
    hr = Parse(bytes.data(), static_cast<size_t>(cbHeader));
    if (FAILED(hr)) return hr;
    CByteReader data(bytes.data() + cbHeader, kDataObjectFixed);
    if (!(data.Guid() == kDataObject)) return NS_E_INVALID_DATA;
    m_cbDataObject = data.U64();
    m_cbHeader = cbHeader;
    m_cbFirstPacket = cbHeader + kDataObjectFixed;
    return S_OK;
}

HRESULT CAsfHeaderInfo::Parse(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    if (!(r.Guid() == kHeaderObject)) return NS_E_INVALID_INPUT_FORMAT;
    const uint64_t size = r.U64();
    if (size < kHeaderObjectFixed || size > cb) return NS_E_INVALID_DATA;
    ParseObjects(p + kHeaderObjectFixed, static_cast<size_t>(size) - kHeaderObjectFixed, false);
    if (!m_bHasFileProperties) return NS_E_INVALID_DATA;

    std::erase_if(m_streams, [](const SAsfStream& s) { return !s.bHasProperties; });
    for (auto& stream : m_streams) {
        const auto it = std::find_if(m_bitrates.begin(), m_bitrates.end(),
                                     [&](const auto& b) { return b.first == stream.wStreamNum; });
        if (it != m_bitrates.end() && it->second) {
            stream.dwBitrate = it->second;
        } else if (stream.dwDataBitrate) {
            stream.dwBitrate = stream.dwDataBitrate;
        } else if (stream.kind == AsfStreamKind::Audio && stream.format.size() >= sizeof(WAVEFORMATEX)) {
            WAVEFORMATEX wfx;
            std::memcpy(&wfx, stream.format.data(), sizeof wfx);
            stream.dwBitrate = wfx.nAvgBytesPerSec * 8;
        }
    }
    std::stable_sort(m_streams.begin(), m_streams.end(),
                     [](const SAsfStream& a, const SAsfStream& b) { return a.wStreamNum < b.wStreamNum; });
    return S_OK;
}

void CAsfHeaderInfo::ParseObjects(const uint8_t* p, size_t cb, bool inExtension) {
    CByteReader r(p, cb);
    while (r.Remaining() >= kObjectHeader) {
        const uint8_t* object = r.Here();
        const GUID id = r.Guid();
        const uint64_t size = r.U64();
        // An object that claims more than its parent holds ends the list.
        if (size < kObjectHeader || size - kObjectHeader > r.Remaining()) break;
        const uint8_t* body = object + kObjectHeader;
        const auto cbBody = static_cast<size_t>(size - kObjectHeader);
        r.Skip(cbBody);
        if (id == kFileProperties && !inExtension) {
            ParseFileProperties(body, cbBody);
        } else if (id == kStreamProperties) {
            ParseStreamProperties(body, cbBody);
        } else if (id == kHeaderExtension && !inExtension) {
            // Reserved GUID and word, then the size of the nested objects.
            CByteReader ext(body, cbBody);
            ext.Skip(18);
            const uint32_t cbData = ext.U32();
            if (ext.Ok()) ParseObjects(ext.Here(), std::min<size_t>(cbData, ext.Remaining()), true);
        } else if (id == kExtendedStream && inExtension) {
            ParseExtendedStream(body, cbBody);
        } else if (id == kContentDescription) {
            ParseContentDescription(body, cbBody);
        } else if (id == kExtendedContent) {
            ParseExtendedContent(body, cbBody);
        } else if (id == kMetadata && inExtension) {
            ParseMetadata(body, cbBody, false);
        } else if (id == kMetadataLibrary && inExtension) {
            ParseMetadata(body, cbBody, true);
        } else if (id == kStreamBitrates) {
            ParseStreamBitrates(body, cbBody);
        } else if (id == kBitrateExclusion) {
            ParseExclusion(body, cbBody);
        } else if (id == kCodecList) {
            ParseCodecList(body, cbBody);
        }
    }
}

void CAsfHeaderInfo::ParseFileProperties(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    m_fileId = r.Guid();
    m_qwFileSize = r.U64();
    m_qwCreationDate = r.U64();
    m_qwDataPackets = r.U64();
    m_qwPlayDuration = r.U64();
    m_qwSendDuration = r.U64();
    m_qwPrerollMs = r.U64();
    m_dwFlags = r.U32();
    m_dwMinPacketSize = r.U32();
    m_dwMaxPacketSize = r.U32();
    m_dwMaxBitrate = r.U32();
    m_bHasFileProperties = r.Ok();
}

SAsfStream& CAsfHeaderInfo::StreamSlot(WORD wStreamNum) {
    for (auto& s : m_streams)
        if (s.wStreamNum == wStreamNum) return s;
    m_streams.emplace_back();
    m_streams.back().wStreamNum = wStreamNum;
    return m_streams.back();
}

void CAsfHeaderInfo::ParseStreamProperties(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    const GUID type = r.Guid();
    r.Skip(16 + 8);  // error correction type, time offset
    const uint32_t cbTypeSpecific = r.U32();
    r.Skip(4);  // error correction data length
    const uint16_t flags = r.U16();
    r.Skip(4);
    const uint8_t* typeSpecific = r.Bytes(cbTypeSpecific);
    const WORD wStreamNum = flags & 0x7F;
    if (!typeSpecific || wStreamNum == 0) return;
    // The first definition of a number counts; a second one is damage.
    for (const auto& s : m_streams)
        if (s.wStreamNum == wStreamNum && s.bHasProperties) return;

    SAsfStream stream;
    stream.streamType = type;
    stream.bEncrypted = (flags & 0x8000) != 0;
    if (type == kAudioMedia) {
        if (cbTypeSpecific < 16) return;
        stream.kind = AsfStreamKind::Audio;
        WAVEFORMATEX wfx{};
        std::memcpy(&wfx, typeSpecific, std::min<size_t>(cbTypeSpecific, sizeof wfx));
        if (cbTypeSpecific < sizeof wfx) wfx.cbSize = 0;
        wfx.cbSize = static_cast<WORD>(std::min<size_t>(wfx.cbSize, cbTypeSpecific - std::min<size_t>(cbTypeSpecific, sizeof wfx)));
        stream.format.resize(sizeof wfx + wfx.cbSize);
        std::memcpy(stream.format.data(), &wfx, sizeof wfx);
        if (wfx.cbSize) std::memcpy(stream.format.data() + sizeof wfx, typeSpecific + sizeof wfx, wfx.cbSize);
    } else if (type == kVideoMedia) {
        CByteReader v(typeSpecific, cbTypeSpecific);
        stream.lEncodedWidth = static_cast<LONG>(v.U32());
        stream.lEncodedHeight = static_cast<LONG>(v.U32());
        v.Skip(1);
        const uint16_t cbFormat = v.U16();
        const uint8_t* format = v.Bytes(std::min<size_t>(cbFormat, v.Remaining()));
        if (!v.Ok() || !format || cbFormat < sizeof(BITMAPINFOHEADER)) return;
        const size_t cbStored = std::min<size_t>(cbFormat, cbTypeSpecific - 11);
        if (cbStored < sizeof(BITMAPINFOHEADER)) return;
        stream.kind = AsfStreamKind::Video;
        stream.format.assign(format, format + cbStored);
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, stream.format.data(), sizeof bih);
        // biSize counts the codec data; keep it within what is stored.
        if (bih.biSize < sizeof bih || bih.biSize > cbStored) {
            bih.biSize = static_cast<DWORD>(cbStored);
            std::memcpy(stream.format.data(), &bih, sizeof bih);
        }
        stream.format.resize(bih.biSize);
    } else {
        if (type == kCommandMedia) stream.kind = AsfStreamKind::Command;
        else if (type == kJfifMedia || type == kDegradableJpegMedia) stream.kind = AsfStreamKind::Image;
        else if (type == kFileTransferMedia) stream.kind = AsfStreamKind::FileTransfer;
        else if (type == kBinaryMedia) stream.kind = AsfStreamKind::Binary;
        stream.format.assign(typeSpecific, typeSpecific + cbTypeSpecific);
    }
    SAsfStream& slot = StreamSlot(wStreamNum);
    slot.bHasProperties = true;
    slot.kind = stream.kind;
    slot.streamType = stream.streamType;
    slot.bEncrypted = stream.bEncrypted;
    slot.format = std::move(stream.format);
    slot.lEncodedWidth = stream.lEncodedWidth;
    slot.lEncodedHeight = stream.lEncodedHeight;
}

void CAsfHeaderInfo::ParseExtendedStream(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    r.Skip(16);  // start and end time
    const uint32_t dataBitrate = r.U32();
    const uint32_t bufferSize = r.U32();
    r.Skip(4 * 4);  // initial fullness, alternate rate, size and fullness
    const uint32_t maxObjectSize = r.U32();
    r.Skip(4);  // flags
    const WORD wStreamNum = r.U16() & 0x7F;
    r.Skip(2);  // language index
    const uint64_t avgTimePerFrame = r.U64();
    const uint16_t nameCount = r.U16();
    const uint16_t extensionCount = r.U16();
    if (!r.Ok() || wStreamNum == 0) return;
    std::u16string name;
    for (uint16_t i = 0; i < nameCount && r.Ok(); ++i) {
        r.Skip(2);
        const uint16_t cbName = r.U16();
        std::u16string text = r.Utf16(cbName);
        if (name.empty()) name = std::move(text);
    }
    for (uint16_t i = 0; i < extensionCount && r.Ok(); ++i) {
        r.Skip(16 + 2);
        r.Skip(r.U32());
    }
    if (!r.Ok()) return;
    SAsfStream& slot = StreamSlot(wStreamNum);
    slot.bHasExtended = true;
    slot.qwAvgTimePerFrame = avgTimePerFrame;
    slot.dwDataBitrate = dataBitrate;
    slot.dwBufferSize = bufferSize;
    slot.dwMaxObjectSize = maxObjectSize;
    slot.name = std::move(name);
    // A stream that only this object defines carries its Stream Properties
    // object inside.
    if (r.Remaining() >= kObjectHeader) {
        const uint8_t* object = r.Here();
        const GUID id = r.Guid();
        const uint64_t size = r.U64();
        if (id == kStreamProperties && size >= kObjectHeader && size - kObjectHeader <= r.Remaining())
            ParseStreamProperties(object + kObjectHeader, static_cast<size_t>(size - kObjectHeader));
    }
}

void CAsfHeaderInfo::ParseContentDescription(const uint8_t* p, size_t cb) {
    static constexpr const char16_t* kNames[] = {u"Title", u"Author", u"Copyright", u"Description",
                                                 u"Rating"};
    CByteReader r(p, cb);
    uint16_t lengths[5];
    for (auto& len : lengths) len = r.U16();
    for (size_t i = 0; i < 5 && r.Ok(); ++i) {
        std::u16string text = r.Utf16(lengths[i]);
        if (!r.Ok() || text.empty()) continue;
        SAsfAttribute attr;
        attr.name = kNames[i];
        attr.type = WMT_TYPE_STRING;
        attr.value = StringValue(text);
        m_attributes.push_back(std::move(attr));
    }
}

void CAsfHeaderInfo::ParseExtendedContent(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        SAsfAttribute attr;
        attr.name = r.Utf16(r.U16());
        const uint16_t type = r.U16();
        const uint16_t cbValue = r.U16();
        const uint8_t* value = r.Bytes(cbValue);
        if (!value || attr.name.empty()) continue;
        if (MakeValue(type, value, cbValue, attr)) m_attributes.push_back(std::move(attr));
    }
}

void CAsfHeaderInfo::ParseMetadata(const uint8_t* p, size_t cb, bool library) {
    CByteReader r(p, cb);
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        SAsfAttribute attr;
        const uint16_t langIndex = r.U16();
        attr.wLangIndex = library ? langIndex : 0;
        attr.wStreamNum = r.U16() & 0x7F;
        const uint16_t cbName = r.U16();
        const uint16_t type = r.U16();
        const uint32_t cbValue = r.U32();
        attr.name = r.Utf16(cbName);
        const uint8_t* value = r.Bytes(cbValue);
        if (!value || attr.name.empty()) continue;
        if (MakeValue(type, value, cbValue, attr)) m_attributes.push_back(std::move(attr));
    }
}

void CAsfHeaderInfo::ParseStreamBitrates(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count; ++i) {
        const WORD wStreamNum = r.U16() & 0x7F;
        const DWORD bitrate = r.U32();
        if (!r.Ok()) break;
        m_bitrates.emplace_back(wStreamNum, bitrate);
    }
}

void CAsfHeaderInfo::ParseExclusion(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    SAsfExclusion exclusion;
    exclusion.type = r.Guid();
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count; ++i) {
        const WORD wStreamNum = r.U16() & 0x7F;
        if (!r.Ok()) break;
        exclusion.streams.push_back(wStreamNum);
    }
    if (!exclusion.streams.empty()) m_exclusions.push_back(std::move(exclusion));
}

void CAsfHeaderInfo::ParseCodecList(const uint8_t* p, size_t cb) {
    CByteReader r(p, cb);
    r.Skip(16);
    const uint32_t count = r.U32();
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        SAsfCodecEntry entry;
        entry.wType = r.U16();
        entry.name = r.Utf16(uint64_t{r.U16()} * 2);
        entry.description = r.Utf16(uint64_t{r.U16()} * 2);
        const uint16_t cbInfo = r.U16();
        const uint8_t* info = r.Bytes(cbInfo);
        if (!info) break;
        entry.info.assign(info, info + cbInfo);
        m_codecs.push_back(std::move(entry));
    }
}

const SAsfStream* CAsfHeaderInfo::FindStream(WORD wStreamNum) const noexcept {
    for (const auto& s : m_streams)
        if (s.wStreamNum == wStreamNum) return &s;
    return nullptr;
}

const SAsfAttribute* CAsfHeaderInfo::FindAttribute(WORD wStreamNum, const std::u16string& name) const noexcept {
    for (const auto& a : m_attributes)
        if (a.wStreamNum == wStreamNum && a.name == name) return &a;
    return nullptr;
}

QWORD CAsfHeaderInfo::PlayDuration() const noexcept {
    const QWORD preroll = m_qwPrerollMs * 10'000;
    return m_qwPlayDuration > preroll ? m_qwPlayDuration - preroll : 0;
}
