// The Windows Media Format interfaces, in the method order of the public SDK
// so that their virtual tables match the platform's. Every method is
// noexcept: no exception crosses an interface boundary. Each interface names
// its id in kIid, so kIidOf<I> and ComPtr::As work with it.
//
// Size-query convention used throughout: a method that fills a caller buffer
// answers the needed size when the buffer pointer is null, and fails with
// ASF_E_BUFFERTOOSMALL when the given size is too small.
#pragma once

#include "wmf/WmGuids.h"
#include "wmf/WmTypes.h"

struct IStream;
struct IWMBandwidthSharing;
struct IWMStreamPrioritization;

struct INSSBuffer : IUnknown {
    static constexpr const IID& kIid = IID_INSSBuffer;
    virtual HRESULT GetLength(DWORD* pdwLength) noexcept = 0;
    virtual HRESULT SetLength(DWORD dwLength) noexcept = 0;
    virtual HRESULT GetMaxLength(DWORD* pdwLength) noexcept = 0;
    virtual HRESULT GetBuffer(BYTE** ppdwBuffer) noexcept = 0;
    virtual HRESULT GetBufferAndLength(BYTE** ppdwBuffer, DWORD* pdwLength) noexcept = 0;

protected:
    ~INSSBuffer() = default;
};

struct INSSBuffer2 : INSSBuffer {
    static constexpr const IID& kIid = IID_INSSBuffer2;
    virtual HRESULT GetSampleProperties(DWORD cbProperties, BYTE* pbProperties) noexcept = 0;
    virtual HRESULT SetSampleProperties(DWORD cbProperties, BYTE* pbProperties) noexcept = 0;

protected:
    ~INSSBuffer2() = default;
};

struct INSSBuffer3 : INSSBuffer2 {
    static constexpr const IID& kIid = IID_INSSBuffer3;
    virtual HRESULT SetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                                DWORD dwBufferPropertySize) noexcept = 0;
    virtual HRESULT GetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                                DWORD* pdwBufferPropertySize) noexcept = 0;

protected:
    ~INSSBuffer3() = default;
};

struct IWMMediaProps : IUnknown {
    static constexpr const IID& kIid = IID_IWMMediaProps;
    virtual HRESULT GetType(GUID* pguidType) noexcept = 0;
    // Writes the WM_MEDIA_TYPE followed by its format bytes (see WmMediaType.h).
    virtual HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) noexcept = 0;
    virtual HRESULT SetMediaType(WM_MEDIA_TYPE* pType) noexcept = 0;

protected:
    ~IWMMediaProps() = default;
};

struct IWMVideoMediaProps : IWMMediaProps {
    static constexpr const IID& kIid = IID_IWMVideoMediaProps;
    virtual HRESULT GetMaxKeyFrameSpacing(LONGLONG* pllTime) noexcept = 0;
    virtual HRESULT SetMaxKeyFrameSpacing(LONGLONG llTime) noexcept = 0;
    virtual HRESULT GetQuality(DWORD* pdwQuality) noexcept = 0;
    virtual HRESULT SetQuality(DWORD dwQuality) noexcept = 0;

protected:
    ~IWMVideoMediaProps() = default;
};

struct IWMOutputMediaProps : IWMMediaProps {
    static constexpr const IID& kIid = IID_IWMOutputMediaProps;
    virtual HRESULT GetStreamGroupName(WCHAR* pwszName, WORD* pcchName) noexcept = 0;
    virtual HRESULT GetConnectionName(WCHAR* pwszName, WORD* pcchName) noexcept = 0;

protected:
    ~IWMOutputMediaProps() = default;
};

struct IWMInputMediaProps : IWMMediaProps {
    static constexpr const IID& kIid = IID_IWMInputMediaProps;
    virtual HRESULT GetConnectionName(WCHAR* pwszName, WORD* pcchName) noexcept = 0;
    virtual HRESULT GetGroupName(WCHAR* pwszName, WORD* pcchName) noexcept = 0;

protected:
    ~IWMInputMediaProps() = default;
};

