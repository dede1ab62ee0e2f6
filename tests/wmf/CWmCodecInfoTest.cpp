#include "wmf/CWmCodecInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <set>
#include <vector>

#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/AvPtr.h"
#include "wmf/CWmProfileManager.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmGuids.h"
#include "wmf/WmTestSupport.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

class CWmCodecInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ComPtr<IWMProfileManager> pManager;
        ASSERT_EQ(CWmProfileManager::Create(pManager.Put()), S_OK);
        ASSERT_EQ(pManager.As(m_pInfo), S_OK);
    }

    // Every format of every codec of a major type, as media types.
    std::vector<WmMediaType> AllFormats(const GUID& majorType) {
        std::vector<WmMediaType> formats;
        DWORD cCodecs = 0;
        EXPECT_EQ(m_pInfo->GetCodecInfoCount(majorType, &cCodecs), S_OK);
        for (DWORD codec = 0; codec < cCodecs; ++codec) {
            DWORD cFormats = 0;
            EXPECT_EQ(m_pInfo->GetCodecFormatCount(majorType, codec, &cFormats), S_OK);
            for (DWORD format = 0; format < cFormats; ++format) {
                ComPtr<IWMStreamConfig> pConfig;
                EXPECT_EQ(m_pInfo->GetCodecFormat(majorType, codec, format, pConfig.Put()), S_OK);
                ComPtr<IWMMediaProps> pProps;
                EXPECT_EQ(pConfig.As(pProps), S_OK);
                formats.push_back(ReadMediaType(pProps.Get()));
            }
        }
        return formats;
    }

    // What the profile builder's audio search accepts: exact rate, channels,
    // tag and 16 bits, and a byte rate within 249 bit/s of the request.
    bool HostFindsAudio(WORD wTag, DWORD dwRate, WORD wChannels, DWORD dwBitrate) {
        for (const WmMediaType& mt : AllFormats(WMMEDIATYPE_Audio)) {
            const WAVEFORMATEX* pWfx = mt.WaveFormat();
            const uint32_t diff = pWfx->nAvgBytesPerSec * 8 - dwBitrate;
            if (pWfx->wFormatTag == wTag && pWfx->nSamplesPerSec == dwRate &&
                pWfx->nChannels == wChannels && pWfx->wBitsPerSample == 16 && diff + 249 <= 498)
                return true;
        }
        return false;
    }

    ComPtr<IWMCodecInfo3> m_pInfo;
};

// Packets of one second of a 440 Hz tone through FFmpeg's wmav2 encoder.
struct Encoded {
    std::vector<int> packetSizes;
    int frameSize = 0;
    std::vector<BYTE> extradata;
};

Encoded EncodeToneSecond(const WAVEFORMATEX& wfx, int64_t bitRate) {
    Encoded out;
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    AvPtr<AVCodecContext> pContext(avcodec_alloc_context3(pCodec));
    pContext->sample_rate = static_cast<int>(wfx.nSamplesPerSec);
    av_channel_layout_default(&pContext->ch_layout, wfx.nChannels);
    pContext->sample_fmt = AV_SAMPLE_FMT_FLTP;
    pContext->bit_rate = bitRate;
    if (avcodec_open2(pContext.get(), pCodec, nullptr) < 0) return out;
    out.frameSize = pContext->frame_size;
    out.extradata.assign(pContext->extradata, pContext->extradata + pContext->extradata_size);

    AvPtr<AVFrame> pFrame = MakeFrame();
    AvPtr<AVPacket> pPacket = MakePacket();
    auto drain = [&] {
        while (avcodec_receive_packet(pContext.get(), pPacket.get()) == 0) {
            out.packetSizes.push_back(pPacket->size);
            av_packet_unref(pPacket.get());
        }
    };
    for (int start = 0; start < pContext->sample_rate; start += out.frameSize) {
        pFrame->nb_samples = out.frameSize;
        pFrame->format = AV_SAMPLE_FMT_FLTP;
        EXPECT_EQ(av_channel_layout_copy(&pFrame->ch_layout, &pContext->ch_layout), 0);
        EXPECT_EQ(av_frame_get_buffer(pFrame.get(), 0), 0);
        for (int ch = 0; ch < wfx.nChannels; ++ch) {
            auto* pSamples = reinterpret_cast<float*>(pFrame->data[ch]);
            for (int i = 0; i < out.frameSize; ++i)
                pSamples[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440 * (start + i) /
                                                                 pContext->sample_rate));
        }
        pFrame->pts = start;
        EXPECT_EQ(avcodec_send_frame(pContext.get(), pFrame.get()), 0);
        av_frame_unref(pFrame.get());
        drain();
    }
    EXPECT_EQ(avcodec_send_frame(pContext.get(), nullptr), 0);
    drain();
    return out;
}

}  // namespace

