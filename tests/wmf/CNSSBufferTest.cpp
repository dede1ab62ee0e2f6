#include "wmf/CNSSBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "win/NsError.h"
#include "wmf/WmGuids.h"

namespace {

ComPtr<INSSBuffer3> As3(const ComPtr<INSSBuffer>& pBuffer) {
    ComPtr<INSSBuffer3> p3;
    EXPECT_EQ(pBuffer.As(p3), S_OK);
    return p3;
}

}  // namespace

TEST(CNSSBufferTest, AllocatedLengthIsTheSize) {
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::Create(1000, pBuffer.Put()), S_OK);
    BYTE* pData = nullptr;
    DWORD cb = 0, cbMax = 0;
    ASSERT_EQ(pBuffer->GetBufferAndLength(&pData, &cb), S_OK);
    ASSERT_NE(pData, nullptr);
    EXPECT_EQ(cb, 1000u);
    std::memset(pData, 0x5A, cb);  // ASan: the whole length is writable

    ASSERT_EQ(pBuffer->SetLength(400), S_OK);
    EXPECT_EQ(pBuffer->GetLength(&cb), S_OK);
    EXPECT_EQ(cb, 400u);
    EXPECT_EQ(pBuffer->GetMaxLength(&cbMax), S_OK);
    EXPECT_EQ(cbMax, 1000u);
    EXPECT_EQ(pBuffer->SetLength(1001), E_INVALIDARG);
    EXPECT_EQ(pBuffer->GetLength(&cb), S_OK);
    EXPECT_EQ(cb, 400u) << "a refused length changes nothing";
}

TEST(CNSSBufferTest, CopyHoldsItsOwnBytes) {
    std::vector<BYTE> source{1, 2, 3, 4, 5};
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::CreateCopy(source.data(), 5, pBuffer.Put()), S_OK);
    source[0] = 9;
    BYTE* pData = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(pBuffer->GetBufferAndLength(&pData, &cb), S_OK);
    EXPECT_EQ(cb, 5u);
    EXPECT_EQ(pData[0], 1);
    EXPECT_EQ(CNSSBuffer::CreateCopy(nullptr, 5, pBuffer.Put()), E_INVALIDARG);
}

TEST(CNSSBufferTest, WrapBorrowsWithoutCopyAndKeepsOwnerAlive) {
    auto pOwner = std::make_shared<std::vector<BYTE>>(64, BYTE{7});
    std::weak_ptr<std::vector<BYTE>> watch = pOwner;
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::Wrap(pOwner->data(), 64, pOwner, pBuffer.Put()), S_OK);
    BYTE* const pExpected = pOwner->data();
    pOwner.reset();
    EXPECT_FALSE(watch.expired()) << "the buffer holds the memory's owner";

    BYTE* pData = nullptr;
    ASSERT_EQ(pBuffer->GetBuffer(&pData), S_OK);
    EXPECT_EQ(pData, pExpected) << "no copy";
    pBuffer.Reset();
    EXPECT_TRUE(watch.expired()) << "and lets it go with the last reference";
}

TEST(CNSSBufferTest, DeferredBytesAreMadeOnFirstAccessOnly) {
    int cCalls = 0;
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::CreateDeferred(
                  16,
                  [&](BYTE* pDest, DWORD cbDest) {
                      ++cCalls;
                      std::memset(pDest, 0x42, cbDest);
                      return S_OK;
                  },
                  pBuffer.Put()),
              S_OK);
    DWORD cb = 0;
    EXPECT_EQ(pBuffer->GetLength(&cb), S_OK);
    EXPECT_EQ(cb, 16u);
    EXPECT_EQ(cCalls, 0) << "lengths do not need the data";

    BYTE* pData = nullptr;
    ASSERT_EQ(pBuffer->GetBufferAndLength(&pData, &cb), S_OK);
    ASSERT_EQ(pBuffer->GetBuffer(&pData), S_OK);
    EXPECT_EQ(cCalls, 1);
    EXPECT_EQ(pData[15], 0x42);
}

TEST(CNSSBufferTest, DeferredFailureIsEveryAccessFailure) {
    int cCalls = 0;
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::CreateDeferred(
                  16, [&](BYTE*, DWORD) { ++cCalls; return NS_E_VIDEO_CODEC_ERROR; }, pBuffer.Put()),
              S_OK);
    BYTE* pData = reinterpret_cast<BYTE*>(&cCalls);
    DWORD cb = 5;
    EXPECT_EQ(pBuffer->GetBufferAndLength(&pData, &cb), NS_E_VIDEO_CODEC_ERROR);
    EXPECT_EQ(pData, nullptr);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(pBuffer->GetBuffer(&pData), NS_E_VIDEO_CODEC_ERROR);
    EXPECT_EQ(cCalls, 1);
}

TEST(CNSSBufferTest, PropertiesWithSizeQuery) {
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::Create(8, pBuffer.Put()), S_OK);
    auto p3 = As3(pBuffer);
    BYTE contentType = WM_CT_INTERLACED | WM_CT_TOP_FIELD_FIRST;
    ASSERT_EQ(p3->SetProperty(WM_SampleExtensionGUID_ContentType, &contentType, 1), S_OK);
    BYTE cleanPoint = 1;
    ASSERT_EQ(p3->SetProperty(WM_SampleExtensionGUID_OutputCleanPoint, &cleanPoint, 1), S_OK);

    DWORD cb = 0;
    ASSERT_EQ(p3->GetProperty(WM_SampleExtensionGUID_ContentType, nullptr, &cb), S_OK);
    EXPECT_EQ(cb, 1u);
    BYTE value = 0;
    ASSERT_EQ(p3->GetProperty(WM_SampleExtensionGUID_ContentType, &value, &cb), S_OK);
    EXPECT_EQ(value, 0xC0);

    contentType = WM_CT_BOTTOM_FIELD_FIRST;
    ASSERT_EQ(p3->SetProperty(WM_SampleExtensionGUID_ContentType, &contentType, 1), S_OK);
    ASSERT_EQ(p3->GetProperty(WM_SampleExtensionGUID_ContentType, &value, &cb), S_OK);
    EXPECT_EQ(value, 0x20) << "setting again replaces";

    cb = 0;
    EXPECT_EQ(p3->GetProperty(WM_SampleExtensionGUID_ContentType, &value, &cb), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(p3->GetProperty(WM_SampleExtensionGUID_Timecode, nullptr, &cb), NS_E_UNSUPPORTED_PROPERTY);
    EXPECT_EQ(p3->GetProperty(WM_SampleExtensionGUID_ContentType, nullptr, nullptr), E_POINTER);
}

TEST(CNSSBufferTest, InterfacesShareOneCount) {
    ComPtr<INSSBuffer> pBuffer;
    ASSERT_EQ(CNSSBuffer::Create(4, pBuffer.Put()), S_OK);
    INSSBuffer* pRaw = pBuffer.Get();
    auto p3 = As3(pBuffer);
    EXPECT_EQ(pRaw->AddRef(), 3u);
    EXPECT_EQ(pRaw->Release(), 2u);
    ComPtr<IWMMediaProps> pWrong;
    EXPECT_EQ(pBuffer.As(pWrong), E_NOINTERFACE);
    EXPECT_EQ(pWrong.Get(), nullptr);
}
