// The AVIOContext over the caller's IStream: the size from Stat, absolute
// seeks below the end only, a seek to the end answered without the stream,
// a short read as the end of the data, and several contexts sharing one
// stream without disturbing each other.
#include <gtest/gtest.h>

#include <numeric>

#include "wmf/CStreamIo.h"
#include "wmf/MemoryStream.h"

namespace {

std::vector<BYTE> Counting(size_t n) {
    std::vector<BYTE> bytes(n);
    std::iota(bytes.begin(), bytes.end(), BYTE{0});
    return bytes;
}

struct SOpened {
    ComPtr<CMemoryStream> stream;
    std::shared_ptr<CStreamSource> source;
    std::unique_ptr<CStreamIo> io;
};

SOpened Open(std::vector<BYTE> bytes) {
    SOpened o;
    o.stream = ComPtr<CMemoryStream>::Adopt(CMemoryStream::Create(std::move(bytes)));
    EXPECT_EQ(CStreamSource::Create(o.stream.Get(), o.source), S_OK);
    EXPECT_EQ(CStreamIo::Create(o.source, o.io), S_OK);
    return o;
}

TEST(CStreamIoTest, ReadsEveryByteAndThenTheEnd) {
    auto o = Open(Counting(200'000));
    AVIOContext* pb = o.io->Context();
    EXPECT_EQ(avio_size(pb), 200'000);
    std::vector<BYTE> got(250'000);
    EXPECT_EQ(avio_read(pb, got.data(), static_cast<int>(got.size())), 200'000);
    got.resize(200'000);
    EXPECT_EQ(got, Counting(200'000));
    EXPECT_TRUE(avio_feof(pb));
    EXPECT_EQ(o.stream->RefusedSeeks(), 0);
}

TEST(CStreamIoTest, SeeksOnlyAbsolutelyAndNeverToTheEnd) {
    auto o = Open(Counting(100'000));
    AVIOContext* pb = o.io->Context();
    // Through the callback, as libavformat calls it: the end is answered here.
    const int seeksBefore = o.stream->Seeks();
    EXPECT_EQ(CStreamIo::Seek(o.io.get(), 100'000, SEEK_SET), 100'000);
    EXPECT_EQ(CStreamIo::Seek(o.io.get(), 0, SEEK_END), 100'000);
    EXPECT_EQ(CStreamIo::Seek(o.io.get(), 0, AVSEEK_SIZE), 100'000);
    EXPECT_EQ(o.stream->Seeks(), seeksBefore);
    uint8_t byte = 0;
    EXPECT_EQ(CStreamIo::Read(o.io.get(), &byte, 1), AVERROR_EOF);
    EXPECT_LT(CStreamIo::Seek(o.io.get(), -1, SEEK_SET), 0);
    // Relative moves become absolute ones below the end.
    EXPECT_EQ(avio_seek(pb, 70'000, SEEK_SET), 70'000);
    EXPECT_EQ(avio_r8(pb), 70'000 % 256);
    EXPECT_EQ(avio_seek(pb, -5'000, SEEK_CUR), 65'001);
    EXPECT_EQ(avio_r8(pb), 65'001 % 256);
    EXPECT_EQ(avio_seek(pb, avio_size(pb) - 10, SEEK_SET), 99'990);
    EXPECT_EQ(avio_r8(pb), 99'990 % 256);
    EXPECT_EQ(o.stream->RefusedSeeks(), 0);
}

TEST(CStreamIoTest, ShortReadMarksTheEndOfTheData) {
    auto o = Open(Counting(1000));
    // A stream that says it holds more than it gives: reading stops where
    // the bytes do.
    auto stream = ComPtr<CMemoryStream>::Adopt(CMemoryStream::Create(Counting(1000)));
    stream->ReportSize(5000);
    std::shared_ptr<CStreamSource> source;
    ASSERT_EQ(CStreamSource::Create(stream.Get(), source), S_OK);
    EXPECT_EQ(source->Size(), 5000u);
    std::vector<BYTE> buffer(4000);
    uint32_t cb = 0;
    ASSERT_EQ(source->ReadAt(500, buffer.data(), 4000, &cb), S_OK);
    EXPECT_EQ(cb, 500u);
    EXPECT_EQ(source->Size(), 1000u);
    ASSERT_EQ(source->ReadAt(1000, buffer.data(), 10, &cb), S_OK);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(stream->RefusedSeeks(), 0);
}

TEST(CStreamIoTest, ContextsSharingAStreamKeepTheirOwnPositions) {
    auto o = Open(Counting(300'000));
    std::unique_ptr<CStreamIo> other;
    ASSERT_EQ(CStreamIo::Create(o.source, other), S_OK);
    AVIOContext* a = o.io->Context();
    AVIOContext* b = other->Context();
    ASSERT_EQ(avio_seek(a, 10, SEEK_SET), 10);
    ASSERT_EQ(avio_seek(b, 200'000, SEEK_SET), 200'000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(avio_r8(a), (10 + i) % 256);
        ASSERT_EQ(avio_r8(b), (200'000 + i) % 256);
    }
    std::vector<BYTE> big(150'000);
    EXPECT_EQ(avio_read(a, big.data(), static_cast<int>(big.size())), 150'000);
    EXPECT_EQ(big[0], (10 + 1000) % 256);
    EXPECT_EQ(avio_r8(b), (201'000) % 256);
}

TEST(CStreamIoTest, StatFailureIsTheStreamsCode) {
    struct CNoStat final : IStream {
        HRESULT QueryInterface(REFIID, void**) noexcept override { return E_NOINTERFACE; }
        ULONG AddRef() noexcept override { return 1; }
        ULONG Release() noexcept override { return 1; }
        HRESULT Read(void*, ULONG, ULONG*) noexcept override { return E_FAIL; }
        HRESULT Write(const void*, ULONG, ULONG*) noexcept override { return E_NOTIMPL; }
        HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) noexcept override { return E_FAIL; }
        HRESULT SetSize(ULARGE_INTEGER) noexcept override { return E_NOTIMPL; }
        HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) noexcept override { return E_NOTIMPL; }
        HRESULT Commit(DWORD) noexcept override { return E_NOTIMPL; }
        HRESULT Revert() noexcept override { return E_NOTIMPL; }
        HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return E_NOTIMPL; }
        HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return E_NOTIMPL; }
        HRESULT Stat(STATSTG*, DWORD) noexcept override { return STG_E_INVALIDFUNCTION; }
        HRESULT Clone(IStream**) noexcept override { return E_NOTIMPL; }
    } noStat;
    std::shared_ptr<CStreamSource> source;
    EXPECT_EQ(CStreamSource::Create(&noStat, source), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(source, nullptr);
}

}  // namespace