struct IWMStreamConfig : IUnknown {
    static constexpr const IID& kIid = IID_IWMStreamConfig;
    virtual HRESULT GetStreamType(GUID* pguidStreamType) noexcept = 0;
    virtual HRESULT GetStreamNumber(WORD* pwStreamNum) noexcept = 0;
    virtual HRESULT SetStreamNumber(WORD wStreamNum) noexcept = 0;
    virtual HRESULT GetStreamName(WCHAR* pwszStreamName, WORD* pcchStreamName) noexcept = 0;
    virtual HRESULT SetStreamName(const WCHAR* pwszStreamName) noexcept = 0;
    virtual HRESULT GetConnectionName(WCHAR* pwszInputName, WORD* pcchInputName) noexcept = 0;
    virtual HRESULT SetConnectionName(const WCHAR* pwszInputName) noexcept = 0;
    virtual HRESULT GetBitrate(DWORD* pdwBitrate) noexcept = 0;
    virtual HRESULT SetBitrate(DWORD pdwBitrate) noexcept = 0;
    virtual HRESULT GetBufferWindow(DWORD* pmsBufferWindow) noexcept = 0;
    virtual HRESULT SetBufferWindow(DWORD msBufferWindow) noexcept = 0;

protected:
    ~IWMStreamConfig() = default;
};

struct IWMStreamConfig2 : IWMStreamConfig {
    static constexpr const IID& kIid = IID_IWMStreamConfig2;
    virtual HRESULT GetTransportType(WMT_TRANSPORT_TYPE* pnTransportType) noexcept = 0;
    virtual HRESULT SetTransportType(WMT_TRANSPORT_TYPE nTransportType) noexcept = 0;
    virtual HRESULT AddDataUnitExtension(GUID guidExtensionSystemID, WORD cbExtensionDataSize,
                                         BYTE* pbExtensionSystemInfo,
                                         DWORD cbExtensionSystemInfo) noexcept = 0;
    virtual HRESULT GetDataUnitExtensionCount(WORD* pcDataUnitExtensions) noexcept = 0;
    virtual HRESULT GetDataUnitExtension(WORD wDataUnitExtensionNumber,
                                         GUID* pguidExtensionSystemID,
                                         WORD* pcbExtensionDataSize,
                                         BYTE* pbExtensionSystemInfo,
                                         DWORD* pcbExtensionSystemInfo) noexcept = 0;
    virtual HRESULT RemoveAllDataUnitExtensions() noexcept = 0;

protected:
    ~IWMStreamConfig2() = default;
};

struct IWMStreamConfig3 : IWMStreamConfig2 {
    static constexpr const IID& kIid = IID_IWMStreamConfig3;
    virtual HRESULT GetLanguage(WCHAR* pwszLanguageString,
                                WORD* pcchLanguageStringLength) noexcept = 0;
    virtual HRESULT SetLanguage(const WCHAR* pwszLanguageString) noexcept = 0;

protected:
    ~IWMStreamConfig3() = default;
};

struct IWMStreamList : IUnknown {
    static constexpr const IID& kIid = IID_IWMStreamList;
    virtual HRESULT GetStreams(WORD* pwStreamNumArray, WORD* pcStreams) noexcept = 0;
    virtual HRESULT AddStream(WORD wStreamNum) noexcept = 0;
    virtual HRESULT RemoveStream(WORD wStreamNum) noexcept = 0;

protected:
    ~IWMStreamList() = default;
};

struct IWMMutualExclusion : IWMStreamList {
    static constexpr const IID& kIid = IID_IWMMutualExclusion;
    virtual HRESULT GetType(GUID* pguidType) noexcept = 0;
    virtual HRESULT SetType(REFGUID guidType) noexcept = 0;

protected:
    ~IWMMutualExclusion() = default;
};

