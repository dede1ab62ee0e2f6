// The writer (IWMWriter, IWMWriterAdvanced2, IWMWriterPreprocess,
// IWMHeaderInfo3, IWMRegisterCallback): encodes the host's uncompressed
// pictures and PCM with libavcodec (WMV1/WMV2, WMA v2) and writes them with
// libavformat's ASF muxer into the file named by SetOutputFilename.
//
// Life of a file: SetProfile (one video and/or one audio stream), optional
// SetInputProps and header attributes, SetOutputFilename, BeginWriting
// (creates the file and writes its header), WriteSample..., EndWriting
// (flushes the encoders, writes the index and the final header: the file
// is complete when it returns). Two-pass: after BeginWriting,
// SetNumPreprocessingPasses(video, 1), BeginPreprocessingPass, the video
// through PreprocessSample (audio keeps going through WriteSample and waits
// for the final pass), EndPreprocessingPass, then the video again from time
// 0 through WriteSample.
//
// Errors: each failing call returns the platform's code and notifies
// WMT_ERROR to the callbacks registered with the writer or its sink, on the
// caller's thread, before it returns. A failure of the file or an encoder
// is final: later samples get the same code, and EndWriting leaves the file
// unfinished (its header still says no packets) rather than pretend it whole.
//
// Thread-safe: every method holds the writer's lock, so calls from the
// plug-in's worker threads never overlap.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wmf/CAsfMuxer.h"
#include "wmf/CAudioEncoder.h"
#include "wmf/CVideoEncoder.h"
#include "wmf/CWmStatusListeners.h"
#include "wmf/CWmWriterFileSink.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"

