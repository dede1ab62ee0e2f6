#include "wmf/WmMediaType.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "wmf/WmGuids.h"

namespace {

BITMAPINFOHEADER Wmv2Header(LONG width, LONG height) {
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = MakeFourCC('W', 'M', 'V', '2');
    return bih;
}

// A WMA v2 format with its 10 codec bytes behind it, as stored in a file.
struct WmaFormat {
    WAVEFORMATEX wfx;
    BYTE extra[10];
};

WmaFormat MakeWmaFormat() {
    WmaFormat f{};
    f.wfx.wFormatTag = WAVE_FORMAT_WMAUDIO2;
    f.wfx.nChannels = 2;
    f.wfx.nSamplesPerSec = 44100;
    f.wfx.nAvgBytesPerSec = 15999;
    f.wfx.nBlockAlign = 743;
    f.wfx.wBitsPerSample = 16;
    f.wfx.cbSize = sizeof f.extra;
    for (BYTE i = 0; i < sizeof f.extra; ++i) f.extra[i] = static_cast<BYTE>(0xA0 + i);
    return f;
}

}  // namespace

TEST(WmMediaTypeTest, VideoFromBitmapCarriesCodecDataInBiSize) {
    const std::vector<BYTE> codecData{0x12, 0x34, 0x56, 0x78};
    const WmMediaType mt = WmMediaType::FromBitmapInfo(Wmv2Header(320, 240), codecData);

    EXPECT_EQ(mt.MajorType(), WMMEDIATYPE_Video);
    EXPECT_EQ(mt.SubType(), WMMEDIASUBTYPE_WMV2);
    EXPECT_EQ(mt.FormatType(), WMFORMAT_VideoInfo);
    EXPECT_EQ(mt.Get().bTemporalCompression, TRUE) << "a compressed stream";
    EXPECT_EQ(mt.Get().bFixedSizeSamples, FALSE);
    ASSERT_EQ(mt.Format().size(), sizeof(VIDEOINFOHEADER) + codecData.size());
    const VIDEOINFOHEADER* pVih = mt.VideoInfo();
    ASSERT_NE(pVih, nullptr);
    EXPECT_EQ(pVih->bmiHeader.biSize, sizeof(BITMAPINFOHEADER) + codecData.size());
    EXPECT_EQ(pVih->rcSource.right, 320);
    EXPECT_EQ(pVih->rcTarget.bottom, 240);
    EXPECT_EQ(pVih->AvgTimePerFrame, 0);
    EXPECT_EQ(std::memcmp(mt.Format().data() + sizeof(VIDEOINFOHEADER), codecData.data(), 4), 0);
}

TEST(WmMediaTypeTest, UncompressedVideoHasFixedSizeSamples) {
    BITMAPINFOHEADER bih = Wmv2Header(64, 48);
    bih.biCompression = MakeFourCC('Y', 'U', 'Y', '2');
    bih.biBitCount = 16;
    bih.biSizeImage = 64 * 48 * 2;
    const WmMediaType yuy2 = WmMediaType::FromBitmapInfo(bih);
    EXPECT_EQ(yuy2.SubType(), WMMEDIASUBTYPE_YUY2);
    EXPECT_EQ(yuy2.Get().bFixedSizeSamples, TRUE);
    EXPECT_EQ(yuy2.Get().lSampleSize, bih.biSizeImage);

    bih.biCompression = BI_RGB;
    bih.biBitCount = 32;
    EXPECT_EQ(WmMediaType::FromBitmapInfo(bih).SubType(), WMMEDIASUBTYPE_RGB32);
    bih.biBitCount = 16;
    EXPECT_EQ(WmMediaType::FromBitmapInfo(bih).SubType(), WMMEDIASUBTYPE_RGB555);
    bih.biCompression = BI_BITFIELDS;
    EXPECT_EQ(WmMediaType::FromBitmapInfo(bih).SubType(), WMMEDIASUBTYPE_RGB565);
}