struct IWMProfile : IUnknown {
    static constexpr const IID& kIid = IID_IWMProfile;
    virtual HRESULT GetVersion(WMT_VERSION* pdwVersion) noexcept = 0;
    virtual HRESULT GetName(WCHAR* pwszName, DWORD* pcchName) noexcept = 0;
    virtual HRESULT SetName(const WCHAR* pwszName) noexcept = 0;
    virtual HRESULT GetDescription(WCHAR* pwszDescription, DWORD* pcchDescription) noexcept = 0;
    virtual HRESULT SetDescription(const WCHAR* pwszDescription) noexcept = 0;
    virtual HRESULT GetStreamCount(DWORD* pcStreams) noexcept = 0;
    virtual HRESULT GetStream(DWORD dwStreamIndex, IWMStreamConfig** ppConfig) noexcept = 0;
    virtual HRESULT GetStreamByNumber(WORD wStreamNum, IWMStreamConfig** ppConfig) noexcept = 0;
    virtual HRESULT RemoveStream(IWMStreamConfig* pConfig) noexcept = 0;
    virtual HRESULT RemoveStreamByNumber(WORD wStreamNum) noexcept = 0;
    virtual HRESULT AddStream(IWMStreamConfig* pConfig) noexcept = 0;
    virtual HRESULT ReconfigStream(IWMStreamConfig* pConfig) noexcept = 0;
    virtual HRESULT CreateNewStream(REFGUID guidStreamType, IWMStreamConfig** ppConfig) noexcept = 0;
    virtual HRESULT GetMutualExclusionCount(DWORD* pcME) noexcept = 0;
    virtual HRESULT GetMutualExclusion(DWORD dwMEIndex, IWMMutualExclusion** ppME) noexcept = 0;
    virtual HRESULT RemoveMutualExclusion(IWMMutualExclusion* pME) noexcept = 0;
    virtual HRESULT AddMutualExclusion(IWMMutualExclusion* pME) noexcept = 0;
    virtual HRESULT CreateNewMutualExclusion(IWMMutualExclusion** ppME) noexcept = 0;

protected:
    ~IWMProfile() = default;
};

struct IWMProfile2 : IWMProfile {
    static constexpr const IID& kIid = IID_IWMProfile2;
    virtual HRESULT GetProfileID(GUID* pguidID) noexcept = 0;

protected:
    ~IWMProfile2() = default;
};

struct IWMProfile3 : IWMProfile2 {
    static constexpr const IID& kIid = IID_IWMProfile3;
    virtual HRESULT GetStorageFormat(WMT_STORAGE_FORMAT* pnStorageFormat) noexcept = 0;
    virtual HRESULT SetStorageFormat(WMT_STORAGE_FORMAT nStorageFormat) noexcept = 0;
    virtual HRESULT GetBandwidthSharingCount(DWORD* pcBS) noexcept = 0;
    virtual HRESULT GetBandwidthSharing(DWORD dwBSIndex, IWMBandwidthSharing** ppBS) noexcept = 0;
    virtual HRESULT RemoveBandwidthSharing(IWMBandwidthSharing* pBS) noexcept = 0;
    virtual HRESULT AddBandwidthSharing(IWMBandwidthSharing* pBS) noexcept = 0;
    virtual HRESULT CreateNewBandwidthSharing(IWMBandwidthSharing** ppBS) noexcept = 0;
    virtual HRESULT GetStreamPrioritization(IWMStreamPrioritization** ppSP) noexcept = 0;
    virtual HRESULT SetStreamPrioritization(IWMStreamPrioritization* pSP) noexcept = 0;
    virtual HRESULT RemoveStreamPrioritization() noexcept = 0;
    virtual HRESULT CreateNewStreamPrioritization(IWMStreamPrioritization** ppSP) noexcept = 0;
    virtual HRESULT GetExpectedPacketCount(QWORD msDuration, QWORD* pcPackets) noexcept = 0;

protected:
    ~IWMProfile3() = default;
};

struct IWMProfileManager : IUnknown {
    static constexpr const IID& kIid = IID_IWMProfileManager;
    virtual HRESULT CreateEmptyProfile(WMT_VERSION dwVersion, IWMProfile** ppProfile) noexcept = 0;
    virtual HRESULT LoadProfileByID(REFGUID guidProfile, IWMProfile** ppProfile) noexcept = 0;
    virtual HRESULT LoadProfileByData(const WCHAR* pwszProfile, IWMProfile** ppProfile) noexcept = 0;
    virtual HRESULT SaveProfile(IWMProfile* pIWMProfile, WCHAR* pwszProfile,
                                DWORD* pdwLength) noexcept = 0;
    virtual HRESULT GetSystemProfileCount(DWORD* pcProfiles) noexcept = 0;
    virtual HRESULT LoadSystemProfile(DWORD dwProfileIndex, IWMProfile** ppProfile) noexcept = 0;

protected:
    ~IWMProfileManager() = default;
};

