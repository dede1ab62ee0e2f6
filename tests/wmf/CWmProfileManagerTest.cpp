#include "wmf/CWmProfileManager.h"

#include <gtest/gtest.h>

#include <thread>

#include "win/Com.h"
#include "wmf/WmGuids.h"

namespace {

HRESULT CreateOnNewThread() {
    HRESULT hr = E_FAIL;
    std::thread([&] {
        ComPtr<IWMProfileManager> pManager;
        hr = WMCreateProfileManager(pManager.Put());
    }).join();
    return hr;
}

}  // namespace

// COM state belongs to the process: this case leaves it as it found it.
TEST(CWmProfileManagerTest, CreationNeedsCom) {
    ComPtr<IWMProfileManager> pManager;
    EXPECT_EQ(WMCreateProfileManager(pManager.Put()), CO_E_NOTINITIALIZED);
    EXPECT_EQ(pManager.Get(), nullptr);

    ASSERT_GE(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), 0);
    EXPECT_EQ(WMCreateProfileManager(pManager.Put()), S_OK);
    EXPECT_NE(pManager.Get(), nullptr);
    EXPECT_EQ(CreateOnNewThread(), CO_E_NOTINITIALIZED)
        << "another thread has no COM of its own while no one holds the multithreaded apartment";
    CoUninitialize();

    ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
    EXPECT_EQ(CreateOnNewThread(), S_OK) << "every thread belongs to the multithreaded apartment";
    CoUninitialize();
    EXPECT_EQ(WMCreateProfileManager(pManager.Put()), CO_E_NOTINITIALIZED);
    EXPECT_EQ(WMCreateProfileManager(nullptr), E_POINTER);
}

TEST(CWmProfileManagerTest, CodecInfoIsTheSameObject) {
    ComPtr<IWMProfileManager> pManager;
    ASSERT_EQ(CWmProfileManager::Create(pManager.Put()), S_OK);
    ComPtr<IWMCodecInfo> pInfo;
    ComPtr<IWMCodecInfo3> pInfo3;
    ComPtr<IWMProfileManager2> pManager2;
    ASSERT_EQ(pManager.As(pInfo), S_OK);
    ASSERT_EQ(pManager.As(pInfo3), S_OK);
    ASSERT_EQ(pInfo.As(pManager2), S_OK) << "and back from the codec side";
    ComPtr<IUnknown> pUnk1, pUnk2;
    ASSERT_EQ(pInfo3.As(pUnk1), S_OK);
    ASSERT_EQ(pManager2.As(pUnk2), S_OK);
    EXPECT_EQ(pUnk1.Get(), pUnk2.Get());
}

TEST(CWmProfileManagerTest, SystemProfileVersion) {
    ComPtr<IWMProfileManager> pManager;
    ASSERT_EQ(CWmProfileManager::Create(pManager.Put()), S_OK);
    ComPtr<IWMProfileManager2> pManager2;
    ASSERT_EQ(pManager.As(pManager2), S_OK);
    WMT_VERSION version{};
    EXPECT_EQ(pManager2->GetSystemProfileVersion(&version), S_OK);
    EXPECT_EQ(version, WMT_VER_4_0);
    for (WMT_VERSION v : {WMT_VER_7_0, WMT_VER_8_0, WMT_VER_9_0}) {
        ASSERT_EQ(pManager2->SetSystemProfileVersion(v), S_OK);
        EXPECT_EQ(pManager2->GetSystemProfileVersion(&version), S_OK);
        EXPECT_EQ(version, v);
    }
    EXPECT_EQ(pManager2->SetSystemProfileVersion(static_cast<WMT_VERSION>(0x00060000)), E_INVALIDARG);
    EXPECT_EQ(pManager2->GetSystemProfileVersion(&version), S_OK);
    EXPECT_EQ(version, WMT_VER_9_0);
}

TEST(CWmProfileManagerTest, EmptyProfilesOfEachVersion) {
    ComPtr<IWMProfileManager> pManager;
    ASSERT_EQ(CWmProfileManager::Create(pManager.Put()), S_OK);
    for (WMT_VERSION v : {WMT_VER_4_0, WMT_VER_7_0, WMT_VER_8_0, WMT_VER_9_0}) {
        ComPtr<IWMProfile> pProfile;
        ASSERT_EQ(pManager->CreateEmptyProfile(v, pProfile.Put()), S_OK);
        WMT_VERSION version{};
        EXPECT_EQ(pProfile->GetVersion(&version), S_OK);
        EXPECT_EQ(version, v);
        DWORD cStreams = 1;
        EXPECT_EQ(pProfile->GetStreamCount(&cStreams), S_OK);
        EXPECT_EQ(cStreams, 0u);
    }
    DWORD cSystem = 1;
    EXPECT_EQ(pManager->GetSystemProfileCount(&cSystem), S_OK);
    EXPECT_EQ(cSystem, 0u);
    ComPtr<IWMProfile> pProfile;
    EXPECT_EQ(pManager->LoadSystemProfile(0, pProfile.Put()), E_INVALIDARG);
    EXPECT_EQ(pManager->LoadProfileByData(u"<profile/>", pProfile.Put()), E_NOTIMPL);
    EXPECT_EQ(pProfile.Get(), nullptr);
}
