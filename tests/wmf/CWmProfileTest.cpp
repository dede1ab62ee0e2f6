#include "wmf/CWmProfile.h"

#include <gtest/gtest.h>

#include "win/NsError.h"
#include "wmf/CWmMutualExclusion.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmGuids.h"
#include "wmf/WmTestSupport.h"

namespace {

class CWmProfileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CWmProfile::Create(WMT_VER_8_0, m_pProfile.Put()), S_OK); }

    // A stream as the profile builder makes one: new stream, number, names,
    // bit rate and media type.
    ComPtr<IWMStreamConfig> NewStream(const WmMediaType& mt, WORD wNum, DWORD dwBitrate) {
        ComPtr<IWMStreamConfig> pConfig;
        EXPECT_EQ(m_pProfile->CreateNewStream(mt.MajorType(), pConfig.Put()), S_OK);
        EXPECT_EQ(pConfig->SetStreamNumber(wNum), S_OK);
        EXPECT_EQ(pConfig->SetStreamName(u"Stream"), S_OK);
        EXPECT_EQ(pConfig->SetConnectionName(u"Connection"), S_OK);
        EXPECT_EQ(pConfig->SetBitrate(dwBitrate), S_OK);
        ComPtr<IWMMediaProps> pProps;
        EXPECT_EQ(pConfig.As(pProps), S_OK);
        WM_MEDIA_TYPE raw = mt.Get();
        EXPECT_EQ(pProps->SetMediaType(&raw), S_OK);
        return pConfig;
    }

    static WmMediaType VideoType() {
        BITMAPINFOHEADER bih{};
        bih.biSize = sizeof bih;
        bih.biWidth = 320;
        bih.biHeight = 240;
        bih.biCompression = MakeFourCC('W', 'M', 'V', '2');
        return WmMediaType::FromBitmapInfo(bih);
    }

    static WmMediaType AudioType() {
        WAVEFORMATEX wfx{};
        wfx.wFormatTag = WAVE_FORMAT_WMAUDIO2;
        wfx.nChannels = 2;
        wfx.nSamplesPerSec = 44100;
        wfx.nBlockAlign = 743;
        wfx.wBitsPerSample = 16;
        return WmMediaType::FromWaveFormat(wfx);
    }

    ComPtr<IWMProfile> m_pProfile;
};

}  // namespace

TEST_F(CWmProfileTest, VersionNameAndDescription) {
    WMT_VERSION version{};
    EXPECT_EQ(m_pProfile->GetVersion(&version), S_OK);
    EXPECT_EQ(version, WMT_VER_8_0);
    ASSERT_EQ(m_pProfile->SetName(u"Custom Profile"), S_OK);
    ASSERT_EQ(m_pProfile->SetDescription(u"made here"), S_OK);
    EXPECT_EQ(ReadString<DWORD>([&](WCHAR* p, DWORD* pcch) { return m_pProfile->GetName(p, pcch); }),
              u"Custom Profile");
    EXPECT_EQ(ReadString<DWORD>(
                  [&](WCHAR* p, DWORD* pcch) { return m_pProfile->GetDescription(p, pcch); }),
              u"made here");
    ComPtr<IWMProfile> pOther;
    EXPECT_EQ(CWmProfile::Create(static_cast<WMT_VERSION>(0x00050000), pOther.Put()), E_INVALIDARG);
}

