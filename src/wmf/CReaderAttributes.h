// The attributes a reader's IWMHeaderInfo answers: the file's own ones that
// the reader works out (Duration, Bitrate, Seekable, HasAudio, ...) followed
// by those stored in the header's content descriptions and metadata
// objects, each list per stream number (0: the file). Indexes are
// positions within one stream's list.
#pragma once

#include <string>
#include <vector>

#include "wmf/CAsfHeaderInfo.h"

class CReaderAttributes {
public:
    struct SFileFacts {
        QWORD cnsDuration = 0;
        QWORD cbFileSize = 0;
        bool bHasAudio = false;
        bool bHasVideo = false;
        bool bHasImage = false;
        bool bHasScript = false;
    };
    // Throws std::bad_alloc.
    void Build(const CAsfHeaderInfo& header, const SFileFacts& facts);
    void Clear() noexcept { m_attributes.clear(); }

    WORD Count(WORD wStreamNum) const noexcept;
    const SAsfAttribute* ByIndex(WORD wStreamNum, WORD wIndex) const noexcept;
    // The first attribute of that name, and its index.
    const SAsfAttribute* ByName(WORD wStreamNum, const std::u16string& name, WORD* pwIndex = nullptr) const noexcept;
    // Indexes of every attribute of that name (and language, unless null).
    std::vector<WORD> Indices(WORD wStreamNum, const std::u16string& name, const WORD* pwLangIndex) const;

private:
    std::vector<SAsfAttribute> m_attributes;
};
