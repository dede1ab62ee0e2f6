// A fake Windows Media runtime for the writer's unit tests: the test
// executable defines WMCreateProfileManager and WMCreateWriter itself, so
// the plug-in code under test reaches these objects instead of the real
// layer. They can list any codec formats, fail any call, block in
// WriteSample or EndWriting, and count how many of them are alive.
//
// Configure World() before the code under test runs; its observations are
// filled from whatever thread the fakes are called on.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "writer/ProfileSnapshot.h"
#include "wmf/WmInterfaces.h"

// Holds back every thread that passes while it is closed.
class CGate {
public:
    void Close();
    void Open();
    void Pass();
    // Whether a thread has been held for the last call (waits up to 10 s).
    bool WaitUntilHeld();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bOpen = true;
    int m_cHeld = 0;
};

struct SFakeVideoFormat {
    DWORD dwFourCC;
    bool bVideoInfo = true;  // false: a format block of another type
};

struct SFakeAudioCodec {
    std::vector<WAVEFORMATEX> formats;
    bool bVbrOnly = false;      // lists nothing until _VBRENABLED is set
    bool bNotWaveFormat = false;  // its formats are not described by a WAVEFORMATEX
};

struct SFakeSample {
    DWORD dwInput;
    QWORD cnsTime;
    DWORD dwFlags;
    bool bPreprocessed;
    std::vector<BYTE> data;
    std::vector<std::pair<GUID, std::vector<BYTE>>> properties;
    bool HasProperty(const GUID& id) const;
};

struct SFakeAttribute {
    WORD wStreamNum;
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
};

struct SFakeWorld {
    // --- configuration --------------------------------------------------
    bool bNoManager = false;    // WMCreateProfileManager fails
    bool bNoManager2 = false;   // the manager has no IWMProfileManager2
    std::vector<std::vector<SFakeVideoFormat>> videoCodecs;
    std::vector<SFakeAudioCodec> audioCodecs;
    // "Class::Method" (or "Class::QI(Interface)") -> the result it fails
    // with; nth 0 fails every call, otherwise only the nth (from 1).
    struct SFailure {
        HRESULT hr;
        int nth = 0;
    };
    std::map<std::string, SFailure> failures;
    DWORD cSinks = 1;
    GUID extraInputType = GUID_NULL;  // an input of that type besides the profile's
    DWORD dwMaxPasses = 1;
    CGate writeSampleGate;  // WriteSample and PreprocessSample
    CGate endWritingGate;

    // --- observations ---------------------------------------------------
    std::vector<std::string> calls;
    std::vector<WMT_VERSION> systemVersions;
    std::vector<WMT_VERSION> emptyProfileVersions;
    std::vector<SStreamSnapshot> writerProfile;  // the streams SetProfile saw
    std::u16string outputFilename;
    std::map<DWORD, std::vector<BYTE>> inputTypes;  // input -> WM_MEDIA_TYPE and format
    std::vector<SFakeAttribute> attributes;
    std::vector<std::pair<std::u16string, BOOL>> inputSettings;
    std::vector<SFakeSample> samples;
    int cAdvised = 0;
    int cWriterObjects = 0;  // the last writer and the sinks and inputs it holds

    // Logs the call and answers its configured failure, or S_OK.
    HRESULT Step(const std::string& name);
    int CountCalls(const std::string& name);
    bool Called(const std::string& name) { return CountCalls(name) > 0; }
    std::vector<SFakeSample> Samples(DWORD dwInput);
    void RecordSample(SFakeSample sample);
    std::mutex mutex;
    std::map<std::string, int> callCounts;
};

// The one world of the test process; ResetWorld() gives it the defaults:
// WMV2 and WMV1 video, WMA v2 stereo and mono formats at 48000 and 44100 Hz.
SFakeWorld& World();
void ResetWorld();
// Fake runtime objects alive now.
int LiveFakeObjects();

// The media type bytes of an input as SetInputProps was given it.
const WM_MEDIA_TYPE* InputType(DWORD dwInput);

// A WMA v2 format of the default lists.
WAVEFORMATEX WmaFormat(DWORD dwRate, WORD wChannels, DWORD dwBitrate, WORD wBlockAlign);