TEST_F(CWmProfileTest, AddStreamKeepsACopy) {
    ComPtr<IWMStreamConfig> pAudio = NewStream(AudioType(), 1, 128'000);
    ComPtr<IWMStreamConfig> pVideo = NewStream(VideoType(), 2, 1'000'000);
    ASSERT_EQ(m_pProfile->AddStream(pAudio.Get()), S_OK);
    ASSERT_EQ(m_pProfile->AddStream(pVideo.Get()), S_OK);
    ASSERT_EQ(pVideo->SetBitrate(5), S_OK) << "a change after AddStream";

    DWORD cStreams = 0;
    EXPECT_EQ(m_pProfile->GetStreamCount(&cStreams), S_OK);
    EXPECT_EQ(cStreams, 2u);
    ComPtr<IWMStreamConfig> pStored;
    ASSERT_EQ(m_pProfile->GetStreamByNumber(2, pStored.Put()), S_OK);
    EXPECT_NE(pStored.Get(), pVideo.Get());
    DWORD dwBitrate = 0;
    EXPECT_EQ(pStored->GetBitrate(&dwBitrate), S_OK);
    EXPECT_EQ(dwBitrate, 1'000'000u) << "the profile kept what was added";
    GUID type{};
    EXPECT_EQ(pStored->GetStreamType(&type), S_OK);
    EXPECT_EQ(type, WMMEDIATYPE_Video);
    ComPtr<IWMVideoMediaProps> pProps;
    ASSERT_EQ(pStored.As(pProps), S_OK);
    EXPECT_EQ(ReadMediaType(pProps.Get()), VideoType());

    ASSERT_EQ(m_pProfile->GetStream(0, pStored.Put()), S_OK);
    WORD wNum = 0;
    EXPECT_EQ(pStored->GetStreamNumber(&wNum), S_OK);
    EXPECT_EQ(wNum, 1) << "streams in the order added";
    EXPECT_EQ(m_pProfile->GetStream(2, pStored.Put()), E_INVALIDARG);
    EXPECT_EQ(m_pProfile->GetStreamByNumber(3, pStored.Put()), NS_E_NO_STREAM);
    EXPECT_EQ(pStored.Get(), nullptr);
}

TEST_F(CWmProfileTest, AddStreamRefusesIncompleteOrDuplicate) {
    ComPtr<IWMStreamConfig> pNoType;
    ASSERT_EQ(m_pProfile->CreateNewStream(WMMEDIATYPE_Audio, pNoType.Put()), S_OK);
    ASSERT_EQ(pNoType->SetStreamNumber(1), S_OK);
    EXPECT_EQ(m_pProfile->AddStream(pNoType.Get()), NS_E_INVALID_STREAM);

    ComPtr<IWMStreamConfig> pFirst = NewStream(AudioType(), 1, 128'000);
    ASSERT_EQ(m_pProfile->AddStream(pFirst.Get()), S_OK);
    EXPECT_EQ(m_pProfile->AddStream(pFirst.Get()), ASF_E_STREAMNUMBERINUSE);
    EXPECT_EQ(m_pProfile->CreateNewStream(GUID_NULL, pNoType.Put()), E_INVALIDARG);
}

TEST_F(CWmProfileTest, ReconfigStreamPutsChangesBack) {
    ASSERT_EQ(m_pProfile->AddStream(NewStream(VideoType(), 2, 1'000'000).Get()), S_OK);

    // As the builder switches a stream to variable bit rate and interlace flags.
    ComPtr<IWMStreamConfig> pConfig;
    ASSERT_EQ(m_pProfile->GetStream(0, pConfig.Put()), S_OK);
    ComPtr<IWMPropertyVault> pVault;
    ASSERT_EQ(pConfig.As(pVault), S_OK);
    BOOL bTrue = TRUE;
    DWORD dwRmax = 2'000'000;
    ASSERT_EQ(pVault->SetProperty(g_wszVBREnabled, WMT_TYPE_BOOL, reinterpret_cast<BYTE*>(&bTrue), 4), S_OK);
    ASSERT_EQ(pVault->SetProperty(g_wszVBRBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&dwRmax), 4), S_OK);
    ComPtr<IWMStreamConfig2> pConfig2;
    ASSERT_EQ(pConfig.As(pConfig2), S_OK);
    ASSERT_EQ(pConfig2->AddDataUnitExtension(WM_SampleExtensionGUID_ContentType, 1, nullptr, 0), S_OK);

    auto* pProfile = static_cast<CWmProfile*>(m_pProfile.Get());
    EXPECT_EQ(pProfile->Streams()[0]->Properties().Count(), 0u) << "not before ReconfigStream";
    ASSERT_EQ(m_pProfile->ReconfigStream(pConfig.Get()), S_OK);
    const CWmStreamConfig& stored = *pProfile->Streams()[0].Get();
    EXPECT_EQ(stored.Properties().GetDword(g_wszVBREnabled), TRUE);
    EXPECT_EQ(stored.Properties().GetDword(g_wszVBRBitrateMax), 2'000'000u);
    ASSERT_EQ(stored.DataUnitExtensions().size(), 1u);
    EXPECT_EQ(stored.DataUnitExtensions()[0].guidExtensionSystemID, WM_SampleExtensionGUID_ContentType);

    ASSERT_EQ(pConfig->SetStreamNumber(9), S_OK);
    EXPECT_EQ(m_pProfile->ReconfigStream(pConfig.Get()), NS_E_NO_STREAM);
}

TEST_F(CWmProfileTest, RemoveStreams) {
    ASSERT_EQ(m_pProfile->AddStream(NewStream(AudioType(), 1, 128'000).Get()), S_OK);
    ComPtr<IWMStreamConfig> pVideo = NewStream(VideoType(), 2, 1'000'000);
    ASSERT_EQ(m_pProfile->AddStream(pVideo.Get()), S_OK);
    ASSERT_EQ(m_pProfile->RemoveStream(pVideo.Get()), S_OK);
    EXPECT_EQ(m_pProfile->RemoveStreamByNumber(2), NS_E_NO_STREAM);
    ASSERT_EQ(m_pProfile->RemoveStreamByNumber(1), S_OK);
    DWORD cStreams = 1;
    EXPECT_EQ(m_pProfile->GetStreamCount(&cStreams), S_OK);
    EXPECT_EQ(cStreams, 0u);
}

TEST_F(CWmProfileTest, BitrateExclusionIsCopiedIn) {
    ComPtr<IWMMutualExclusion> pME;
    ASSERT_EQ(m_pProfile->CreateNewMutualExclusion(pME.Put()), S_OK);
    ASSERT_EQ(pME->SetType(CLSID_WMMUTEX_Bitrate), S_OK);
    ASSERT_EQ(pME->AddStream(2), S_OK);
    ASSERT_EQ(pME->AddStream(3), S_OK);
    EXPECT_EQ(pME->AddStream(3), E_INVALIDARG);
    ASSERT_EQ(m_pProfile->AddMutualExclusion(pME.Get()), S_OK);
    ASSERT_EQ(pME->AddStream(4), S_OK) << "after adding: the profile's copy stays";

    DWORD cME = 0;
    EXPECT_EQ(m_pProfile->GetMutualExclusionCount(&cME), S_OK);
    EXPECT_EQ(cME, 1u);
    ComPtr<IWMMutualExclusion> pStored;
    ASSERT_EQ(m_pProfile->GetMutualExclusion(0, pStored.Put()), S_OK);
    GUID type{};
    EXPECT_EQ(pStored->GetType(&type), S_OK);
    EXPECT_EQ(type, CLSID_WMMUTEX_Bitrate);
    WORD streams[4] = {};
    WORD cStreams = 1;
    EXPECT_EQ(pStored->GetStreams(streams, &cStreams), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(cStreams, 2);
    EXPECT_EQ(pStored->GetStreams(streams, &cStreams), S_OK);
    EXPECT_EQ(streams[0], 2);
    EXPECT_EQ(streams[1], 3);

    EXPECT_EQ(m_pProfile->RemoveMutualExclusion(pME.Get()), E_INVALIDARG)
        << "the caller's exclusion now differs from the profile's";
    ASSERT_EQ(pME->RemoveStream(4), S_OK);
    EXPECT_EQ(m_pProfile->RemoveMutualExclusion(pME.Get()), S_OK) << "found by content";
    EXPECT_EQ(m_pProfile->GetMutualExclusionCount(&cME), S_OK);
    EXPECT_EQ(cME, 0u);
}

TEST_F(CWmProfileTest, ForeignStreamConfigurationIsRefused) {
    // Only configurations this layer made can be copied whole.
    class CForeign final : public IWMStreamConfig {
    public:
        HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
            *ppv = nullptr;
            if (!(riid == IID_IUnknown || riid == IID_IWMStreamConfig)) return E_NOINTERFACE;
            *ppv = this;
            return S_OK;
        }
        ULONG AddRef() noexcept override { return 2; }
        ULONG Release() noexcept override { return 1; }
        HRESULT GetStreamType(GUID*) noexcept override { return E_NOTIMPL; }
        HRESULT GetStreamNumber(WORD*) noexcept override { return E_NOTIMPL; }
        HRESULT SetStreamNumber(WORD) noexcept override { return E_NOTIMPL; }
        HRESULT GetStreamName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
        HRESULT SetStreamName(const WCHAR*) noexcept override { return E_NOTIMPL; }
        HRESULT GetConnectionName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
        HRESULT SetConnectionName(const WCHAR*) noexcept override { return E_NOTIMPL; }
        HRESULT GetBitrate(DWORD*) noexcept override { return E_NOTIMPL; }
        HRESULT SetBitrate(DWORD) noexcept override { return E_NOTIMPL; }
        HRESULT GetBufferWindow(DWORD*) noexcept override { return E_NOTIMPL; }
        HRESULT SetBufferWindow(DWORD) noexcept override { return E_NOTIMPL; }
    } foreign;
    EXPECT_EQ(m_pProfile->AddStream(&foreign), E_INVALIDARG);
    EXPECT_EQ(m_pProfile->ReconfigStream(&foreign), E_INVALIDARG);
}
