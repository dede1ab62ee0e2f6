// The audio bit rates the Windows Media audio codecs offer, by sample rate
// and channel count. Normalisation snaps a host's bit rate to them, and the
// profile builder does it again before it asks for a codec format.
#pragma once

#include <cstdint>
#include <span>

// The bit rates offered for a sample rate and channel count, ascending;
// empty when no row exists. 11025 Hz has a mono row only: callers force
// one channel there before they look it up.
std::span<const uint32_t> FindAudioBitrateRow(uint32_t dwSampleRate, uint32_t dwChannels) noexcept;

// The largest rate of the row that is not above dwBitRate, or the row's
// smallest when dwBitRate is below all of them. An empty row keeps dwBitRate.
uint32_t SnapAudioBitrate(std::span<const uint32_t> row, uint32_t dwBitRate) noexcept;

// Whether the table knows the sample rate at all (48000, 44100, 32000,
// 22050, 16000, 11025, 8000 Hz).
bool IsTableSampleRate(uint32_t dwSampleRate) noexcept;