struct IWMProfileManager2 : IWMProfileManager {
    static constexpr const IID& kIid = IID_IWMProfileManager2;
    virtual HRESULT GetSystemProfileVersion(WMT_VERSION* pdwVersion) noexcept = 0;
    virtual HRESULT SetSystemProfileVersion(WMT_VERSION dwVersion) noexcept = 0;

protected:
    ~IWMProfileManager2() = default;
};

struct IWMCodecInfo : IUnknown {
    static constexpr const IID& kIid = IID_IWMCodecInfo;
    virtual HRESULT GetCodecInfoCount(REFGUID guidType, DWORD* pcCodecs) noexcept = 0;
    virtual HRESULT GetCodecFormatCount(REFGUID guidType, DWORD dwCodecIndex,
                                        DWORD* pcFormat) noexcept = 0;
    virtual HRESULT GetCodecFormat(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                   IWMStreamConfig** ppIStreamConfig) noexcept = 0;

protected:
    ~IWMCodecInfo() = default;
};

struct IWMCodecInfo2 : IWMCodecInfo {
    static constexpr const IID& kIid = IID_IWMCodecInfo2;
    virtual HRESULT GetCodecName(REFGUID guidType, DWORD dwCodecIndex, WCHAR* wszName,
                                 DWORD* pcchName) noexcept = 0;
    virtual HRESULT GetCodecFormatDesc(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                       IWMStreamConfig** ppIStreamConfig, WCHAR* wszDesc,
                                       DWORD* pcchDesc) noexcept = 0;

protected:
    ~IWMCodecInfo2() = default;
};

struct IWMCodecInfo3 : IWMCodecInfo2 {
    static constexpr const IID& kIid = IID_IWMCodecInfo3;
    virtual HRESULT GetCodecFormatProp(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                       const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                       BYTE* pValue, DWORD* pdwSize) noexcept = 0;
    virtual HRESULT GetCodecProp(REFGUID guidType, DWORD dwCodecIndex, const WCHAR* pszName,
                                 WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                 DWORD* pdwSize) noexcept = 0;
    virtual HRESULT SetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex,
                                               const WCHAR* pszName, WMT_ATTR_DATATYPE Type,
                                               const BYTE* pValue, DWORD dwSize) noexcept = 0;
    virtual HRESULT GetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex,
                                               const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                               BYTE* pValue, DWORD* pdwSize) noexcept = 0;

protected:
    ~IWMCodecInfo3() = default;
};

struct IWMPropertyVault : IUnknown {
    static constexpr const IID& kIid = IID_IWMPropertyVault;
    virtual HRESULT GetPropertyCount(DWORD* pdwCount) noexcept = 0;
    virtual HRESULT GetPropertyByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                      BYTE* pValue, DWORD* pdwSize) noexcept = 0;
    virtual HRESULT SetProperty(const WCHAR* pszName, WMT_ATTR_DATATYPE pType, BYTE* pValue,
                                DWORD dwSize) noexcept = 0;
    virtual HRESULT GetPropertyByIndex(DWORD dwIndex, WCHAR* pszName, DWORD* pdwNameLen,
                                       WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                       DWORD* pdwSize) noexcept = 0;
    virtual HRESULT CopyPropertiesFrom(IWMPropertyVault* pIWMPropertyVault) noexcept = 0;
    virtual HRESULT Clear() noexcept = 0;

protected:
    ~IWMPropertyVault() = default;
};