TEST_F(CWmCodecInfoTest, VideoCodecsAreExactlyWmv2ThenWmv1) {
    DWORD cCodecs = 0;
    ASSERT_EQ(m_pInfo->GetCodecInfoCount(WMMEDIATYPE_Video, &cCodecs), S_OK);
    ASSERT_EQ(cCodecs, 2u);
    const std::u16string names[] = {u"Windows Media Video 8", u"Windows Media Video 7"};
    const uint32_t fourCCs[] = {MakeFourCC('W', 'M', 'V', '2'), MakeFourCC('W', 'M', 'V', '1')};
    for (DWORD codec = 0; codec < cCodecs; ++codec) {
        SCOPED_TRACE(codec);
        EXPECT_EQ(ReadString<DWORD>([&](WCHAR* p, DWORD* pcch) {
                      return m_pInfo->GetCodecName(WMMEDIATYPE_Video, codec, p, pcch);
                  }),
                  names[codec]);
        DWORD cFormats = 0;
        ASSERT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Video, codec, &cFormats), S_OK);
        ASSERT_EQ(cFormats, 1u);
        ComPtr<IWMStreamConfig> pConfig;
        ASSERT_EQ(m_pInfo->GetCodecFormat(WMMEDIATYPE_Video, codec, 0, pConfig.Put()), S_OK);
        ComPtr<IWMVideoMediaProps> pProps;
        ASSERT_EQ(pConfig.As(pProps), S_OK) << "the builder asks for the video properties";
        const WmMediaType mt = ReadMediaType(pProps.Get());
        EXPECT_EQ(mt.FormatType(), WMFORMAT_VideoInfo);
        ASSERT_NE(mt.VideoInfo(), nullptr);
        EXPECT_EQ(mt.VideoInfo()->bmiHeader.biCompression, fourCCs[codec]);
        EXPECT_EQ(mt.SubType(), GuidFromFourCC(fourCCs[codec]));
    }
    EXPECT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Video, 2, &cCodecs), E_INVALIDARG);
}

TEST_F(CWmCodecInfoTest, NoVideoFormatForCodecsWeCannotEncode) {
    std::set<uint32_t> fourCCs;
    for (const WmMediaType& mt : AllFormats(WMMEDIATYPE_Video))
        fourCCs.insert(mt.VideoInfo()->bmiHeader.biCompression);
    EXPECT_EQ(fourCCs, (std::set<uint32_t>{MakeFourCC('W', 'M', 'V', '1'), MakeFourCC('W', 'M', 'V', '2')}));
    EXPECT_FALSE(fourCCs.count(MakeFourCC('W', 'M', 'V', '3')));
    EXPECT_FALSE(fourCCs.count(MakeFourCC('W', 'V', 'C', '1')));
    EXPECT_FALSE(fourCCs.count(MakeFourCC('W', 'M', 'V', 'A')));
}

TEST_F(CWmCodecInfoTest, AudioIsOneWmaV2CodecWithinEncoderLimits) {
    DWORD cCodecs = 0;
    ASSERT_EQ(m_pInfo->GetCodecInfoCount(WMMEDIATYPE_Audio, &cCodecs), S_OK);
    ASSERT_EQ(cCodecs, 1u);
    const std::vector<WmMediaType> formats = AllFormats(WMMEDIATYPE_Audio);
    ASSERT_FALSE(formats.empty());
    for (size_t i = 0; i < formats.size(); ++i) {
        SCOPED_TRACE(i);
        const WAVEFORMATEX* pWfx = formats[i].WaveFormat();
        ASSERT_NE(pWfx, nullptr);
        EXPECT_EQ(formats[i].SubType(), WMMEDIASUBTYPE_WMAudioV2);
        EXPECT_EQ(pWfx->wFormatTag, WAVE_FORMAT_WMAUDIO2);
        EXPECT_EQ(pWfx->wBitsPerSample, 16);
        EXPECT_LE(pWfx->nChannels, 2);
        EXPECT_LE(pWfx->nSamplesPerSec, 48000u);
        EXPECT_GE(pWfx->nAvgBytesPerSec * 8, 24000u - 249);
        EXPECT_EQ(pWfx->cbSize, 10) << "the WMA v2 codec data";
        if (i > 0) {
            const WAVEFORMATEX* pPrev = formats[i - 1].WaveFormat();
            if (pPrev->nSamplesPerSec == pWfx->nSamplesPerSec && pPrev->nChannels == pWfx->nChannels) {
                EXPECT_GT(pPrev->nAvgBytesPerSec, pWfx->nAvgBytesPerSec) << "highest bit rate first";
            }
        }
    }
}

