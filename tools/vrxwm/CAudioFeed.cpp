#include "vrxwm/CAudioFeed.h"

#include <cstddef>
#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr int kReadFrames = 4096;

struct SLayout {
    AVChannelLayout layout{};
    explicit SLayout(int channels) { av_channel_layout_default(&layout, channels); }
    ~SLayout() { av_channel_layout_uninit(&layout); }
    SLayout(const SLayout&) = delete;
    SLayout& operator=(const SLayout&) = delete;
};

}  // namespace

CAudioFeed::CAudioFeed(IAudioSource& source, int sampleRate, int channels)
    : m_source(source), m_in(source.Format()), m_nChannels(channels) {
    SLayout inLayout(m_in.channels);
    SLayout outLayout(channels);
    SwrContext* pResampler = nullptr;
    int err = swr_alloc_set_opts2(&pResampler, &outLayout.layout, AV_SAMPLE_FMT_S16, sampleRate, &inLayout.layout,
                                  m_in.format, m_in.sampleRate, /*log_offset=*/0, /*log_ctx=*/nullptr);
    m_pResampler.reset(pResampler);
    if (err >= 0) err = swr_init(pResampler);
    if (err < 0)
        throw CStatusError(kStatusFail, "cannot convert " + std::to_string(m_in.sampleRate) + " Hz " +
                                            std::to_string(m_in.channels) + "-channel audio: " + AvErrorText(err));
    m_input.resize(static_cast<size_t>(kReadFrames) * av_get_bytes_per_sample(m_in.format) *
                   static_cast<size_t>(m_in.channels));
}

void CAudioFeed::Pull() {
    const int nIn = m_source.Read(m_input.data(), kReadFrames);
    const uint8_t* pIn = m_input.data();
    // A read of nothing ends the source; the resampler then gives up what
    // it still holds.
    const int nRoom = swr_get_out_samples(m_pResampler.get(), nIn);
    const size_t cbOld = m_pending.size();
    m_pending.resize(cbOld + static_cast<size_t>(std::max(nRoom, 0)) * static_cast<size_t>(BytesPerFrame()));
    uint8_t* pOut = m_pending.data() + cbOld;
    const int nOut = swr_convert(m_pResampler.get(), &pOut, nRoom, nIn > 0 ? &pIn : nullptr, nIn);
    if (nOut < 0) throw CStatusError(kStatusFail, "cannot convert audio: " + AvErrorText(nOut));
    m_pending.resize(cbOld + static_cast<size_t>(nOut) * static_cast<size_t>(BytesPerFrame()));
    if (nIn == 0) m_bSourceDone = true;
}

bool CAudioFeed::NextBlock(std::vector<uint8_t>& block) {
    const size_t cbBlock = static_cast<size_t>(kBlockFrames) * static_cast<size_t>(BytesPerFrame());
    // One byte more than a block, so that Done() is known afterwards.
    while (!m_bSourceDone && m_pending.size() <= cbBlock) Pull();
    if (m_pending.empty()) return false;
    const size_t cbTake = std::min(cbBlock, m_pending.size());
    block.assign(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(cbTake));
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(cbTake));
    m_nFramesOut += static_cast<int64_t>(cbTake) / BytesPerFrame();
    return true;
}