struct IWMHeaderInfo : IUnknown {
    static constexpr const IID& kIid = IID_IWMHeaderInfo;
    virtual HRESULT GetAttributeCount(WORD wStreamNum, WORD* pcAttributes) noexcept = 0;
    virtual HRESULT GetAttributeByIndex(WORD wIndex, WORD* pwStreamNum, WCHAR* pwszName,
                                        WORD* pcchNameLen, WMT_ATTR_DATATYPE* pType,
                                        BYTE* pValue, WORD* pcbLength) noexcept = 0;
    virtual HRESULT GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName,
                                       WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                       WORD* pcbLength) noexcept = 0;
    virtual HRESULT SetAttribute(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                                 const BYTE* pValue, WORD cbLength) noexcept = 0;
    virtual HRESULT GetMarkerCount(WORD* pcMarkers) noexcept = 0;
    virtual HRESULT GetMarker(WORD wIndex, WCHAR* pwszMarkerName, WORD* pcchMarkerNameLen,
                              QWORD* pcnsMarkerTime) noexcept = 0;
    virtual HRESULT AddMarker(const WCHAR* pwszMarkerName, QWORD cnsMarkerTime) noexcept = 0;
    virtual HRESULT RemoveMarker(WORD wIndex) noexcept = 0;
    virtual HRESULT GetScriptCount(WORD* pcScripts) noexcept = 0;
    virtual HRESULT GetScript(WORD wIndex, WCHAR* pwszType, WORD* pcchTypeLen,
                              WCHAR* pwszCommand, WORD* pcchCommandLen,
                              QWORD* pcnsScriptTime) noexcept = 0;
    virtual HRESULT AddScript(const WCHAR* pwszType, const WCHAR* pwszCommand,
                              QWORD cnsScriptTime) noexcept = 0;
    virtual HRESULT RemoveScript(WORD wIndex) noexcept = 0;

protected:
    ~IWMHeaderInfo() = default;
};

struct IWMHeaderInfo2 : IWMHeaderInfo {
    static constexpr const IID& kIid = IID_IWMHeaderInfo2;
    virtual HRESULT GetCodecInfoCount(DWORD* pcCodecInfos) noexcept = 0;
    virtual HRESULT GetCodecInfo(DWORD wIndex, WORD* pcchName, WCHAR* pwszName,
                                 WORD* pcchDescription, WCHAR* pwszDescription,
                                 WMT_CODEC_INFO_TYPE* pCodecType, WORD* pcbCodecInfo,
                                 BYTE* pbCodecInfo) noexcept = 0;

protected:
    ~IWMHeaderInfo2() = default;
};

struct IWMHeaderInfo3 : IWMHeaderInfo2 {
    static constexpr const IID& kIid = IID_IWMHeaderInfo3;
    virtual HRESULT GetAttributeCountEx(WORD wStreamNum, WORD* pcAttributes) noexcept = 0;
    virtual HRESULT GetAttributeIndices(WORD wStreamNum, LPCWSTR pwszName, WORD* pwLangIndex,
                                        WORD* pwIndices, WORD* pwCount) noexcept = 0;
    virtual HRESULT GetAttributeByIndexEx(WORD wStreamNum, WORD wIndex, LPWSTR pwszName,
                                          WORD* pwNameLen, WMT_ATTR_DATATYPE* pType,
                                          WORD* pwLangIndex, BYTE* pValue,
                                          DWORD* pdwDataLength) noexcept = 0;
    virtual HRESULT ModifyAttribute(WORD wStreamNum, WORD wIndex, WMT_ATTR_DATATYPE Type,
                                    WORD wLangIndex, const BYTE* pValue,
                                    DWORD dwLength) noexcept = 0;
    virtual HRESULT AddAttribute(WORD wStreamNum, LPCWSTR pszName, WORD* pwIndex,
                                 WMT_ATTR_DATATYPE Type, WORD wLangIndex, const BYTE* pValue,
                                 DWORD dwLength) noexcept = 0;
    virtual HRESULT DeleteAttribute(WORD wStreamNum, WORD wIndex) noexcept = 0;
    virtual HRESULT AddCodecInfo(const WCHAR* pwszName, const WCHAR* pwszDescription,
                                 WMT_CODEC_INFO_TYPE codecType, WORD cbCodecInfo,
                                 BYTE* pbCodecInfo) noexcept = 0;

protected:
    ~IWMHeaderInfo3() = default;
};