TEST_F(CWmCodecInfoTest, EveryWmaFormatIsWhatTheEncoderProduces) {
    for (const WmMediaType& mt : AllFormats(WMMEDIATYPE_Audio)) {
        const WAVEFORMATEX& wfx = *mt.WaveFormat();
        SCOPED_TRACE(::testing::Message() << wfx.nSamplesPerSec << " Hz, " << wfx.nChannels
                                          << " ch, " << wfx.nAvgBytesPerSec << " B/s");
        const int64_t bitRate = CWmCodecInfo::WmaEncoderBitRate(wfx);
        ASSERT_GT(bitRate, 0);
        const Encoded encoded = EncodeToneSecond(wfx, bitRate);
        ASSERT_GT(encoded.frameSize, 0) << "the encoder opens";
        ASSERT_FALSE(encoded.packetSizes.empty());
        for (int size : encoded.packetSizes) {
            ASSERT_EQ(size, wfx.nBlockAlign);
        }
        const int64_t totalBytes = int64_t{wfx.nBlockAlign} * static_cast<int64_t>(encoded.packetSizes.size());
        const int64_t totalSamples = int64_t{encoded.frameSize} * static_cast<int64_t>(encoded.packetSizes.size());
        EXPECT_EQ(wfx.nAvgBytesPerSec, totalBytes * wfx.nSamplesPerSec / totalSamples);
        ASSERT_EQ(encoded.extradata.size(), wfx.cbSize);
        EXPECT_EQ(std::memcmp(encoded.extradata.data(), mt.Format().data() + sizeof(WAVEFORMATEX), wfx.cbSize), 0);
    }
}

TEST_F(CWmCodecInfoTest, HostAudioRequestsFindWhatWeEncode) {
    struct Request { DWORD rate; WORD channels; DWORD bitrate; bool found; };
    const Request requests[] = {
        {48000, 2, 64000, true},   {48000, 2, 192000, true}, {44100, 2, 128000, true},
        {44100, 2, 320000, true},  {44100, 2, 48000, true},  {44100, 1, 32000, true},
        {44100, 1, 48000, true},   {32000, 2, 32000, true},  {32000, 2, 48000, true},
        {44100, 1, 20000, false},  {32000, 2, 20000, false}, {22050, 2, 22000, false},
        {16000, 1, 16000, false},  {8000, 1, 8000, false},   {48000, 6, 384000, false},
    };
    for (const Request& r : requests) {
        SCOPED_TRACE(::testing::Message() << r.rate << " Hz, " << r.channels << " ch, " << r.bitrate);
        EXPECT_EQ(HostFindsAudio(WAVE_FORMAT_WMAUDIO2, r.rate, r.channels, r.bitrate), r.found);
    }
    // WMA Pro, Lossless, Voice and ACELP.net are not offered at all.
    for (WORD wTag : {WAVE_FORMAT_WMAUDIO3, WAVE_FORMAT_WMAUDIO_LOSSLESS, WAVE_FORMAT_WMAVOICE9, WORD{0x0130}}) {
        EXPECT_FALSE(HostFindsAudio(wTag, 44100, 2, 128000)) << wTag;
    }
}

TEST_F(CWmCodecInfoTest, VbrOrTwoPassEnumerationListsNoAudio) {
    DWORD cFormats = 0;
    ASSERT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &cFormats), S_OK);
    const DWORD cCbr = cFormats;
    ASSERT_GT(cCbr, 0u);

    BOOL bTrue = TRUE, bFalse = FALSE;
    ASSERT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, g_wszVBREnabled, WMT_TYPE_BOOL,
                                                  reinterpret_cast<BYTE*>(&bTrue), 4), S_OK);
    EXPECT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &cFormats), S_OK);
    EXPECT_EQ(cFormats, 0u);
    ComPtr<IWMStreamConfig> pConfig;
    EXPECT_EQ(m_pInfo->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, pConfig.Put()), E_INVALIDARG);
    ASSERT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, g_wszVBREnabled, WMT_TYPE_BOOL,
                                                  reinterpret_cast<BYTE*>(&bFalse), 4), S_OK);
    EXPECT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &cFormats), S_OK);
    EXPECT_EQ(cFormats, cCbr);

    DWORD cPasses = 2;
    ASSERT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, g_wszNumPasses, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4), S_OK);
    EXPECT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &cFormats), S_OK);
    EXPECT_EQ(cFormats, 0u);

    ASSERT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Video, 0, g_wszNumPasses, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4), S_OK);
    EXPECT_EQ(m_pInfo->GetCodecFormatCount(WMMEDIATYPE_Video, 0, &cFormats), S_OK);
    EXPECT_EQ(cFormats, 1u) << "the video encoders have two-pass rate control";
}

