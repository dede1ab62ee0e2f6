// The reader's creation function: refused where COM is not initialised, as
// on the platform; otherwise a reader that answers its interfaces.
#include <gtest/gtest.h>

#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/WmInterfaces.h"

namespace {

TEST(WMCreateSyncReaderTest, NeedsComOnTheThread) {
    ComPtr<IWMSyncReader> reader;
    EXPECT_EQ(WMCreateSyncReader(nullptr, 0, reader.Put()), CO_E_NOTINITIALIZED);
    EXPECT_FALSE(reader);
    EXPECT_EQ(WMCreateSyncReader(nullptr, 0, nullptr), E_POINTER);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(WMCreateSyncReader(nullptr, 0, reader.Put()), S_OK);
    ASSERT_TRUE(reader);
    ComPtr<IWMHeaderInfo3> info;
    EXPECT_EQ(reader.As(info), S_OK);
    ComPtr<IWMProfile> profile;
    EXPECT_EQ(reader.As(profile), E_NOINTERFACE) << "no profile before a file is open";
    DWORD outputs = 0;
    EXPECT_EQ(reader->GetOutputCount(&outputs), NS_E_INVALID_REQUEST);
    EXPECT_EQ(reader->OpenStream(nullptr), E_INVALIDARG);
    EXPECT_EQ(reader->Open(u"file.wmv"), E_NOTIMPL);
    reader.Reset();
    info.Reset();
    CoUninitialize();
}

}  // namespace
