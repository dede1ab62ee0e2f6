// Fakes of the Windows Media runtime for the reader's rarely taken paths: a
// scripted file whose outputs, formats, samples and header the test writes,
// served by a synchronous reader that records what it was asked. The test
// executable defines WMCreateSyncReader and WMCreateProfileManager with
// these fakes in place of the runtime's.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wmf/WmInterfaces.h"

// A media type with its format block, copied out as the runtime does.
struct FakeMediaType {
    GUID majortype = GUID_NULL;
    GUID subtype = GUID_NULL;
    GUID formattype = GUID_NULL;
    std::vector<BYTE> format;

    HRESULT CopyTo(WM_MEDIA_TYPE* pType, DWORD* pcbType) const noexcept;
};

// A stored video format (FORMAT_VideoInfo with the four-character code).
FakeMediaType VideoType(DWORD dwFourCC, LONG nWidth, LONG nHeight, LONGLONG cnsAvgTimePerFrame = 0,
                        const std::vector<BYTE>& codecData = {});
// A decoded picture format the output offers.
FakeMediaType PictureType(const GUID& subtype);
// An audio format (FORMAT_WaveFormatEx); major is audio or stream.
FakeMediaType WaveType(const GUID& major, WORD wTag, WORD nChannels, DWORD nRate, WORD wBits,
                       WORD nBlockAlign = 4);

struct FakeSample {
    QWORD cnsTime = 0;
    std::vector<BYTE> data{0x00};
    // The content-type sample property, when the sample carries one.
    std::optional<BYTE> contentType;
};

// n samples step apart from first on.
std::vector<FakeSample> EvenSamples(size_t n, QWORD cnsStep, QWORD cnsFirst = 0);

struct FakeOutput {
    WORD wStream = 1;
    FakeMediaType outputType;  // GetType answers its major type
    FakeMediaType streamType;  // the stream configuration's stored format
    DWORD dwBitrate = 0;
    std::vector<FakeMediaType> formats;
    // SetRange(t) starts at the last sample at or before t; past the last
    // sample's time there is none, as past the end of a stream.
    std::vector<FakeSample> samples;
    // The profile knows the stream (has a configuration for it).
    bool bInProfile = true;
};

struct FakeFile {
    std::vector<FakeOutput> outputs;
    std::optional<QWORD> duration;
    std::optional<DWORD> aspectX;
    std::optional<DWORD> aspectY;
    bool bHeaderInfo = true;
    // SetRange to a later time fails.
    QWORD cnsSeekLimit = UINT64_MAX;
};

// What the reader was asked.
struct FakeCalls {
    int cReadersCreated = 0;
    int cOpened = 0;
    int cClosed = 0;
    std::map<WORD, WMT_STREAM_SELECTION> selection;
    std::map<WORD, BOOL> compressed;
    std::map<DWORD, size_t> installedFormat;  // output -> index in FakeOutput::formats
    std::vector<std::u16string> settings;
    std::vector<QWORD> ranges;
};

struct FakeRuntime {
    bool bComReady = true;
    bool bVideoCodec = true;
    FakeFile file;
    FakeCalls calls;
};

// The one runtime of the test process; tests reset it.
FakeRuntime& Fake();