struct IWMSyncReader : IUnknown {
    static constexpr const IID& kIid = IID_IWMSyncReader;
    virtual HRESULT Open(const WCHAR* pwszFilename) noexcept = 0;
    virtual HRESULT Close() noexcept = 0;
    virtual HRESULT SetRange(QWORD cnsStartTime, LONGLONG cnsDuration) noexcept = 0;
    virtual HRESULT SetRangeByFrame(WORD wStreamNum, QWORD qwFrameNumber,
                                    LONGLONG cFramesToRead) noexcept = 0;
    virtual HRESULT GetNextSample(WORD wStreamNum, INSSBuffer** ppSample, QWORD* pcnsSampleTime,
                                  QWORD* pcnsDuration, DWORD* pdwFlags, DWORD* pdwOutputNum,
                                  WORD* pwStreamNum) noexcept = 0;
    virtual HRESULT SetStreamsSelected(WORD cStreamCount, WORD* pwStreamNumbers,
                                       WMT_STREAM_SELECTION* pSelections) noexcept = 0;
    virtual HRESULT GetStreamSelected(WORD wStreamNum,
                                      WMT_STREAM_SELECTION* pSelection) noexcept = 0;
    // fCompressed TRUE: the stream's stored samples; FALSE: decoded output.
    virtual HRESULT SetReadStreamSamples(WORD wStreamNum, BOOL fCompressed) noexcept = 0;
    virtual HRESULT GetReadStreamSamples(WORD wStreamNum, BOOL* pfCompressed) noexcept = 0;
    virtual HRESULT GetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName,
                                     WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                     WORD* pcbLength) noexcept = 0;
    virtual HRESULT SetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                                     const BYTE* pValue, WORD cbLength) noexcept = 0;
    virtual HRESULT GetOutputCount(DWORD* pcOutputs) noexcept = 0;
    virtual HRESULT GetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps** ppOutput) noexcept = 0;
    virtual HRESULT SetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps* pOutput) noexcept = 0;
    virtual HRESULT GetOutputFormatCount(DWORD dwOutputNum, DWORD* pcFormats) noexcept = 0;
    virtual HRESULT GetOutputFormat(DWORD dwOutputNum, DWORD dwFormatNum,
                                    IWMOutputMediaProps** ppProps) noexcept = 0;
    virtual HRESULT GetOutputNumberForStream(WORD wStreamNum, DWORD* pdwOutputNum) noexcept = 0;
    virtual HRESULT GetStreamNumberForOutput(DWORD dwOutputNum, WORD* pwStreamNum) noexcept = 0;
    virtual HRESULT GetMaxOutputSampleSize(DWORD dwOutput, DWORD* pcbMax) noexcept = 0;
    virtual HRESULT GetMaxStreamSampleSize(WORD wStream, DWORD* pcbMax) noexcept = 0;
    virtual HRESULT OpenStream(IStream* pStream) noexcept = 0;

protected:
    ~IWMSyncReader() = default;
};

struct IWMStatusCallback : IUnknown {
    static constexpr const IID& kIid = IID_IWMStatusCallback;
    virtual HRESULT OnStatus(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE dwType,
                             BYTE* pValue, void* pvContext) noexcept = 0;

protected:
    ~IWMStatusCallback() = default;
};

struct IWMRegisterCallback : IUnknown {
    static constexpr const IID& kIid = IID_IWMRegisterCallback;
    virtual HRESULT Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept = 0;
    virtual HRESULT Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept = 0;

protected:
    ~IWMRegisterCallback() = default;
};

struct IWMWriterSink : IUnknown {
    static constexpr const IID& kIid = IID_IWMWriterSink;
    virtual HRESULT OnHeader(INSSBuffer* pHeader) noexcept = 0;
    virtual HRESULT IsRealTime(BOOL* pfRealTime) noexcept = 0;
    virtual HRESULT AllocateDataUnit(DWORD cbDataUnit, INSSBuffer** ppDataUnit) noexcept = 0;
    virtual HRESULT OnDataUnit(INSSBuffer* pDataUnit) noexcept = 0;
    virtual HRESULT OnEndWriting() noexcept = 0;

protected:
    ~IWMWriterSink() = default;
};

