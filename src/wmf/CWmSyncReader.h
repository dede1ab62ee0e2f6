// The synchronous reader (IWMSyncReader, IWMHeaderInfo/2/3): an ASF file
// read through the caller's IStream, demultiplexed by FFmpeg's asf demuxer,
// decoded by libavcodec where the platform decodes, presented on the exact
// time line of CAsfTimeline. QueryInterface for IWMProfile answers with the
// file's profile, whose stream configurations carry the stored formats.
//
// Each stream read gets its own cursor when it is first read, so streams
// never read (scripts, deselected streams) cost nothing and memory stays
// bounded whatever the order of reading. Calls are serialised by a lock
// that the samples' deferred decoding shares; a sample outliving Close
// fails to give its data.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "wmf/CAudioCursor.h"
#include "wmf/CCompressedCursor.h"
#include "wmf/CReaderAttributes.h"
#include "wmf/CVideoCursor.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"

class CWmSyncReader final : public IWMSyncReader, public IWMHeaderInfo3 {
public:
    static HRESULT Create(IWMSyncReader** ppReader) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMSyncReader
    HRESULT Open(const WCHAR* pwszFilename) noexcept override;
    HRESULT Close() noexcept override;
    HRESULT SetRange(QWORD cnsStartTime, LONGLONG cnsDuration) noexcept override;
    HRESULT SetRangeByFrame(WORD wStreamNum, QWORD qwFrameNumber, LONGLONG cFramesToRead) noexcept override;
    HRESULT GetNextSample(WORD wStreamNum, INSSBuffer** ppSample, QWORD* pcnsSampleTime,
                          QWORD* pcnsDuration, DWORD* pdwFlags, DWORD* pdwOutputNum,
                          WORD* pwStreamNum) noexcept override;
    HRESULT SetStreamsSelected(WORD cStreamCount, WORD* pwStreamNumbers,
                               WMT_STREAM_SELECTION* pSelections) noexcept override;
    HRESULT GetStreamSelected(WORD wStreamNum, WMT_STREAM_SELECTION* pSelection) noexcept override;
    HRESULT SetReadStreamSamples(WORD wStreamNum, BOOL fCompressed) noexcept override;
    HRESULT GetReadStreamSamples(WORD wStreamNum, BOOL* pfCompressed) noexcept override;
    HRESULT GetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                             BYTE* pValue, WORD* pcbLength) noexcept override;
    HRESULT SetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                             const BYTE* pValue, WORD cbLength) noexcept override;
    HRESULT GetOutputCount(DWORD* pcOutputs) noexcept override;
    HRESULT GetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps** ppOutput) noexcept override;
    HRESULT SetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps* pOutput) noexcept override;
    HRESULT GetOutputFormatCount(DWORD dwOutputNum, DWORD* pcFormats) noexcept override;
    HRESULT GetOutputFormat(DWORD dwOutputNum, DWORD dwFormatNum,
                            IWMOutputMediaProps** ppProps) noexcept override;
    HRESULT GetOutputNumberForStream(WORD wStreamNum, DWORD* pdwOutputNum) noexcept override;
    HRESULT GetStreamNumberForOutput(DWORD dwOutputNum, WORD* pwStreamNum) noexcept override;
    HRESULT GetMaxOutputSampleSize(DWORD dwOutput, DWORD* pcbMax) noexcept override;
    HRESULT GetMaxStreamSampleSize(WORD wStream, DWORD* pcbMax) noexcept override;
    HRESULT OpenStream(IStream* pStream) noexcept override;

    // IWMHeaderInfo
    HRESULT GetAttributeCount(WORD wStreamNum, WORD* pcAttributes) noexcept override;
    HRESULT GetAttributeByIndex(WORD wIndex, WORD* pwStreamNum, WCHAR* pwszName, WORD* pcchNameLen,
                                WMT_ATTR_DATATYPE* pType, BYTE* pValue, WORD* pcbLength) noexcept override;
    HRESULT GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                               BYTE* pValue, WORD* pcbLength) noexcept override;
    HRESULT SetAttribute(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type, const BYTE* pValue,
                         WORD cbLength) noexcept override;
    HRESULT GetMarkerCount(WORD* pcMarkers) noexcept override;
    HRESULT GetMarker(WORD wIndex, WCHAR* pwszMarkerName, WORD* pcchMarkerNameLen,
                      QWORD* pcnsMarkerTime) noexcept override;
    HRESULT AddMarker(const WCHAR* pwszMarkerName, QWORD cnsMarkerTime) noexcept override;
    HRESULT RemoveMarker(WORD wIndex) noexcept override;
    HRESULT GetScriptCount(WORD* pcScripts) noexcept override;
    HRESULT GetScript(WORD wIndex, WCHAR* pwszType, WORD* pcchTypeLen, WCHAR* pwszCommand,
                      WORD* pcchCommandLen, QWORD* pcnsScriptTime) noexcept override;
    HRESULT AddScript(const WCHAR* pwszType, const WCHAR* pwszCommand, QWORD cnsScriptTime) noexcept override;
    HRESULT RemoveScript(WORD wIndex) noexcept override;

    // IWMHeaderInfo2
    HRESULT GetCodecInfoCount(DWORD* pcCodecInfos) noexcept override;
    HRESULT GetCodecInfo(DWORD wIndex, WORD* pcchName, WCHAR* pwszName, WORD* pcchDescription,
                         WCHAR* pwszDescription, WMT_CODEC_INFO_TYPE* pCodecType, WORD* pcbCodecInfo,
                         BYTE* pbCodecInfo) noexcept override;

    // IWMHeaderInfo3
    HRESULT GetAttributeCountEx(WORD wStreamNum, WORD* pcAttributes) noexcept override;
    HRESULT GetAttributeIndices(WORD wStreamNum, LPCWSTR pwszName, WORD* pwLangIndex, WORD* pwIndices,
                                WORD* pwCount) noexcept override;
    HRESULT GetAttributeByIndexEx(WORD wStreamNum, WORD wIndex, LPWSTR pwszName, WORD* pwNameLen,
                                  WMT_ATTR_DATATYPE* pType, WORD* pwLangIndex, BYTE* pValue,
                                  DWORD* pdwDataLength) noexcept override;
    HRESULT ModifyAttribute(WORD wStreamNum, WORD wIndex, WMT_ATTR_DATATYPE Type, WORD wLangIndex,
                            const BYTE* pValue, DWORD dwLength) noexcept override;
    HRESULT AddAttribute(WORD wStreamNum, LPCWSTR pszName, WORD* pwIndex, WMT_ATTR_DATATYPE Type,
                         WORD wLangIndex, const BYTE* pValue, DWORD dwLength) noexcept override;
    HRESULT DeleteAttribute(WORD wStreamNum, WORD wIndex) noexcept override;
    HRESULT AddCodecInfo(const WCHAR* pwszName, const WCHAR* pwszDescription,
                         WMT_CODEC_INFO_TYPE codecType, WORD cbCodecInfo, BYTE* pbCodecInfo) noexcept override;

