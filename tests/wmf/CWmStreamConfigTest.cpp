#include "wmf/CWmStreamConfig.h"

#include <gtest/gtest.h>

#include "win/NsError.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmGuids.h"
#include "wmf/WmTestSupport.h"

namespace {

ComPtr<CWmStreamConfig> NewConfig(const GUID& streamType) {
    ComPtr<CWmStreamConfig> pConfig;
    EXPECT_EQ(CWmStreamConfig::Create(streamType, pConfig.Put()), S_OK);
    return pConfig;
}

WmMediaType Wmv1Type() {
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = 176;
    bih.biHeight = 144;
    bih.biCompression = MakeFourCC('W', 'M', 'V', '1');
    return WmMediaType::FromBitmapInfo(bih);
}

}  // namespace

TEST(CWmStreamConfigTest, BasicsRoundTrip) {
    auto pConfig = NewConfig(WMMEDIATYPE_Video);
    ASSERT_EQ(pConfig->SetStreamNumber(2), S_OK);
    ASSERT_EQ(pConfig->SetStreamName(u"Video Stream"), S_OK);
    ASSERT_EQ(pConfig->SetConnectionName(u"Video"), S_OK);
    ASSERT_EQ(pConfig->SetBitrate(1'000'000), S_OK);
    ASSERT_EQ(pConfig->SetBufferWindow(5000), S_OK);

    GUID type{};
    WORD wNum = 0;
    DWORD dwBitrate = 0, msWindow = 0;
    EXPECT_EQ(pConfig->GetStreamType(&type), S_OK);
    EXPECT_EQ(type, WMMEDIATYPE_Video);
    EXPECT_EQ(pConfig->GetStreamNumber(&wNum), S_OK);
    EXPECT_EQ(wNum, 2);
    EXPECT_EQ(pConfig->GetBitrate(&dwBitrate), S_OK);
    EXPECT_EQ(dwBitrate, 1'000'000u);
    EXPECT_EQ(pConfig->GetBufferWindow(&msWindow), S_OK);
    EXPECT_EQ(msWindow, 5000u);
    EXPECT_EQ(ReadString<WORD>([&](WCHAR* p, WORD* pcch) { return pConfig->GetStreamName(p, pcch); }),
              u"Video Stream");
    EXPECT_EQ(ReadString<WORD>(
                  [&](WCHAR* p, WORD* pcch) { return pConfig->GetConnectionName(p, pcch); }),
              u"Video");
}

TEST(CWmStreamConfigTest, StreamNumbersOutsideAsfRangeAreRefused) {
    auto pConfig = NewConfig(WMMEDIATYPE_Audio);
    EXPECT_EQ(pConfig->SetStreamNumber(0), E_INVALIDARG);
    EXPECT_EQ(pConfig->SetStreamNumber(128), E_INVALIDARG);
    EXPECT_EQ(pConfig->SetStreamNumber(127), S_OK);
}

