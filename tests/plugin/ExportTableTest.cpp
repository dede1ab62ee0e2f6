// The export table as a host sees it: the built library loaded with dlopen,
// entry points found by ordinal only.
#include <dlfcn.h>

#include <array>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "vrx/PlugOrdinals.h"
#include "vrx/VRXHost.h"

namespace {

using PFN_GetProc = void* (*)(unsigned int);

bool IsAssigned(unsigned int ordinal) {
    return (ordinal >= 400 && ordinal <= 430) || ordinal == 436 ||
           (ordinal >= 500 && ordinal <= 511) || (ordinal >= 600 && ordinal <= 602);
}

class ExportTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_hPlugin = dlopen(VRX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_hPlugin, nullptr) << dlerror();
        s_pfnGetProc = reinterpret_cast<PFN_GetProc>(dlsym(s_hPlugin, "VRXPlugGetProcByOrdinal"));
        ASSERT_NE(s_pfnGetProc, nullptr);
    }
    static void TearDownTestSuite() {
        if (s_hPlugin) dlclose(s_hPlugin);
        s_hPlugin = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_pfnGetProc, nullptr); }

    template <class PFN>
    static PFN Proc(unsigned int ordinal) {
        return reinterpret_cast<PFN>(s_pfnGetProc(ordinal));
    }

    static inline void* s_hPlugin = nullptr;
    static inline PFN_GetProc s_pfnGetProc = nullptr;
};

TEST_F(ExportTableTest, ExactlyTheAssignedOrdinalsHaveEntryPoints) {
    int found = 0;
    for (unsigned int ordinal = 0; ordinal <= 1100; ++ordinal) {
        SCOPED_TRACE(ordinal);
        const bool present = s_pfnGetProc(ordinal) != nullptr;
        EXPECT_EQ(present, IsAssigned(ordinal));
        found += present;
    }
    EXPECT_EQ(found, 47);
    // Values that a truncating or sign-extending lookup would fold onto 400-602.
    for (unsigned int ordinal : {0xFFFFFFFFu, 0x80000000u, 0x80000190u, 0x10190u, 0xFFFFFE70u}) {
        EXPECT_EQ(s_pfnGetProc(ordinal), nullptr) << std::hex << ordinal;
    }
}

TEST_F(ExportTableTest, OnlyTheLookupAndLibInfoAreExported) {
    for (const char* name : {"ReaderCreate", "WriterNormaliseParams", "PluginStubZero",
                             "ForwardQZGetLibInfo", "FormatString", "NormaliseMediaInfo"}) {
        EXPECT_EQ(dlsym(s_hPlugin, name), nullptr) << name;
    }
    std::string symbols;
    ASSERT_EQ(RunCommand(std::string("nm -D --defined-only ") + VRX_PLUGIN_PATH, &symbols), 0);
    std::set<std::string> functions;
    std::istringstream lines(symbols);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (type == "T" && !name.starts_with('_')) functions.insert(name);
    }
    EXPECT_EQ(functions, (std::set<std::string>{"QZGetLibInfo", "VRXPlugGetProcByOrdinal"}));
}

TEST_F(ExportTableTest, PlatformLibraryComesAlong) {
    // A host initialises COM through the plug-in's own dependency.
    EXPECT_NE(dlsym(s_hPlugin, "CoInitializeEx"), nullptr);
    EXPECT_NE(dlsym(s_hPlugin, "CoUninitialize"), nullptr);
}

struct FixedAnswerGroup {
    const char* name;
    std::vector<unsigned int> ordinals;
    uint32_t answer;
};

const FixedAnswerGroup kFixedGroups[] = {
    {"Zero", {402, 403, 405, 436, 502, 503, 506}, 0},
    {"One", {415, 507}, 1},
    {"NotSupported", {419, 430, 510, 511}, 0x80000002},
    {"AllOnes", {601}, 0xFFFFFFFF},
};

