#include "win/ObjIdl.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "win/Com.h"

namespace {

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// A stream that records which method was called last; the methods answer
// with distinct codes so that a call through the wrong slot shows.
class CProbeStream final : public IStream {
public:
    static HRESULT Create(IStream** ppStream) noexcept {
        *ppStream = new (std::nothrow) CProbeStream();
        return *ppStream ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream)) return E_NOINTERFACE;
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override {
        const ULONG cRef = --m_cRef;
        if (cRef == 0) delete this;
        return cRef;
    }
    HRESULT Read(void*, ULONG, ULONG*) noexcept override { return Mark("Read", 3); }
    HRESULT Write(const void*, ULONG, ULONG*) noexcept override { return Mark("Write", 4); }
    HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) noexcept override { return Mark("Seek", 5); }
    HRESULT SetSize(ULARGE_INTEGER) noexcept override { return Mark("SetSize", 6); }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) noexcept override {
        return Mark("CopyTo", 7);
    }
    HRESULT Commit(DWORD) noexcept override { return Mark("Commit", 8); }
    HRESULT Revert() noexcept override { return Mark("Revert", 9); }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return Mark("LockRegion", 10); }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return Mark("UnlockRegion", 11);
    }
    HRESULT Stat(STATSTG* pStat, DWORD grfStatFlag) noexcept override {
        *pStat = STATSTG{};
        pStat->type = STGTY_STREAM;
        pStat->cbSize.QuadPart = 1234;
        if (grfStatFlag != STATFLAG_NONAME) {
            pStat->pwcsName = static_cast<WCHAR*>(CoTaskMemAlloc(4 * sizeof(WCHAR)));
            if (!pStat->pwcsName) return E_OUTOFMEMORY;
            std::memcpy(pStat->pwcsName, u"abc", 4 * sizeof(WCHAR));
        }
        return Mark("Stat", 12);
    }
    HRESULT Clone(IStream**) noexcept override { return Mark("Clone", 13); }

    std::string m_last;

private:
    CProbeStream() noexcept = default;
    ~CProbeStream() = default;
    HRESULT Mark(const char* name, int slot) noexcept {
        m_last = name;
        return MakeHr(0x80040000u + static_cast<uint32_t>(slot));
    }
    std::atomic<ULONG> m_cRef{1};
};

TEST(ObjIdlTest, InterfaceIdsAreThePlatforms) {
    EXPECT_EQ(GuidText(IID_ISequentialStream), "0C733A30-2A1C-11CE-ADE5-00AA0044773D");
    EXPECT_EQ(GuidText(IID_IStream), "0000000C-0000-0000-C000-000000000046");
    EXPECT_TRUE(kIidOf<IStream> == IID_IStream);
    EXPECT_TRUE(kIidOf<ISequentialStream> == IID_ISequentialStream);
}

TEST(ObjIdlTest, ComPtrReachesEveryInterfaceOfAStream) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CProbeStream::Create(stream.Put()), S_OK);
    ComPtr<ISequentialStream> sequential;
    ASSERT_EQ(stream.As(sequential), S_OK);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(sequential.As(unknown), S_OK);

    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), MakeHr(0x8004000C));
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, 1234u);
    ASSERT_NE(stat.pwcsName, nullptr);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"abc");
    CoTaskMemFree(stat.pwcsName);
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), MakeHr(0x8004000C));
    EXPECT_EQ(stat.pwcsName, nullptr);
}

// A C caller reaches the methods through the table of function pointers in
// the platform's order; ours must put each method in the same slot.
template <class Fn>
Fn Slot(IStream* p, int index) {
    void** table = *reinterpret_cast<void***>(p);
    return reinterpret_cast<Fn>(table[index]);
}

TEST(ObjIdlTest, MethodsSitInThePlatformsSlots) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CProbeStream::Create(stream.Put()), S_OK);
    auto* probe = static_cast<CProbeStream*>(stream.Get());
    IStream* p = stream.Get();
    const ULARGE_INTEGER zero{};
    const LARGE_INTEGER move{};
    STATSTG stat{};

    EXPECT_EQ(Slot<HRESULT (*)(IStream*, void*, ULONG, ULONG*)>(p, 3)(p, nullptr, 0, nullptr), MakeHr(0x80040003));
    EXPECT_EQ(probe->m_last, "Read");
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, const void*, ULONG, ULONG*)>(p, 4)(p, nullptr, 0, nullptr),
              MakeHr(0x80040004));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, LARGE_INTEGER, DWORD, ULARGE_INTEGER*)>(p, 5)(p, move, 0, nullptr),
              MakeHr(0x80040005));
    EXPECT_EQ(probe->m_last, "Seek");
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, ULARGE_INTEGER)>(p, 6)(p, zero), MakeHr(0x80040006));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*)>(p, 7)(
                  p, nullptr, zero, nullptr, nullptr),
              MakeHr(0x80040007));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, DWORD)>(p, 8)(p, 0), MakeHr(0x80040008));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*)>(p, 9)(p), MakeHr(0x80040009));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER, DWORD)>(p, 10)(p, zero, zero, 0),
              MakeHr(0x8004000A));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER, DWORD)>(p, 11)(p, zero, zero, 0),
              MakeHr(0x8004000B));
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, STATSTG*, DWORD)>(p, 12)(p, &stat, STATFLAG_NONAME), MakeHr(0x8004000C));
    EXPECT_EQ(probe->m_last, "Stat");
    EXPECT_EQ(Slot<HRESULT (*)(IStream*, IStream**)>(p, 13)(p, nullptr), MakeHr(0x8004000D));
    EXPECT_EQ(probe->m_last, "Clone");
}

}  // namespace