TEST(CWmStreamConfigTest, ShortNameBufferFailsWithNeededSize) {
    auto pConfig = NewConfig(WMMEDIATYPE_Audio);
    ASSERT_EQ(pConfig->SetStreamName(u"Audio Stream"), S_OK);
    WCHAR small[4] = {};
    WORD cch = 4;
    EXPECT_EQ(pConfig->GetStreamName(small, &cch), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(cch, 13) << "12 characters and the terminator";
}

TEST(CWmStreamConfigTest, MediaPropsOnTheSameObject) {
    auto pConfig = NewConfig(WMMEDIATYPE_Video);
    ComPtr<IWMVideoMediaProps> pVideo;
    ASSERT_EQ(pConfig.As(pVideo), S_OK);
    ComPtr<IUnknown> pUnk1, pUnk2;
    ASSERT_EQ(pConfig.As(pUnk1), S_OK);
    ASSERT_EQ(pVideo.As(pUnk2), S_OK);
    EXPECT_EQ(pUnk1.Get(), pUnk2.Get()) << "one identity whichever interface asks";

    WmMediaType mt = Wmv1Type();
    WM_MEDIA_TYPE raw = mt.Get();
    ASSERT_EQ(pVideo->SetMediaType(&raw), S_OK);
    EXPECT_EQ(ReadMediaType(pVideo.Get()), mt);
    ASSERT_EQ(pVideo->SetQuality(70), S_OK);
    ASSERT_EQ(pVideo->SetMaxKeyFrameSpacing(30'000'000), S_OK);
    EXPECT_EQ(pVideo->SetQuality(101), E_INVALIDARG);
    DWORD dwQuality = 0;
    LONGLONG llSpacing = 0;
    EXPECT_EQ(pVideo->GetQuality(&dwQuality), S_OK);
    EXPECT_EQ(dwQuality, 70u);
    EXPECT_EQ(pVideo->GetMaxKeyFrameSpacing(&llSpacing), S_OK);
    EXPECT_EQ(llSpacing, 30'000'000);
}

TEST(CWmStreamConfigTest, AudioConfigurationHasNoVideoProps) {
    auto pConfig = NewConfig(WMMEDIATYPE_Audio);
    ComPtr<IWMMediaProps> pProps;
    EXPECT_EQ(pConfig.As(pProps), S_OK);
    ComPtr<IWMVideoMediaProps> pVideo;
    EXPECT_EQ(pConfig.As(pVideo), E_NOINTERFACE);
}

TEST(CWmStreamConfigTest, VaultKeepsTypedValues) {
    auto pConfig = NewConfig(WMMEDIATYPE_Video);
    ComPtr<IWMPropertyVault> pVault;
    ASSERT_EQ(pConfig.As(pVault), S_OK);
    BOOL bTrue = TRUE;
    DWORD dwRmax = 2'000'000, dwBmax = 5000;
    ASSERT_EQ(pVault->SetProperty(g_wszVBREnabled, WMT_TYPE_BOOL, reinterpret_cast<BYTE*>(&bTrue), 4), S_OK);
    ASSERT_EQ(pVault->SetProperty(g_wszVBRBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&dwRmax), 4), S_OK);
    ASSERT_EQ(pVault->SetProperty(g_wszVBRBufferWindowMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&dwBmax), 4), S_OK);
    dwRmax = 3'000'000;
    ASSERT_EQ(pVault->SetProperty(g_wszVBRBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&dwRmax), 4), S_OK);

    DWORD cProps = 0;
    EXPECT_EQ(pVault->GetPropertyCount(&cProps), S_OK);
    EXPECT_EQ(cProps, 3u) << "setting a name again replaces its value";

    WMT_ATTR_DATATYPE type{};
    DWORD cb = 0;
    ASSERT_EQ(pVault->GetPropertyByName(g_wszVBRBitrateMax, &type, nullptr, &cb), S_OK);
    EXPECT_EQ(cb, 4u);
    DWORD dwValue = 0;
    ASSERT_EQ(pVault->GetPropertyByName(g_wszVBRBitrateMax, &type, reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(type, WMT_TYPE_DWORD);
    EXPECT_EQ(dwValue, 3'000'000u);
    EXPECT_EQ(pConfig->Properties().GetDword(g_wszVBREnabled), TRUE);
    EXPECT_EQ(pVault->GetPropertyByName(u"_NOSUCH", &type, nullptr, &cb), NS_E_UNSUPPORTED_PROPERTY);

    WCHAR name[32];
    DWORD cchName = 32;
    cb = 4;
    ASSERT_EQ(pVault->GetPropertyByIndex(2, name, &cchName, &type, reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(std::u16string(name), u"_BMAX");
    EXPECT_EQ(dwValue, 5000u);
    EXPECT_EQ(pVault->GetPropertyByIndex(3, name, &cchName, &type, nullptr, &cb), E_INVALIDARG);

    auto pOther = NewConfig(WMMEDIATYPE_Video);
    ComPtr<IWMPropertyVault> pOtherVault;
    ASSERT_EQ(pOther.As(pOtherVault), S_OK);
    ASSERT_EQ(pOtherVault->CopyPropertiesFrom(pVault.Get()), S_OK);
    EXPECT_EQ(pOther->Properties(), pConfig->Properties());
    ASSERT_EQ(pVault->Clear(), S_OK);
    EXPECT_EQ(pVault->GetPropertyCount(&cProps), S_OK);
    EXPECT_EQ(cProps, 0u);
    EXPECT_EQ(pOther->Properties().Count(), 3u) << "the copy is independent";
}

TEST(CWmStreamConfigTest, DataUnitExtensionsAreStored) {
    auto pConfig = NewConfig(WMMEDIATYPE_Video);
    ComPtr<IWMStreamConfig2> pConfig2;
    ASSERT_EQ(pConfig.As(pConfig2), S_OK);
    ASSERT_EQ(pConfig2->AddDataUnitExtension(WM_SampleExtensionGUID_ContentType, 1, nullptr, 0), S_OK);
    BYTE info[3] = {1, 2, 3};
    ASSERT_EQ(pConfig2->AddDataUnitExtension(WM_SampleExtensionGUID_Timecode, 14, info, 3), S_OK);

    WORD cExtensions = 0;
    EXPECT_EQ(pConfig2->GetDataUnitExtensionCount(&cExtensions), S_OK);
    EXPECT_EQ(cExtensions, 2);
    GUID guid{};
    WORD cbData = 0;
    DWORD cbInfo = 0;
    ASSERT_EQ(pConfig2->GetDataUnitExtension(1, &guid, &cbData, nullptr, &cbInfo), S_OK);
    EXPECT_EQ(guid, WM_SampleExtensionGUID_Timecode);
    EXPECT_EQ(cbData, 14);
    EXPECT_EQ(cbInfo, 3u);
    ASSERT_EQ(pConfig->DataUnitExtensions().size(), 2u);
    EXPECT_EQ(pConfig->DataUnitExtensions()[0].guidExtensionSystemID, WM_SampleExtensionGUID_ContentType);
    EXPECT_EQ(pConfig->DataUnitExtensions()[0].cbExtensionDataSize, 1);
    EXPECT_EQ(pConfig2->RemoveAllDataUnitExtensions(), S_OK);
    EXPECT_TRUE(pConfig->DataUnitExtensions().empty());
}

TEST(CWmStreamConfigTest, CloneIsDeepAndIndependent) {
    auto pConfig = NewConfig(WMMEDIATYPE_Video);
    WmMediaType mt = Wmv1Type();
    WM_MEDIA_TYPE raw = mt.Get();
    ASSERT_EQ(pConfig->SetMediaType(&raw), S_OK);
    ASSERT_EQ(pConfig->SetStreamNumber(3), S_OK);
    BOOL bTrue = TRUE;
    ASSERT_EQ(pConfig->SetProperty(g_wszVBREnabled, WMT_TYPE_BOOL, reinterpret_cast<BYTE*>(&bTrue), 4), S_OK);

    ComPtr<CWmStreamConfig> pCopy;
    ASSERT_EQ(pConfig->Clone(pCopy.Put()), S_OK);
    EXPECT_EQ(pCopy->StreamNumber(), 3);
    EXPECT_EQ(pCopy->MediaType(), mt);
    EXPECT_EQ(pCopy->Properties(), pConfig->Properties());

    ASSERT_EQ(pConfig->SetStreamNumber(4), S_OK);
    ASSERT_EQ(pConfig->Clear(), S_OK);
    EXPECT_EQ(pCopy->StreamNumber(), 3);
    EXPECT_EQ(pCopy->Properties().Count(), 1u);
    EXPECT_EQ(CWmStreamConfig::FromInterface(static_cast<IWMStreamConfig*>(pCopy.Get())), pCopy.Get());
}