struct IWMWriter : IUnknown {
    static constexpr const IID& kIid = IID_IWMWriter;
    virtual HRESULT SetProfileByID(REFGUID guidProfile) noexcept = 0;
    virtual HRESULT SetProfile(IWMProfile* pProfile) noexcept = 0;
    virtual HRESULT SetOutputFilename(const WCHAR* pwszFilename) noexcept = 0;
    virtual HRESULT GetInputCount(DWORD* pcInputs) noexcept = 0;
    virtual HRESULT GetInputProps(DWORD dwInputNum, IWMInputMediaProps** ppInput) noexcept = 0;
    virtual HRESULT SetInputProps(DWORD dwInputNum, IWMInputMediaProps* pInput) noexcept = 0;
    virtual HRESULT GetInputFormatCount(DWORD dwInputNumber, DWORD* pcFormats) noexcept = 0;
    virtual HRESULT GetInputFormat(DWORD dwInputNumber, DWORD dwFormatNumber,
                                   IWMInputMediaProps** pProps) noexcept = 0;
    virtual HRESULT BeginWriting() noexcept = 0;
    virtual HRESULT EndWriting() noexcept = 0;
    virtual HRESULT AllocateSample(DWORD dwSampleSize, INSSBuffer** ppSample) noexcept = 0;
    virtual HRESULT WriteSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags,
                                INSSBuffer* pSample) noexcept = 0;
    virtual HRESULT Flush() noexcept = 0;

protected:
    ~IWMWriter() = default;
};

struct IWMWriterAdvanced : IUnknown {
    static constexpr const IID& kIid = IID_IWMWriterAdvanced;
    virtual HRESULT GetSinkCount(DWORD* pcSinks) noexcept = 0;
    virtual HRESULT GetSink(DWORD dwSinkNum, IWMWriterSink** ppSink) noexcept = 0;
    virtual HRESULT AddSink(IWMWriterSink* pSink) noexcept = 0;
    virtual HRESULT RemoveSink(IWMWriterSink* pSink) noexcept = 0;
    virtual HRESULT WriteStreamSample(WORD wStreamNum, QWORD cnsSampleTime,
                                      DWORD msSampleSendTime, QWORD cnsSampleDuration,
                                      DWORD dwFlags, INSSBuffer* pSample) noexcept = 0;
    virtual HRESULT SetLiveSource(BOOL fIsLiveSource) noexcept = 0;
    virtual HRESULT IsRealTime(BOOL* pfRealTime) noexcept = 0;
    virtual HRESULT GetWriterTime(QWORD* pcnsCurrentTime) noexcept = 0;
    virtual HRESULT GetStatistics(WORD wStreamNum, WM_WRITER_STATISTICS* pStats) noexcept = 0;
    virtual HRESULT SetSyncTolerance(DWORD msWindow) noexcept = 0;
    virtual HRESULT GetSyncTolerance(DWORD* pmsWindow) noexcept = 0;

protected:
    ~IWMWriterAdvanced() = default;
};

struct IWMWriterAdvanced2 : IWMWriterAdvanced {
    static constexpr const IID& kIid = IID_IWMWriterAdvanced2;
    virtual HRESULT GetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                                    BYTE* pValue, WORD* pcbLength) noexcept = 0;
    virtual HRESULT SetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                                    const BYTE* pValue, WORD cbLength) noexcept = 0;

protected:
    ~IWMWriterAdvanced2() = default;
};

struct IWMWriterPreprocess : IUnknown {
    static constexpr const IID& kIid = IID_IWMWriterPreprocess;
    virtual HRESULT GetMaxPreprocessingPasses(DWORD dwInputNum, DWORD dwFlags,
                                              DWORD* pdwMaxNumPasses) noexcept = 0;
    virtual HRESULT SetNumPreprocessingPasses(DWORD dwInputNum, DWORD dwFlags,
                                              DWORD dwNumPasses) noexcept = 0;
    virtual HRESULT BeginPreprocessingPass(DWORD dwInputNum, DWORD dwFlags) noexcept = 0;
    virtual HRESULT PreprocessSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD dwFlags,
                                     INSSBuffer* pSample) noexcept = 0;
    virtual HRESULT EndPreprocessingPass(DWORD dwInputNum, DWORD dwFlags) noexcept = 0;

protected:
    ~IWMWriterPreprocess() = default;
};

// Creation functions of libVRXWMVCore.so. Each fails with CO_E_NOTINITIALIZED
// on a thread where COM is not initialised, as the platform's do.
extern "C" {
HRESULT WMCreateSyncReader(IUnknown* pUnkCert, DWORD dwRights, IWMSyncReader** ppSyncReader) noexcept;
HRESULT WMCreateWriter(IUnknown* pUnkCert, IWMWriter** ppWriter) noexcept;
HRESULT WMCreateProfileManager(IWMProfileManager** ppProfileManager) noexcept;
}
