#include "wmf/CWmMediaProps.h"

#include <gtest/gtest.h>

#include "wmf/WmGuids.h"
#include "wmf/WmTestSupport.h"

namespace {

WmMediaType Pcm16Stereo() {
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = 48000;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = 192000;
    return WmMediaType::FromWaveFormat(wfx);
}

}  // namespace

TEST(CWmMediaPropsTest, OutputPropsAnswerAsOutputOnly) {
    ComPtr<IWMOutputMediaProps> pOutput;
    ASSERT_EQ(CWmMediaProps::CreateOutput(Pcm16Stereo(), u"Group", u"Audio", pOutput.Put()), S_OK);
    ComPtr<IWMMediaProps> pProps;
    EXPECT_EQ(pOutput.As(pProps), S_OK);
    ComPtr<IWMInputMediaProps> pInput;
    EXPECT_EQ(pOutput.As(pInput), E_NOINTERFACE);
    ComPtr<IUnknown> pUnk1, pUnk2;
    ASSERT_EQ(pOutput.As(pUnk1), S_OK);
    ASSERT_EQ(pProps.As(pUnk2), S_OK);
    EXPECT_EQ(pUnk1.Get(), pUnk2.Get());

    GUID type{};
    EXPECT_EQ(pOutput->GetType(&type), S_OK);
    EXPECT_EQ(type, WMMEDIATYPE_Audio);
    EXPECT_EQ(ReadMediaType(pOutput.Get()), Pcm16Stereo());
    EXPECT_EQ(ReadString<WORD>(
                  [&](WCHAR* p, WORD* pcch) { return pOutput->GetStreamGroupName(p, pcch); }),
              u"Group");
    EXPECT_EQ(ReadString<WORD>(
                  [&](WCHAR* p, WORD* pcch) { return pOutput->GetConnectionName(p, pcch); }),
              u"Audio");
}

TEST(CWmMediaPropsTest, InputPropsTakeANewType) {
    ComPtr<IWMInputMediaProps> pInput;
    ASSERT_EQ(CWmMediaProps::CreateInput(Pcm16Stereo(), u"Audio", u"", pInput.Put()), S_OK);
    ComPtr<IWMOutputMediaProps> pOutput;
    EXPECT_EQ(pInput.As(pOutput), E_NOINTERFACE);
    EXPECT_EQ(ReadString<WORD>([&](WCHAR* p, WORD* pcch) { return pInput->GetConnectionName(p, pcch); }),
              u"Audio");
    EXPECT_EQ(ReadString<WORD>([&](WCHAR* p, WORD* pcch) { return pInput->GetGroupName(p, pcch); }),
              u"");

    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = 64;
    bih.biHeight = 48;
    bih.biBitCount = 24;
    bih.biSizeImage = 64 * 48 * 3;
    const WmMediaType rgb = WmMediaType::FromBitmapInfo(bih);
    WM_MEDIA_TYPE raw = rgb.Get();
    ASSERT_EQ(pInput->SetMediaType(&raw), S_OK);
    EXPECT_EQ(ReadMediaType(pInput.Get()), rgb);
    EXPECT_EQ(pInput->SetMediaType(nullptr), E_POINTER);
}
