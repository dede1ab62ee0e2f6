#include "vrxwm/ReaderSources.h"

#include <algorithm>
#include <cstdint>

#include "vrxwm/CStatusError.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/Pcm.h"
#include "vrxwm/ReaderPicture.h"
#include "vrxwm/StatusText.h"

CReaderVideoSource::CReaderVideoSource(CPlugReader& reader) : m_reader(reader) {
    const SPlugVideoStreamInfo& v = reader.Video()->Video;
    RequireDecodedVideo(v);
    if (v.dwFrameRateNum == 0 || v.dwFrameRateDen == 0)
        throw CStatusError(kStatusInvalidData, "the file states no frame rate");
    m_format.width = static_cast<int>(v.dwWidth);
    m_format.height = static_cast<int>(v.dwHeight);
    av_reduce(&m_format.frameRate.num, &m_format.frameRate.den, v.dwFrameRateNum, v.dwFrameRateDen, INT32_MAX);
    m_format.displayAspect = {static_cast<int>(v.dwAspectX), static_cast<int>(v.dwAspectY)};
    m_format.dwFieldOrder = v.dwFieldOrder;
    m_nFrames = reader.Video()->dwVideoFrameCount;
}

const SPicture* CReaderVideoSource::Next() {
    if (m_iNext >= m_nFrames) return nullptr;
    const SPlugFrame frame = m_reader.GetFrame(m_iNext++);
    m_picture = PictureOfFrame(m_reader.Video()->Video, frame);
    return &m_picture;
}

CReaderAudioSource::CReaderAudioSource(CPlugReader& reader) : m_reader(reader) {
    const SPlugAudioStreamInfo& a = reader.Audio()->Audio;
    if (a.dwAudioType != PLUG_AUDIO_TYPE_WINMEDIA)
        throw CStatusError(kStatusAudioCodecMissing,
                           "the reader hands out " + AudioCodecName(a) + " audio compressed");
    m_format.sampleRate = static_cast<int>(a.dwSampleRate);
    m_format.channels = static_cast<int>(a.dwChannels);
    m_format.format = PcmFormat(a.dwBitsPerSample, &m_bWiden24);
    m_cbFrame = static_cast<int>(a.dwBlockAlign);
    m_nSamples = reader.Audio()->dwAudioFrameCount;
}

int CReaderAudioSource::Read(uint8_t* pOut, int maxFrames) {
    const uint32_t nWanted = std::min<uint32_t>(static_cast<uint32_t>(maxFrames), m_nSamples - m_iNext);
    if (nWanted == 0) return 0;
    const uint32_t nRead = m_reader.ReadAudio(m_iNext, nWanted, pOut);
    m_iNext += nRead;
    if (m_bWiden24) Widen24(pOut, static_cast<size_t>(nRead) * static_cast<size_t>(m_format.channels));
    return static_cast<int>(nRead);
}
