// Any bytes as an ASF file: open them, read every stream with its data,
// seek a little and read on. Nothing may crash, hang, leak or grow without
// bound, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "win/Com.h"
#include "wmf/MemoryStream.h"
#include "wmf/WmInterfaces.h"

namespace {

// Samples read per input: enough to reach into every object kind, few
// enough that one input stays quick.
constexpr int kMaxSamples = 200;

void ReadSome(IWMSyncReader* reader, int budget) {
    for (int i = 0; i < budget; ++i) {
        ComPtr<INSSBuffer> sample;
        QWORD time = 0;
        QWORD duration = 0;
        DWORD flags = 0;
        WORD stream = 0;
        if (FAILED(reader->GetNextSample(0, sample.Put(), &time, &duration, &flags, nullptr, &stream))) return;
        BYTE* p = nullptr;
        DWORD cb = 0;
        if (SUCCEEDED(sample->GetBufferAndLength(&p, &cb)) && cb) {
            volatile BYTE touch = p[0] ^ p[cb - 1];
            (void)touch;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    if (!com) return 0;
    ComPtr<IWMSyncReader> reader;
    if (FAILED(WMCreateSyncReader(nullptr, 0, reader.Put()))) return 0;
    ComPtr<IStream> stream = ComPtr<IStream>::Adopt(CMemoryStream::Create(std::vector<BYTE>(data, data + size)));
    if (FAILED(reader->OpenStream(stream.Get()))) return 0;
    DWORD outputs = 0;
    reader->GetOutputCount(&outputs);
    for (DWORD i = 0; i < outputs; ++i) {
        DWORD formats = 0;
        reader->GetOutputFormatCount(i, &formats);
        ComPtr<IWMOutputMediaProps> props;
        // The last format of each output: the least common conversion.
        if (formats && SUCCEEDED(reader->GetOutputFormat(i, formats - 1, props.Put())))
            reader->SetOutputProps(i, props.Get());
    }
    ReadSome(reader.Get(), kMaxSamples);
    const QWORD seekTo = size > 8 ? (static_cast<QWORD>(data[size - 1]) << 16 | data[size - 2]) * 1000 : 0;
    reader->SetRange(seekTo, 0);
    ReadSome(reader.Get(), kMaxSamples / 4);
    reader->SetRange(0, 0);
    ReadSome(reader.Get(), kMaxSamples / 4);
    return 0;
}
