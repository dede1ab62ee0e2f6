// The read-only stream over the host's file data source.
#include "reader/CROStream.h"

#include <fstream>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "support/TempDir.h"

namespace {

LARGE_INTEGER Move(LONGLONG value) {
    LARGE_INTEGER move{};
    move.QuadPart = value;
    return move;
}

class CROStreamTest : public ::testing::Test {
protected:
    static constexpr size_t kSize = 1000;

    void SetUp() override {
        m_dir = std::make_unique<TempDir>("rostream");
        m_file = m_dir->Path() / "data.bin";
        m_bytes.resize(kSize);
        for (size_t i = 0; i < kSize; ++i) m_bytes[i] = static_cast<char>(i * 7);
        std::ofstream(m_file, std::ios::binary).write(m_bytes.data(), static_cast<std::streamsize>(kSize));
        m_pStream = CROStream::Create();
        ASSERT_TRUE(m_pStream);
        ASSERT_EQ(m_pStream->OpenSource(Wide(m_file.string()).c_str(), 0, nullptr), S_OK);
    }

    std::unique_ptr<TempDir> m_dir;
    std::filesystem::path m_file;
    std::vector<char> m_bytes;
    std::unique_ptr<CROStream> m_pStream;
};

struct SeekCase {
    const char* name;
    LONGLONG move;
    DWORD origin;
    HRESULT hr;
    uint64_t position;  // after a successful seek
};
constexpr SeekCase kSeekCases[] = {
    {"StartOfData", 0, STREAM_SEEK_SET, S_OK, 0},
    {"LastByte", 999, STREAM_SEEK_SET, S_OK, 999},
    {"ExactlyTheSize", 1000, STREAM_SEEK_SET, E_INVALIDARG, 0},
    {"PastTheEnd", 5000, STREAM_SEEK_SET, E_INVALIDARG, 0},
    {"EndByZero", 0, STREAM_SEEK_END, S_OK, 1000},
    {"BackFromCurrent", -1, STREAM_SEEK_CUR, E_INVALIDARG, 0},
    {"ForwardFromCurrent", 10, STREAM_SEEK_CUR, S_OK, 110},
    {"UnknownOrigin", 0, 3, E_INVALIDARG, 0},
};

class CROStreamSeekTest : public CROStreamTest, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(CROStreamSeekTest, RefusesMovesNotBelowTheSize) {
    const SeekCase& c = GetParam();
    ASSERT_EQ(m_pStream->Seek(Move(100), STREAM_SEEK_SET, nullptr), S_OK);
    ULARGE_INTEGER position{};
    position.QuadPart = 12345;
    EXPECT_EQ(m_pStream->Seek(Move(c.move), c.origin, &position), c.hr);
    if (c.hr == S_OK) EXPECT_EQ(position.QuadPart, c.position);
    else EXPECT_EQ(position.QuadPart, 12345u) << "a refused seek reports no position";
}

INSTANTIATE_TEST_SUITE_P(Moves, CROStreamSeekTest, ::testing::ValuesIn(kSeekCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CROStreamTest, ReadReportsShortReadsAsSFalse) {
    ASSERT_EQ(m_pStream->Seek(Move(990), STREAM_SEEK_SET, nullptr), S_OK);
    std::vector<char> buffer(100);
    ULONG cbRead = 0;
    EXPECT_EQ(m_pStream->Read(buffer.data(), 100, &cbRead), S_FALSE);
    EXPECT_EQ(cbRead, 10u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10, m_bytes.begin() + 990));

    ASSERT_EQ(m_pStream->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(m_pStream->Read(buffer.data(), 100, &cbRead), S_OK);
    EXPECT_EQ(cbRead, 100u);
}

TEST_F(CROStreamTest, ReadWithoutACountPointerStillReads) {
    ASSERT_EQ(m_pStream->Seek(Move(500), STREAM_SEEK_SET, nullptr), S_OK);
    std::vector<char> buffer(20);
    EXPECT_EQ(m_pStream->Read(buffer.data(), 20, nullptr), S_OK);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), m_bytes.begin() + 500));
}

TEST_F(CROStreamTest, StatGivesTypeAndSizeOnlyWithoutName) {
    STATSTG stat{};
    EXPECT_EQ(m_pStream->Stat(&stat, STATFLAG_DEFAULT), E_INVALIDARG);
    EXPECT_EQ(m_pStream->Stat(nullptr, STATFLAG_NONAME), E_INVALIDARG);
    stat.pwcsName = reinterpret_cast<WCHAR*>(&stat);
    stat.grfMode = 77;
    ASSERT_EQ(m_pStream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, kSize);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(stat.grfMode, 0u) << "the whole record is cleared";
}

TEST_F(CROStreamTest, AnswersOnlyIUnknownAndIStream) {
    void* pv = &pv;
    EXPECT_EQ(m_pStream->QueryInterface(IID_ISequentialStream, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    IStream* pStream = nullptr;
    ASSERT_EQ(m_pStream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&pStream)), S_OK);
    EXPECT_EQ(pStream, static_cast<IStream*>(m_pStream.get()));
    EXPECT_EQ(pStream->Release(), 0xBADu) << "the creator's reference remains";
    IUnknown* pUnknown = nullptr;
    ASSERT_EQ(m_pStream->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)), S_OK);
    EXPECT_EQ(pUnknown->Release(), 0xBADu);
}

TEST(CROStreamLifetimeTest, LastReleaseFreesAndAnswersZero) {
    CROStream* pStream = CROStream::Create().release();
    ASSERT_NE(pStream, nullptr);
    EXPECT_EQ(pStream->AddRef(), 2u);
    EXPECT_EQ(pStream->Release(), 0xBADu);
    EXPECT_EQ(pStream->Release(), 0u);
}

TEST(CROStreamOpenTest, EmptyFileRefusesEverySeek) {
    TempDir dir("rostream");
    const auto file = dir.Path() / "empty.bin";
    std::ofstream(file, std::ios::binary).close();
    auto pStream = CROStream::Create();
    ASSERT_EQ(pStream->OpenSource(Wide(file.string()).c_str(), 0, nullptr), S_OK);
    for (DWORD origin : {STREAM_SEEK_SET, STREAM_SEEK_CUR, STREAM_SEEK_END}) {
        SCOPED_TRACE(origin);
        EXPECT_EQ(pStream->Seek(Move(0), origin, nullptr), E_INVALIDARG);
    }
    STATSTG stat{};
    ASSERT_EQ(pStream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u);
}

TEST(CROStreamOpenTest, FailedOpenGivesTheSourceReason) {
    TempDir dir("rostream");
    auto pStream = CROStream::Create();
    EXPECT_EQ(pStream->OpenSource(Wide((dir.Path() / "missing.wmv").string()).c_str(), 0, nullptr),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(pStream->OpenSource(Wide(dir.Path().string()).c_str(), 0, nullptr), E_ACCESSDENIED);
    char byte = 0;
    ULONG cbRead = 1;
    EXPECT_EQ(pStream->Read(&byte, 1, &cbRead), S_FALSE) << "a source that failed to open has no data";
    EXPECT_EQ(cbRead, 0u);
}

}  // namespace