TEST_F(CWmCodecInfoTest, EnumerationSettingsAreStoredAndChecked) {
    WMT_ATTR_DATATYPE type{};
    DWORD dwValue = 7, cb = 4;
    ASSERT_EQ(m_pInfo->GetCodecEnumerationSetting(WMMEDIATYPE_Video, 1, g_wszNumPasses, &type,
                                                  reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(type, WMT_TYPE_DWORD);
    EXPECT_EQ(dwValue, 1u) << "one pass until told otherwise";

    DWORD cPasses = 2;
    ASSERT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Video, 1, g_wszNumPasses, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4), S_OK);
    ASSERT_EQ(m_pInfo->GetCodecEnumerationSetting(WMMEDIATYPE_Video, 1, g_wszNumPasses, &type,
                                                  reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(dwValue, 2u);
    ASSERT_EQ(m_pInfo->GetCodecEnumerationSetting(WMMEDIATYPE_Video, 0, g_wszNumPasses, &type,
                                                  reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(dwValue, 1u) << "settings are per codec";
    ASSERT_EQ(m_pInfo->GetCodecFormatProp(WMMEDIATYPE_Video, 1, 0, g_wszNumPasses, &type,
                                          reinterpret_cast<BYTE*>(&dwValue), &cb), S_OK);
    EXPECT_EQ(dwValue, 2u) << "a format belongs to its enumeration";

    cPasses = 3;
    EXPECT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Video, 1, g_wszNumPasses, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4),
              NS_E_INVALID_NUM_PASSES);
    EXPECT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Video, 1, g_wszComplexity, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4),
              NS_E_UNSUPPORTED_PROPERTY);
    EXPECT_EQ(m_pInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 3, g_wszNumPasses, WMT_TYPE_DWORD,
                                                  reinterpret_cast<BYTE*>(&cPasses), 4),
              E_INVALIDARG);

    BOOL bSupported = TRUE;
    cb = 4;
    ASSERT_EQ(m_pInfo->GetCodecProp(WMMEDIATYPE_Audio, 0, g_wszIsVBRSupported, &type,
                                    reinterpret_cast<BYTE*>(&bSupported), &cb), S_OK);
    EXPECT_EQ(type, WMT_TYPE_BOOL);
    EXPECT_EQ(bSupported, FALSE);
}

TEST_F(CWmCodecInfoTest, FormatDescriptionsNameRateAndChannels) {
    ComPtr<IWMStreamConfig> pConfig;
    const std::u16string desc = ReadString<DWORD>([&](WCHAR* p, DWORD* pcch) {
        return m_pInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, pConfig.Put(), p, pcch);
    });
    ASSERT_NE(pConfig.Get(), nullptr);
    ComPtr<IWMMediaProps> pProps;
    ASSERT_EQ(pConfig.As(pProps), S_OK);
    const WmMediaType mt = ReadMediaType(pProps.Get());
    const WAVEFORMATEX* pWfx = mt.WaveFormat();
    const std::string rate = std::to_string(pWfx->nSamplesPerSec / 1000) + " kHz";
    EXPECT_NE(desc.find(std::u16string(rate.begin(), rate.end())), std::u16string::npos);
    EXPECT_NE(desc.find(pWfx->nChannels == 2 ? u"stereo" : u"mono"), std::u16string::npos);
    DWORD dwBitrate = 0;
    EXPECT_EQ(pConfig->GetBitrate(&dwBitrate), S_OK);
    EXPECT_EQ(dwBitrate, pWfx->nAvgBytesPerSec * 8);
}

TEST_F(CWmCodecInfoTest, AvailabilityProbeSequenceSucceeds) {
    // WMCreateProfileManager, IWMCodecInfo, the first video format, its media
    // properties: the sequence the plug-in runs before it opens anything.
    ASSERT_GE(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), 0);
    {
        ComPtr<IWMProfileManager> pManager;
        ASSERT_EQ(WMCreateProfileManager(pManager.Put()), S_OK);
        ComPtr<IWMCodecInfo> pInfo;
        ASSERT_EQ(pManager.As(pInfo), S_OK);
        ComPtr<IWMStreamConfig> pConfig;
        ASSERT_EQ(pInfo->GetCodecFormat(WMMEDIATYPE_Video, 0, 0, pConfig.Put()), S_OK);
        ComPtr<IWMMediaProps> pProps;
        EXPECT_EQ(pConfig.As(pProps), S_OK);
    }
    CoUninitialize();
}