class CWmWriter final : public IWMWriter,
                        public IWMWriterAdvanced2,
                        public IWMWriterPreprocess,
                        public IWMHeaderInfo3,
                        public IWMRegisterCallback {
public:
    static HRESULT Create(IWMWriter** ppWriter) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMWriter
    HRESULT SetProfileByID(REFGUID guidProfile) noexcept override;
    // NS_E_VIDEO_CODEC_NOT_INSTALLED / NS_E_AUDIO_CODEC_NOT_INSTALLED for a
    // codec this layer cannot encode, NS_E_INVALID_OUTPUT_FORMAT for a
    // format it cannot make, NS_E_INVALIDPROFILE for other stream types or
    // more than one stream of a kind; NS_E_INVALID_REQUEST while writing.
    HRESULT SetProfile(IWMProfile* pProfile) noexcept override;
    HRESULT SetOutputFilename(const WCHAR* pwszFilename) noexcept override;
    HRESULT GetInputCount(DWORD* pcInputs) noexcept override;
    HRESULT GetInputProps(DWORD dwInputNum, IWMInputMediaProps** ppInput) noexcept override;
    // Video: I420, IYUV, YV12, YUY2, UYVY, RGB32, RGB24 (any size: pictures
    // are scaled to the stream's); audio: PCM of 8 or 16 bits, one or two
    // channels, any rate. NS_E_INVALID_INPUT_FORMAT otherwise.
    HRESULT SetInputProps(DWORD dwInputNum, IWMInputMediaProps* pInput) noexcept override;
    HRESULT GetInputFormatCount(DWORD dwInputNumber, DWORD* pcFormats) noexcept override;
    HRESULT GetInputFormat(DWORD dwInputNumber, DWORD dwFormatNumber,
                           IWMInputMediaProps** pProps) noexcept override;
    // NS_E_NOT_CONFIGURED without a profile or a file name; the file's own
    // codes (see CAsfFileIo) when it cannot be created.
    HRESULT BeginWriting() noexcept override;
    HRESULT EndWriting() noexcept override;
    HRESULT AllocateSample(DWORD dwSampleSize, INSSBuffer** ppSample) noexcept override;
    // Video times are rounded to the nearest frame of the stream's rate;
    // audio times are the count of samples given, and a time more than a
    // millisecond past it is a gap filled with silence.
    // NS_E_INVALID_REQUEST when not writing (also after EndWriting),
    // NS_E_INVALID_INPUT_FORMAT for a sample that does not match its input.
    // The writer may keep a reference to the sample after it returns, so a
    // sample once written is never changed: each comes from AllocateSample.
    HRESULT WriteSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags,
                        INSSBuffer* pSample) noexcept override;
    // Pushes what is written so far to the file.
    HRESULT Flush() noexcept override;

    // IWMWriterAdvanced
    HRESULT GetSinkCount(DWORD* pcSinks) noexcept override;
    HRESULT GetSink(DWORD dwSinkNum, IWMWriterSink** ppSink) noexcept override;
    HRESULT AddSink(IWMWriterSink* pSink) noexcept override;
    HRESULT RemoveSink(IWMWriterSink* pSink) noexcept override;
    HRESULT WriteStreamSample(WORD wStreamNum, QWORD cnsSampleTime, DWORD msSampleSendTime,
                              QWORD cnsSampleDuration, DWORD dwFlags,
                              INSSBuffer* pSample) noexcept override;
    HRESULT SetLiveSource(BOOL fIsLiveSource) noexcept override;
    HRESULT IsRealTime(BOOL* pfRealTime) noexcept override;
    HRESULT GetWriterTime(QWORD* pcnsCurrentTime) noexcept override;
    // Samples and bytes of the stream's encoded data so far, its average
    // bit rate over the time written and the profile's bit rate.
    HRESULT GetStatistics(WORD wStreamNum, WM_WRITER_STATISTICS* pStats) noexcept override;
    HRESULT SetSyncTolerance(DWORD msWindow) noexcept override;
    HRESULT GetSyncTolerance(DWORD* pmsWindow) noexcept override;

    // IWMWriterAdvanced2. "InterlacedCoding" TRUE is refused with
    // NS_E_UNSUPPORTED_PROPERTY: the encoders code progressive pictures only.
    HRESULT GetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                            BYTE* pValue, WORD* pcbLength) noexcept override;
    HRESULT SetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                            const BYTE* pValue, WORD cbLength) noexcept override;

    // IWMWriterPreprocess: one pass for a video input, none for audio.
    HRESULT GetMaxPreprocessingPasses(DWORD dwInputNum, DWORD dwFlags,
                                      DWORD* pdwMaxNumPasses) noexcept override;
    HRESULT SetNumPreprocessingPasses(DWORD dwInputNum, DWORD dwFlags,
                                      DWORD dwNumPasses) noexcept override;
    HRESULT BeginPreprocessingPass(DWORD dwInputNum, DWORD dwFlags) noexcept override;
    HRESULT PreprocessSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags,
                             INSSBuffer* pSample) noexcept override;
    HRESULT EndPreprocessingPass(DWORD dwInputNum, DWORD dwFlags) noexcept override;

    // IWMHeaderInfo (attributes before BeginWriting: the file's own on
    // stream 0, AspectRatioX/Y on the video stream).
    HRESULT GetAttributeCount(WORD wStreamNum, WORD* pcAttributes) noexcept override;
    HRESULT GetAttributeByIndex(WORD wIndex, WORD* pwStreamNum, WCHAR* pwszName,
                                WORD* pcchNameLen, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                WORD* pcbLength) noexcept override;
    HRESULT GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                               BYTE* pValue, WORD* pcbLength) noexcept override;
    HRESULT SetAttribute(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                         const BYTE* pValue, WORD cbLength) noexcept override;
    HRESULT GetMarkerCount(WORD* pcMarkers) noexcept override;
    HRESULT GetMarker(WORD wIndex, WCHAR* pwszMarkerName, WORD* pcchMarkerNameLen,
                      QWORD* pcnsMarkerTime) noexcept override;
    HRESULT AddMarker(const WCHAR* pwszMarkerName, QWORD cnsMarkerTime) noexcept override;
    HRESULT RemoveMarker(WORD wIndex) noexcept override;
    HRESULT GetScriptCount(WORD* pcScripts) noexcept override;
    HRESULT GetScript(WORD wIndex, WCHAR* pwszType, WORD* pcchTypeLen, WCHAR* pwszCommand,
                      WORD* pcchCommandLen, QWORD* pcnsScriptTime) noexcept override;
    HRESULT AddScript(const WCHAR* pwszType, const WCHAR* pwszCommand,
                      QWORD cnsScriptTime) noexcept override;
    HRESULT RemoveScript(WORD wIndex) noexcept override;

    // IWMHeaderInfo2
    HRESULT GetCodecInfoCount(DWORD* pcCodecInfos) noexcept override;
    HRESULT GetCodecInfo(DWORD wIndex, WORD* pcchName, WCHAR* pwszName, WORD* pcchDescription,
                         WCHAR* pwszDescription, WMT_CODEC_INFO_TYPE* pCodecType,
                         WORD* pcbCodecInfo, BYTE* pbCodecInfo) noexcept override;

    // IWMHeaderInfo3
    HRESULT GetAttributeCountEx(WORD wStreamNum, WORD* pcAttributes) noexcept override;
    HRESULT GetAttributeIndices(WORD wStreamNum, LPCWSTR pwszName, WORD* pwLangIndex,
                                WORD* pwIndices, WORD* pwCount) noexcept override;
    HRESULT GetAttributeByIndexEx(WORD wStreamNum, WORD wIndex, LPWSTR pwszName, WORD* pwNameLen,
                                  WMT_ATTR_DATATYPE* pType, WORD* pwLangIndex, BYTE* pValue,
                                  DWORD* pdwDataLength) noexcept override;
    HRESULT ModifyAttribute(WORD wStreamNum, WORD wIndex, WMT_ATTR_DATATYPE Type, WORD wLangIndex,
                            const BYTE* pValue, DWORD dwLength) noexcept override;
    HRESULT AddAttribute(WORD wStreamNum, LPCWSTR pszName, WORD* pwIndex, WMT_ATTR_DATATYPE Type,
                         WORD wLangIndex, const BYTE* pValue, DWORD dwLength) noexcept override;
    HRESULT DeleteAttribute(WORD wStreamNum, WORD wIndex) noexcept override;
    HRESULT AddCodecInfo(const WCHAR* pwszName, const WCHAR* pwszDescription,
                         WMT_CODEC_INFO_TYPE codecType, WORD cbCodecInfo,
                         BYTE* pbCodecInfo) noexcept override;

    // IWMRegisterCallback (the writer's own callbacks, besides its sink's)
    HRESULT Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept override;
    HRESULT Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept override;