TEST(WmMediaTypeTest, AudioFromWaveFormatCopiesExtraBytes) {
    const WmaFormat f = MakeWmaFormat();
    const WmMediaType mt = WmMediaType::FromWaveFormat(f.wfx);
    EXPECT_EQ(mt.MajorType(), WMMEDIATYPE_Audio);
    EXPECT_EQ(mt.SubType(), WMMEDIASUBTYPE_WMAudioV2);
    EXPECT_EQ(mt.FormatType(), WMFORMAT_WaveFormatEx);
    EXPECT_EQ(mt.Get().lSampleSize, 743u) << "the block align";
    ASSERT_EQ(mt.Format().size(), 28u) << "18 bytes and cbSize";
    EXPECT_EQ(std::memcmp(mt.Format().data(), &f, 28), 0);
}

TEST(WmMediaTypeTest, ExtensibleAudioTakesItsSubFormat) {
    WAVEFORMATEXTENSIBLE wfx{};
    wfx.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    wfx.Format.nChannels = 6;
    wfx.Format.cbSize = 22;
    wfx.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    const WmMediaType mt = WmMediaType::FromWaveFormat(wfx.Format);
    EXPECT_EQ(mt.SubType(), WMMEDIASUBTYPE_PCM);
    EXPECT_EQ(mt.Format().size(), sizeof(WAVEFORMATEXTENSIBLE));
}

TEST(WmMediaTypeTest, SizeQueryThenCopyLaysFormatBehindStructure) {
    const WmaFormat f = MakeWmaFormat();
    const WmMediaType mt = WmMediaType::FromWaveFormat(f.wfx);

    DWORD cb = 0;
    ASSERT_EQ(mt.CopyTo(nullptr, &cb), S_OK);
    EXPECT_EQ(cb, sizeof(WM_MEDIA_TYPE) + 28);

    std::vector<BYTE> buffer(cb, 0xCD);
    auto* pType = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    ASSERT_EQ(mt.CopyTo(pType, &cb), S_OK);
    EXPECT_EQ(pType->majortype, WMMEDIATYPE_Audio);
    EXPECT_EQ(pType->cbFormat, 28u);
    EXPECT_EQ(pType->pUnk, nullptr);
    EXPECT_EQ(pType->pbFormat, buffer.data() + sizeof(WM_MEDIA_TYPE))
        << "the format block follows the structure in the caller's buffer";
    EXPECT_EQ(std::memcmp(pType->pbFormat, &f, 28), 0);

    WmMediaType back;
    ASSERT_EQ(back.Assign(*pType), S_OK);
    EXPECT_EQ(back, mt);
}

TEST(WmMediaTypeTest, TooSmallBufferFailsAndReportsSize) {
    const WmMediaType mt = WmMediaType::FromBitmapInfo(Wmv2Header(320, 240));
    const DWORD cbNeeded = sizeof(WM_MEDIA_TYPE) + sizeof(VIDEOINFOHEADER);
    std::vector<BYTE> buffer(cbNeeded - 1, 0xCD);
    DWORD cb = cbNeeded - 1;
    EXPECT_EQ(mt.CopyTo(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &cb), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(cb, cbNeeded);
    EXPECT_EQ(buffer[0], 0xCD) << "nothing written on failure";
    EXPECT_EQ(mt.CopyTo(nullptr, nullptr), E_INVALIDARG);
}

TEST(WmMediaTypeTest, EqualityComparesFormatBytes) {
    WmMediaType a = WmMediaType::FromBitmapInfo(Wmv2Header(320, 240));
    WmMediaType b = a;
    EXPECT_EQ(a, b);
    b.VideoInfo()->bmiHeader.biWidth = 321;
    EXPECT_FALSE(a == b);
    b = a;
    b.SetMajorType(MEDIATYPE_Stream);
    EXPECT_FALSE(a == b);
}

TEST(WmMediaTypeTest, AssignRejectsMissingFormatAndDropsUnknown) {
    WM_MEDIA_TYPE raw{};
    raw.majortype = WMMEDIATYPE_Audio;
    raw.cbFormat = 18;
    WmMediaType mt;
    EXPECT_EQ(mt.Assign(raw), E_INVALIDARG);
    EXPECT_FALSE(mt.IsSet()) << "a failed assignment changes nothing";

    raw.cbFormat = 0;
    raw.pUnk = reinterpret_cast<IUnknown*>(&raw);
    ASSERT_EQ(mt.Assign(raw), S_OK);
    EXPECT_EQ(mt.Get().pUnk, nullptr);
    EXPECT_EQ(mt.Get().pbFormat, nullptr);
    EXPECT_EQ(mt.WaveFormat(), nullptr) << "no format block to view";
}