private:
    // A sample taken from a cursor but not yet handed out (reading with
    // stream number 0 looks at every stream's next sample).
    struct SPending {
        ComPtr<INSSBuffer> pSample;
        QWORD cnsTime = 0;
        QWORD cnsDuration = 0;
        DWORD dwFlags = 0;
    };
    struct SStream {
        SStreamTimeline timeline;
        const SAsfStream* pInfo = nullptr;
        bool bOutput = false;
        DWORD dwOutput = 0;
        WMT_STREAM_SELECTION selection = WMT_ON;
        bool bReadCompressed = false;
        // Decoded output format.
        VideoOut videoOut = VideoOut::RGB24;
        int width = 0;
        int height = 0;
        SAudioOut audioOut;
        bool bAudioOutChosen = false;
        bool bAllowInterlaced = false;
        bool bDiscrete = false;
        bool bSpeakerConfig = false;
        DWORD dwSpeakerConfig = 0;
        std::shared_ptr<CVideoCursor> pVideo;
        std::unique_ptr<CAudioCursor> pAudio;
        std::unique_ptr<CCompressedCursor> pCompressed;
        std::optional<SPending> pending;

        bool DecodesVideo() const noexcept { return timeline.IsVideo() && timeline.codec.bDecoded; }
        bool DecodesAudio() const noexcept { return timeline.IsAudio() && timeline.codec.bDecoded; }
    };

    explicit CWmSyncReader(std::shared_ptr<std::recursive_mutex> lock) noexcept;
    ~CWmSyncReader();

    HRESULT OpenLocked(IStream* pStream);
    void CloseLocked() noexcept;
    SStream* FindStream(WORD wStreamNum) noexcept;
    SStream* FindOutput(DWORD dwOutputNum) noexcept;
    HRESULT BuildProfile();
    WmMediaType OutputType(const SStream& stream) const;
    std::vector<WmMediaType> OutputFormats(const SStream& stream) const;
    std::vector<SAudioOut> AudioChoices(const SStream& stream) const;
    HRESULT Fetch(SStream& stream, SPending& pending) noexcept;
    HRESULT FetchOnce(SStream& stream, SPending& pending) noexcept;
    void ResetCursor(SStream& stream) noexcept;

    std::atomic<ULONG> m_cRef{1};
    std::shared_ptr<std::recursive_mutex> m_pLock;
    bool m_bOpen = false;
    std::shared_ptr<CStreamSource> m_pSource;
    std::unique_ptr<CAsfHeaderInfo> m_pHeader;
    std::unique_ptr<CAsfSeeker> m_pSeeker;
    int64_t m_origin = 0;
    QWORD m_cnsDuration = 0;
    std::vector<SStream> m_streams;
    std::vector<WORD> m_outputs;  // stream number of each output
    ComPtr<IWMProfile> m_pProfile;
    CReaderAttributes m_attributes;
    QWORD m_cnsRangeStart = 0;
    LONGLONG m_cnsRangeDuration = 0;
};
