// Record defaults and copies, checked byte by byte at the host's offsets.
#include "plugin/MediaRecords.h"

#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::pair<size_t, uint32_t>>;  // byte offset, value

template <class T>
std::vector<uint8_t> Bytes(const T& record) {
    std::vector<uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &record, sizeof(T));
    return bytes;
}

void Put(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// Every 32-bit word gets a value that names its offset, so a misplaced or
// skipped word shows up.
template <class T>
void FillPattern(T& record, uint32_t tag) {
    std::vector<uint8_t> bytes(sizeof(T));
    for (size_t off = 0; off < sizeof(T); off += 4) Put(bytes, off, tag | static_cast<uint32_t>(off));
    std::memcpy(&record, bytes.data(), sizeof(T));
}

// The video block's defaults, relative to the block's start.
const Words kVideoDefaults = {{0, 108}, {12, 720}, {16, 576}, {20, 4}, {24, 3}, {28, 25},
                              {32, 1},  {40, 23},  {44, 5},   {48, 5}, {52, 5}, {56, 0xFFFFFFFF},
                              {60, 12}, {64, 2},   {68, 1},   {72, 1}};
const Words kAudioDefaults = {{0, 60},      {4, 1}, {12, 2}, {16, 16}, {20, 48000},
                              {24, 1536000}, {28, 2}, {32, 1}, {36, 1}, {40, 1}};

std::vector<uint8_t> Expected(size_t size, size_t videoAt, size_t audioAt, const Words& extra) {
    std::vector<uint8_t> bytes(size, 0);
    for (auto [off, value] : kVideoDefaults) Put(bytes, videoAt + off, value);
    for (auto [off, value] : kAudioDefaults) Put(bytes, audioAt + off, value);
    for (auto [off, value] : extra) Put(bytes, off, value);
    return bytes;
}

TEST(MediaRecordsTest, FreshMediaInfoHoldsTheDefaultsAndNoStreams) {
    SPlugMediaInfo info;
    std::memset(&info, 0xAB, sizeof info);
    InitMediaInfo(info);
    EXPECT_EQ(Bytes(info), Expected(256, 12, 124, {}));
}

TEST(MediaRecordsTest, FreshStreamDescZeroesTheHostBytes) {
    SPlugStreamDesc desc;
    std::memset(&desc, 0xAB, sizeof desc);
    InitStreamDesc(desc);
    EXPECT_EQ(Bytes(desc), Expected(1616, 32, 144, {{0, 1}, {204, 1}}));
}

TEST(MediaRecordsTest, MediaInfoCopyWritesTheVideoSize) {
    SPlugMediaInfo src, dest;
    FillPattern(src, 0x11000000);
    src.Video.dwSize = 0;
    FillPattern(dest, 0x22000000);
    CopyMediaInfo(dest, src);
    auto expected = Bytes(src);
    Put(expected, 12, 108);
    EXPECT_EQ(Bytes(dest), expected);
}

TEST(MediaRecordsTest, ReaderCopyKeepsTheSixHostWordsAt216) {
    SPlugMediaInfo src, dest;
    FillPattern(src, 0x11000000);
    src.Video.dwSize = 0;
    FillPattern(dest, 0x22000000);
    const auto before = Bytes(dest);
    CopyMediaInfoForReader(dest, src);
    auto expected = Bytes(src);
    Put(expected, 12, 108);
    std::memcpy(expected.data() + 216, before.data() + 216, 24);
    EXPECT_EQ(Bytes(dest), expected);
}

TEST(MediaRecordsTest, StreamDescCopyKeepsHostBytesAndSharesTheFormatBlock) {
    SPlugStreamDesc src, dest;
    FillPattern(src, 0x33000000);
    src.Video.dwSize = 0;
    uint8_t block[4] = {};
    src.ExtraData.pData = block;
    FillPattern(dest, 0x44000000);
    CopyStreamDesc(dest, src);
    auto expected = Bytes(src);
    Put(expected, 32, 108);
    EXPECT_EQ(Bytes(dest), expected);
    EXPECT_EQ(dest.ExtraData.pData, block);
}

TEST(MediaRecordsTest, VideoBlockCopyWritesItsSize) {
    SPlugVideoStreamInfo src, dest;
    FillPattern(src, 0x55000000);
    FillPattern(dest, 0x66000000);
    CopyVideoStreamInfo(dest, src);
    auto expected = Bytes(src);
    Put(expected, 0, 108);
    EXPECT_EQ(Bytes(dest), expected);
}

}  // namespace
