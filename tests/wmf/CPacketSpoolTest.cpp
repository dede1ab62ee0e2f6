#include "wmf/CPacketSpool.h"

#include <gtest/gtest.h>

namespace {

AvPtr<AVPacket> MakeNumbered(int n, int size) {
    AvPtr<AVPacket> pkt = MakePacket();
    EXPECT_EQ(av_new_packet(pkt.get(), size), 0);
    std::fill(pkt->data, pkt->data + size, static_cast<uint8_t>(n));
    pkt->pts = pkt->dts = n;
    pkt->duration = 1;
    pkt->stream_index = n % 2;
    pkt->flags = n % 3 == 0 ? AV_PKT_FLAG_KEY : 0;
    return pkt;
}

void ExpectNumbered(const AVPacket& pkt, int n, int size) {
    SCOPED_TRACE(n);
    EXPECT_EQ(pkt.pts, n);
    EXPECT_EQ(pkt.dts, n);
    EXPECT_EQ(pkt.stream_index, n % 2);
    EXPECT_EQ(pkt.flags, n % 3 == 0 ? AV_PKT_FLAG_KEY : 0);
    ASSERT_EQ(pkt.size, size);
    EXPECT_EQ(pkt.data[0], static_cast<uint8_t>(n));
    EXPECT_EQ(pkt.data[size - 1], static_cast<uint8_t>(n));
}

TEST(CPacketSpoolTest, MemoryStaysBoundedAndOrderIsKept) {
    CPacketSpool spool(1000);
    for (int n = 0; n < 50; ++n) {
        ASSERT_EQ(spool.Push(*MakeNumbered(n, 100)), S_OK);
        EXPECT_LE(spool.MemoryBytes(), 1000u);
    }
    EXPECT_EQ(spool.Count(), 50u);
    AvPtr<AVPacket> out = MakePacket();
    // Take some, add more while older packets still wait on disk.
    for (int n = 0; n < 20; ++n) {
        const AVPacket* pFront = nullptr;
        ASSERT_EQ(spool.Front(&pFront), S_OK);
        ASSERT_NE(pFront, nullptr);
        EXPECT_EQ(pFront->pts, n);
        ASSERT_EQ(spool.Pop(out.get()), S_OK);
        ExpectNumbered(*out, n, 100);
    }
    for (int n = 50; n < 60; ++n) ASSERT_EQ(spool.Push(*MakeNumbered(n, 100)), S_OK);
    for (int n = 20; n < 60; ++n) {
        ASSERT_EQ(spool.Pop(out.get()), S_OK);
        ExpectNumbered(*out, n, 100);
    }
    EXPECT_TRUE(spool.Empty());
    const AVPacket* pFront = nullptr;
    ASSERT_EQ(spool.Front(&pFront), S_OK);
    EXPECT_EQ(pFront, nullptr);
    EXPECT_EQ(spool.Pop(out.get()), E_UNEXPECTED);
    // Drained, it starts in memory again.
    ASSERT_EQ(spool.Push(*MakeNumbered(7, 10)), S_OK);
    EXPECT_EQ(spool.MemoryBytes(), 10u);
    ASSERT_EQ(spool.Pop(out.get()), S_OK);
    ExpectNumbered(*out, 7, 10);
}

TEST(CPacketSpoolTest, PacketLargerThanTheLimitGoesToDisk) {
    CPacketSpool spool(64);
    ASSERT_EQ(spool.Push(*MakeNumbered(3, 5000)), S_OK);
    EXPECT_EQ(spool.MemoryBytes(), 0u);
    AvPtr<AVPacket> out = MakePacket();
    ASSERT_EQ(spool.Pop(out.get()), S_OK);
    ExpectNumbered(*out, 3, 5000);
}

}  // namespace
