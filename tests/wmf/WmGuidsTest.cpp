#include "wmf/WmGuids.h"

#include <gtest/gtest.h>

#include <string>

#include "wmf/WmInterfaces.h"

namespace {

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", the registry form.
GUID ParseGuid(const std::string& text) {
    auto hex = [&](size_t pos, size_t len) { return std::stoull(text.substr(pos, len), nullptr, 16); };
    GUID g{};
    g.Data1 = static_cast<DWORD>(hex(0, 8));
    g.Data2 = static_cast<WORD>(hex(9, 4));
    g.Data3 = static_cast<WORD>(hex(14, 4));
    g.Data4[0] = static_cast<BYTE>(hex(19, 2));
    g.Data4[1] = static_cast<BYTE>(hex(21, 2));
    for (size_t i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<BYTE>(hex(24 + 2 * i, 2));
    return g;
}

struct GuidCase {
    const char* name;
    const GUID& guid;
    const char* text;
};

const GuidCase kGuidCases[] = {
    {"Video", WMMEDIATYPE_Video, "73646976-0000-0010-8000-00AA00389B71"},
    {"Audio", WMMEDIATYPE_Audio, "73647561-0000-0010-8000-00AA00389B71"},
    {"Script", WMMEDIATYPE_Script, "73636D64-0000-0010-8000-00AA00389B71"},
    {"Stream", MEDIATYPE_Stream, "E436EB83-524F-11CE-9F53-0020AF0BA770"},
    {"VideoInfo", WMFORMAT_VideoInfo, "05589F80-C356-11CE-BF01-00AA0055595A"},
    {"WaveFormatEx", WMFORMAT_WaveFormatEx, "05589F81-C356-11CE-BF01-00AA0055595A"},
    {"Wmv2", WMMEDIASUBTYPE_WMV2, "32564D57-0000-0010-8000-00AA00389B71"},
    {"Wvc1", WMMEDIASUBTYPE_WVC1, "31435657-0000-0010-8000-00AA00389B71"},
    {"Yuy2", WMMEDIASUBTYPE_YUY2, "32595559-0000-0010-8000-00AA00389B71"},
    {"Nv12", WMMEDIASUBTYPE_NV12, "3231564E-0000-0010-8000-00AA00389B71"},
    {"Rgb32", WMMEDIASUBTYPE_RGB32, "E436EB7E-524F-11CE-9F53-0020AF0BA770"},
    {"WmaV9", WMMEDIASUBTYPE_WMAudioV9, "00000162-0000-0010-8000-00AA00389B71"},
    {"ContentType", WM_SampleExtensionGUID_ContentType, "D590DC20-07BC-436C-9CF7-F3BBFBF1A4DC"},
    {"OutputCleanPoint", WM_SampleExtensionGUID_OutputCleanPoint, "F72A3C6F-6EB4-4EBC-B192-09AD9759E828"},
    {"MutexBitrate", CLSID_WMMUTEX_Bitrate, "D6E22A01-35DA-11D1-9034-00A0C90349BE"},
    {"CodecInfo", IID_IWMCodecInfo, "A970F41E-34DE-4A98-B3BA-E4B3CA7528F0"},
    {"CodecInfo3", IID_IWMCodecInfo3, "7E51F487-4D93-4F98-8AB4-27D0565ADC51"},
    {"MediaProps", IID_IWMMediaProps, "96406BCE-2B2B-11D3-B36B-00C04F6108FF"},
    {"VideoMediaProps", IID_IWMVideoMediaProps, "96406BCF-2B2B-11D3-B36B-00C04F6108FF"},
    {"PropertyVault", IID_IWMPropertyVault, "72995A79-5090-42A4-9C8C-D9D0B6D34BE5"},
    {"StreamConfig2", IID_IWMStreamConfig2, "7688D8CB-FC0D-43BD-9459-5A8DEC200CFA"},
    {"ProfileManager2", IID_IWMProfileManager2, "7A924E51-73C1-494D-8019-23D37ED9B89A"},
    {"SyncReader", IID_IWMSyncReader, "9397F121-7705-4DC9-B049-98B698188414"},
    {"HeaderInfo3", IID_IWMHeaderInfo3, "15CC68E3-27CC-4ECD-B222-3F5D02D80BD5"},
    {"NssBuffer3", IID_INSSBuffer3, "C87CEAAF-75BE-4BC4-84EB-AC2798507672"},
    {"WriterPreprocess", IID_IWMWriterPreprocess, "FC54A285-38C4-45B5-AA23-85B9F7CB424B"},
};

class WmGuidsTest : public ::testing::TestWithParam<GuidCase> {};

std::string CaseName(const ::testing::TestParamInfo<GuidCase>& info) { return info.param.name; }

}  // namespace

TEST_P(WmGuidsTest, HasThePlatformValue) {
    EXPECT_EQ(GetParam().guid, ParseGuid(GetParam().text)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Published, WmGuidsTest, ::testing::ValuesIn(kGuidCases), CaseName);

TEST(WmGuidsFourCCTest, SubtypeFromCodeAndBack) {
    EXPECT_EQ(MakeFourCC('W', 'M', 'V', '2'), 0x32564D57u);
    EXPECT_TRUE(IsFourCCGuid(WMMEDIASUBTYPE_WMAudioV2));
    EXPECT_EQ(WMMEDIASUBTYPE_WMAudioV2.Data1, 0x0161u);
    EXPECT_FALSE(IsFourCCGuid(WMMEDIASUBTYPE_RGB24));
    EXPECT_EQ(kIidOf<IWMProfile3>, IID_IWMProfile3);
}