private:
    // One input of the writer: a stream of the profile.
    struct SInput {
        GUID majorType{};
        WORD wStreamNum = 0;
        std::u16string connectionName;
        WmMediaType outputType;  // the stream's compressed format
        WmMediaType inputType;   // what WriteSample takes
        DWORD dwBitrate = 0;
        DWORD msBufferWindow = 0;
        LONGLONG cnsKeyFrameSpacing = 0;
        DWORD dwQuality = 0;
        bool bVbr = false;
        DWORD dwPeakRate = 0;    // _RMAX
        DWORD msPeakBuffer = 0;  // _BMAX
        DWORD dwPasses = 0;      // preprocessing passes asked for
        int muxIndex = -1;
    };
    struct SAttribute {
        WORD wStreamNum;
        std::u16string name;
        WMT_ATTR_DATATYPE type;
        std::vector<BYTE> value;
    };
    enum class Pass { None, Preprocessing, Final };

    CWmWriter() noexcept = default;
    ~CWmWriter();

    HRESULT ReadStream(IWMStreamConfig* pConfig, SInput* pInput) const;
    HRESULT CheckOutput(const SInput& input) const noexcept;
    SInput* VideoInput() noexcept { return m_iVideo >= 0 ? &m_inputs[m_iVideo] : nullptr; }
    SInput* AudioInput() noexcept { return m_iAudio >= 0 ? &m_inputs[m_iAudio] : nullptr; }
    HRESULT MakeInputProps(const SInput& input, const WmMediaType& type,
                           IWMInputMediaProps** ppProps) const noexcept;
    std::vector<WmMediaType> InputFormats(const SInput& input) const;

    SVideoEncoderSettings VideoSettings(const SInput& input) const noexcept;
    static SVideoInputFormat VideoInputFormat(const WmMediaType& type) noexcept;
    static SAudioInputFormat AudioInputFormat(const WmMediaType& type) noexcept;
    HRESULT MakeVideoEncoder(CVideoEncoder::Pass pass, std::unique_ptr<CVideoEncoder>* pp) noexcept;
    HRESULT SetupMuxer(const std::string& path) noexcept;
    const SAttribute* FindAttribute(WORD wStreamNum, std::u16string_view name) const noexcept;

    HRESULT WriteVideo(QWORD cnsSampleTime, const BYTE* pData, DWORD cbData, INSSBuffer* pSample) noexcept;
    HRESULT WriteAudio(QWORD cnsSampleTime, const BYTE* pData, DWORD cbData) noexcept;
    HRESULT SinkTo(int muxIndex, AVPacket* pkt) noexcept;
    HRESULT Finish() noexcept;
    void ReleaseEngine() noexcept;

    // Reports a failure to the callbacks; with bFinal the writer stops.
    HRESULT Fail(HRESULT hr, bool bFinal) noexcept;
    void Notify(WMT_STATUS status, HRESULT hr) noexcept;

    std::atomic<ULONG> m_cRef{1};
    std::recursive_mutex m_lock;

    std::vector<SInput> m_inputs;
    int m_iVideo = -1;
    int m_iAudio = -1;
    bool m_bProfileSet = false;
    ComPtr<CWmWriterFileSink> m_pSink;
    CWmStatusListeners m_listeners;
    std::vector<SAttribute> m_attributes;
    DWORD m_msSyncTolerance = 3000;
    BOOL m_bLiveSource = FALSE;

    // While writing.
    bool m_bWriting = false;
    HRESULT m_hrFailed = S_OK;
    std::unique_ptr<CAsfMuxer> m_pMuxer;
    std::unique_ptr<CVideoEncoder> m_pVideo;
    std::unique_ptr<CVideoEncoder> m_pFirstPass;
    std::unique_ptr<CAudioEncoder> m_pAudio;
    Pass m_pass = Pass::None;
    std::string m_stats;       // the first pass's statistics
    int64_t m_cStatsFrames = 0;
    int64_t m_lastFrame = -1;  // number of the last picture of this pass
    int64_t m_frameBase = 0;   // frames encoded before the current encoder
    QWORD m_cnsWriterTime = 0;
};
