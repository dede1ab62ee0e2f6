// Helpers for the reader's tests: COM on the test thread, readers opened on
// files through an IStream with the host's refusals, and samples read the
// way the plug-in reads them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Media.h"
#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/MemoryStream.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmTestSupport.h"

// Holds the multithreaded apartment for the life of the object.
class CComScope {
public:
    CComScope() { m_hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~CComScope() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

inline uint64_t HashBytes(const BYTE* p, size_t cb) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < cb; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

inline std::vector<BYTE> FileBytes(const std::filesystem::path& path) {
    ComPtr<CMemoryStream> stream = ComPtr<CMemoryStream>::Adopt(CMemoryStream::FromFile(path));
    std::vector<BYTE> bytes(stream->Size());
    ULONG cb = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &cb);
    return bytes;
}

// A reader opened on bytes; *phr receives OpenStream's result.
inline ComPtr<IWMSyncReader> OpenReaderOn(std::vector<BYTE> bytes, HRESULT* phr = nullptr) {
    ComPtr<IWMSyncReader> reader;
    HRESULT hr = WMCreateSyncReader(nullptr, 0, reader.Put());
    if (SUCCEEDED(hr)) {
        ComPtr<IStream> stream = ComPtr<IStream>::Adopt(CMemoryStream::Create(std::move(bytes)));
        hr = reader->OpenStream(stream.Get());
    }
    if (phr) *phr = hr;
    if (!phr) {
        EXPECT_EQ(hr, S_OK);
    }
    return SUCCEEDED(hr) ? reader : ComPtr<IWMSyncReader>();
}

inline ComPtr<IWMSyncReader> OpenReader(const std::filesystem::path& path, HRESULT* phr = nullptr) {
    return OpenReaderOn(FileBytes(path), phr);
}

struct SReadSample {
    QWORD time = 0;
    QWORD duration = 0;
    DWORD flags = 0;
    WORD stream = 0;
    std::vector<BYTE> data;
    uint64_t hash = 0;
};

// GetNextSample and, when data is wanted, GetBufferAndLength.
inline HRESULT ReadSample(IWMSyncReader* reader, WORD wStreamNum, SReadSample& out, bool wantData = true) {
    ComPtr<INSSBuffer> sample;
    HRESULT hr = reader->GetNextSample(wStreamNum, sample.Put(), &out.time, &out.duration, &out.flags,
                                       nullptr, &out.stream);
    if (FAILED(hr)) return hr;
    out.data.clear();
    out.hash = 0;
    if (!wantData) return S_OK;
    BYTE* p = nullptr;
    DWORD cb = 0;
    hr = sample->GetBufferAndLength(&p, &cb);
    if (FAILED(hr)) return hr;
    out.data.assign(p, p + cb);
    out.hash = HashBytes(p, cb);
    return S_OK;
}

// The stream number of the first output of that major type, 0 when none.
inline WORD OutputStream(IWMSyncReader* reader, const GUID& major, DWORD* pOutput = nullptr) {
    DWORD count = 0;
    reader->GetOutputCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMOutputMediaProps> props;
        if (FAILED(reader->GetOutputProps(i, props.Put()))) continue;
        GUID type{};
        props->GetType(&type);
        if (!(type == major)) continue;
        WORD w = 0;
        reader->GetStreamNumberForOutput(i, &w);
        if (pOutput) *pOutput = i;
        return w;
    }
    return 0;
}

// Installs the output format of that subtype; false when none is offered.
inline bool UseOutputFormat(IWMSyncReader* reader, DWORD output, const GUID& subtype) {
    DWORD count = 0;
    reader->GetOutputFormatCount(output, &count);
    for (DWORD j = 0; j < count; ++j) {
        ComPtr<IWMOutputMediaProps> props;
        if (FAILED(reader->GetOutputFormat(output, j, props.Put()))) continue;
        if (ReadMediaType(props.Get()).SubType() == subtype) return reader->SetOutputProps(output, props.Get()) == S_OK;
    }
    return false;
}

inline QWORD DurationOf(IWMSyncReader* reader) {
    ComPtr<IWMHeaderInfo3> info;
    if (FAILED(ComPtr<IWMSyncReader>(reader).As(info))) return 0;
    WORD stream = 0;
    WMT_ATTR_DATATYPE type{};
    QWORD value = 0;
    WORD cb = sizeof value;
    if (info->GetAttributeByName(&stream, g_wszWMDuration, &type,
                                 reinterpret_cast<BYTE*>(&value), &cb) != S_OK)
        return 0;
    return value;
}
