// What a profile's streams hold, read through the interfaces only, so that
// the same checks serve the fake runtime and the real layer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wmf/WmInterfaces.h"

struct SStreamSnapshot {
    GUID type = GUID_NULL;
    WORD wNumber = 0;
    std::u16string name;
    std::u16string connection;
    DWORD dwBitrate = 0;
    WM_MEDIA_TYPE mediaType{};  // pbFormat null: the bytes are in format
    std::vector<BYTE> format;
    std::optional<DWORD> quality;  // video streams only
    std::optional<LONGLONG> keyFrameSpacing;
    std::optional<BOOL> vbrEnabled;
    std::optional<DWORD> peakBitrate;
    std::optional<DWORD> peakBufferMs;
    std::vector<std::pair<GUID, WORD>> extensions;  // id and bytes per sample

    const VIDEOINFOHEADER& VideoInfo() const;
    const WAVEFORMATEX& WaveFormat() const;
};

struct SProfileSnapshot {
    WMT_VERSION version{};
    std::u16string name;
    std::vector<SStreamSnapshot> streams;
    DWORD cExclusions = 0;

    // The stream of that major type, or null.
    const SStreamSnapshot* Find(const GUID& type) const;
};

// Reads every stream of pProfile; failures are test failures.
SProfileSnapshot SnapshotProfile(IWMProfile* pProfile);
SStreamSnapshot SnapshotStream(IWMStreamConfig* pConfig);