TEST_F(ExportTableTest, FixedAnswersShareOneEntryPerAnswer) {
    std::set<void*> entries;
    for (const auto& group : kFixedGroups) {
        void* first = s_pfnGetProc(group.ordinals.front());
        for (unsigned int ordinal : group.ordinals) {
            EXPECT_EQ(s_pfnGetProc(ordinal), first) << group.name << " " << ordinal;
        }
        entries.insert(first);
    }
    EXPECT_EQ(entries.size(), std::size(kFixedGroups));
    for (unsigned int ordinal : {400u, 404u, 504u, 509u, 600u, 602u}) {
        EXPECT_EQ(entries.count(s_pfnGetProc(ordinal)), 0u) << ordinal;
    }
}

TEST_F(ExportTableTest, FixedAnswersIgnoreEveryArgument) {
    std::array<uint8_t, 64> record;
    record.fill(0x5A);
    const auto untouched = record;
    auto* garbage = reinterpret_cast<void*>(uintptr_t{0xDEADBEEFCAFEF00D});
    for (const auto& group : kFixedGroups) {
        for (unsigned int ordinal : group.ordinals) {
            SCOPED_TRACE(std::string(group.name) + " " + std::to_string(ordinal));
            auto pfn = Proc<PFN_PluginFixedAnswer>(ordinal);
            ASSERT_NE(pfn, nullptr);
            EXPECT_EQ(pfn(), group.answer);
            EXPECT_EQ(pfn(nullptr), group.answer);
            EXPECT_EQ(pfn(nullptr, 0u, nullptr, nullptr), group.answer);
            EXPECT_EQ(pfn(garbage, 0xFFFFFFFFu, garbage, -1, garbage, garbage), group.answer);
            EXPECT_EQ(pfn(record.data(), 7u, record.data(), record.data()), group.answer);
            EXPECT_EQ(record, untouched);
        }
    }
}

TEST_F(ExportTableTest, LibInfoPassesThroughToTheHost) {
    auto pfn602 = Proc<PFN_QZGetLibInfo>(602);
    auto pfnNamed = reinterpret_cast<PFN_QZGetLibInfo>(dlsym(s_hPlugin, "QZGetLibInfo"));
    ASSERT_NE(pfn602, nullptr);
    ASSERT_NE(pfnNamed, nullptr);
    // The name must resolve to the plug-in's own export, not the host's.
    Dl_info where{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(pfnNamed), &where), 0);
    EXPECT_STREQ(where.dli_fname, VRX_PLUGIN_PATH);
    EXPECT_NE(pfnNamed, &QZGetLibInfo);

    for (uint32_t cbSize : {uint32_t{sizeof(SVRXLibInfo)}, uint32_t{sizeof(SVRXLibInfo) + 8}, 16u, 0u}) {
        SCOPED_TRACE(cbSize);
        SVRXLibInfo direct, via602, viaName;
        for (SVRXLibInfo* info : {&direct, &via602, &viaName}) {
            std::memset(info, 0xA7, sizeof(*info));
            info->cbSize = cbSize;
        }
        const uint32_t expected = QZGetLibInfo(&direct);
        EXPECT_EQ(pfn602(&via602), expected);
        EXPECT_EQ(pfnNamed(&viaName), expected);
        EXPECT_EQ(std::memcmp(&via602, &direct, sizeof direct), 0);
        EXPECT_EQ(std::memcmp(&viaName, &direct, sizeof direct), 0);
    }
    EXPECT_EQ(pfn602(nullptr), QZGetLibInfo(nullptr));
    EXPECT_EQ(pfnNamed(nullptr), QZGetLibInfo(nullptr));
}

TEST_F(ExportTableTest, NormaliseParamsIsReachableWithoutAHandle) {
    auto pfn = Proc<PFN_WriterNormaliseParams>(504);
    ASSERT_NE(pfn, nullptr);
    EXPECT_EQ(pfn(nullptr, nullptr), 0x80000005u);
    SPlugMediaInfo info{};
    info.dwVideoPresent = 1;
    info.Video.dwWidth = 721;
    info.Video.dwHeight = 577;
    EXPECT_EQ(pfn(reinterpret_cast<void*>(uintptr_t{1}), &info), 0u);
    EXPECT_EQ(info.Video.dwWidth, 720u);
    EXPECT_EQ(info.Video.dwHeight, 576u);
    EXPECT_EQ(info.Video.dwCodecType, 12u);
}

}  // namespace
