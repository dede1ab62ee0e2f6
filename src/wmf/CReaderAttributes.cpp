#include "wmf/CReaderAttributes.h"

#include <cstring>

namespace {

template <class T>
SAsfAttribute Make(const char16_t* name, WMT_ATTR_DATATYPE type, T value) {
    SAsfAttribute attr;
    attr.name = name;
    attr.type = type;
    attr.value.resize(sizeof value);
    std::memcpy(attr.value.data(), &value, sizeof value);
    return attr;
}

SAsfAttribute MakeBool(const char16_t* name, bool value) {
    return Make(name, WMT_TYPE_BOOL, static_cast<BOOL>(value ? TRUE : FALSE));
}

}  // namespace

void CReaderAttributes::Build(const CAsfHeaderInfo& header, const SFileFacts& facts) {
    m_attributes.clear();
    bool bProtected = false;
    for (const auto& s : header.m_streams) bProtected = bProtected || s.bEncrypted;
    m_attributes.push_back(Make(u"Duration", WMT_TYPE_QWORD, static_cast<QWORD>(facts.cnsDuration)));
    m_attributes.push_back(Make(u"Bitrate", WMT_TYPE_DWORD, static_cast<DWORD>(header.m_dwMaxBitrate)));
    m_attributes.push_back(MakeBool(u"Seekable", true));
    m_attributes.push_back(MakeBool(u"Stridable", false));
    m_attributes.push_back(MakeBool(u"Broadcast", header.IsBroadcast()));
    m_attributes.push_back(MakeBool(u"Is_Protected", bProtected));
    m_attributes.push_back(MakeBool(u"Is_Trusted", false));
    m_attributes.push_back(MakeBool(u"HasAudio", facts.bHasAudio));
    m_attributes.push_back(MakeBool(u"HasImage", facts.bHasImage));
    m_attributes.push_back(MakeBool(u"HasScript", facts.bHasScript));
    m_attributes.push_back(MakeBool(u"HasVideo", facts.bHasVideo));
    m_attributes.push_back(Make(u"FileSize", WMT_TYPE_QWORD, static_cast<QWORD>(facts.cbFileSize)));
    for (const auto& attr : header.m_attributes) {
        // What the reader works out replaces what a writer stored.
        if (attr.wStreamNum == 0 && ByName(0, attr.name)) continue;
        m_attributes.push_back(attr);
    }
}

WORD CReaderAttributes::Count(WORD wStreamNum) const noexcept {
    WORD n = 0;
    for (const auto& a : m_attributes)
        if (a.wStreamNum == wStreamNum && n < 0xFFFF) ++n;
    return n;
}

const SAsfAttribute* CReaderAttributes::ByIndex(WORD wStreamNum, WORD wIndex) const noexcept {
    WORD n = 0;
    for (const auto& a : m_attributes) {
        if (a.wStreamNum != wStreamNum) continue;
        if (n == wIndex) return &a;
        ++n;
    }
    return nullptr;
}

const SAsfAttribute* CReaderAttributes::ByName(WORD wStreamNum, const std::u16string& name,
                                               WORD* pwIndex) const noexcept {
    WORD n = 0;
    for (const auto& a : m_attributes) {
        if (a.wStreamNum != wStreamNum) continue;
        if (a.name == name) {
            if (pwIndex) *pwIndex = n;
            return &a;
        }
        ++n;
    }
    return nullptr;
}

std::vector<WORD> CReaderAttributes::Indices(WORD wStreamNum, const std::u16string& name,
                                             const WORD* pwLangIndex) const {
    std::vector<WORD> indices;
    WORD n = 0;
    for (const auto& a : m_attributes) {
        if (a.wStreamNum != wStreamNum) continue;
        if ((name.empty() || a.name == name) && (!pwLangIndex || a.wLangIndex == *pwLangIndex)) indices.push_back(n);
        ++n;
    }
    return indices;
}
