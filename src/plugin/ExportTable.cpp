#include "plugin/ExportTable.h"

#include "plugin/FixedAnswers.h"
#include "plugin/HostLibInfo.h"
#include "reader/ReaderExports.h"
#include "writer/NormaliseParams.h"
#include "writer/WriterExports.h"

namespace {

template <class F>
void* Entry(F* pfn) noexcept {
    return reinterpret_cast<void*>(pfn);
}

}  // namespace

extern "C" VRX_PLUG_EXPORT void* VRXPlugGetProcByOrdinal(unsigned int ordinal) {
    switch (ordinal) {
    case PLUG_ORD_READER_CREATE: return Entry(&ReaderCreate);
    case PLUG_ORD_READER_DESTROY: return Entry(&ReaderDestroy);
    case PLUG_ORD_READER_ZERO_402:
    case PLUG_ORD_READER_ZERO_403:
    case PLUG_ORD_READER_ZERO_405:
    case PLUG_ORD_READER_ZERO_436:
    case PLUG_ORD_WRITER_ZERO_502:
    case PLUG_ORD_WRITER_ZERO_503:
    case PLUG_ORD_WRITER_ZERO_506: return Entry(&PluginStubZero);
    case PLUG_ORD_READER_ONE_415:
    case PLUG_ORD_WRITER_ONE_507: return Entry(&PluginStubOne);
    case PLUG_ORD_READER_UNSUPPORTED_419:
    case PLUG_ORD_READER_UNSUPPORTED_430:
    case PLUG_ORD_WRITER_UNSUPPORTED_510:
    case PLUG_ORD_WRITER_UNSUPPORTED_511: return Entry(&PluginNotSupported);
    case PLUG_ORD_ALL_ONES_601: return Entry(&PluginStubAllOnes);
    case PLUG_ORD_READER_OPEN: return Entry(&ReaderOpen);
    case PLUG_ORD_READER_GET_PROGRAM_COUNT: return Entry(&ReaderGetProgramCount);
    case PLUG_ORD_READER_GET_VIDEO_STREAM_COUNT: return Entry(&ReaderGetVideoStreamCount);
    case PLUG_ORD_READER_GET_VIDEO_STREAM_DESC: return Entry(&ReaderGetVideoStreamDesc);
    case PLUG_ORD_READER_GET_AUDIO_STREAM_COUNT: return Entry(&ReaderGetAudioStreamCount);
    case PLUG_ORD_READER_GET_AUDIO_STREAM_DESC: return Entry(&ReaderGetAudioStreamDesc);
    case PLUG_ORD_READER_SELECT_STREAMS: return Entry(&ReaderSelectStreams);
    case PLUG_ORD_READER_GET_STATE: return Entry(&ReaderGetState);
    case PLUG_ORD_READER_GET_FRAME_BUFFER_SIZE: return Entry(&ReaderGetFrameBufferSize);
    case PLUG_ORD_READER_GET_AUDIO_BUFFER_SIZE: return Entry(&ReaderGetAudioBufferSize);
    case PLUG_ORD_READER_SET_RANGE: return Entry(&ReaderSetRange);
    case PLUG_ORD_READER_SET_OPTIONS: return Entry(&ReaderSetOptions);
    case PLUG_ORD_READER_GET_OPTIONS: return Entry(&ReaderGetOptions);
    case PLUG_ORD_READER_READ_FRAME: return Entry(&ReaderReadFrame);
    case PLUG_ORD_READER_GET_FRAME: return Entry(&ReaderGetFrame);
    case PLUG_ORD_READER_SEEK_FRAME: return Entry(&ReaderSeekFrame);
    case PLUG_ORD_READER_PROBE_FRAME: return Entry(&ReaderProbeFrame);
    case PLUG_ORD_READER_GET_NEXT_FRAME: return Entry(&ReaderGetNextFrame);
    case PLUG_ORD_READER_PEEK_NEXT_FRAME: return Entry(&ReaderPeekNextFrame);
    case PLUG_ORD_READER_PEEK_FRAME: return Entry(&ReaderPeekFrame);
    case PLUG_ORD_READER_GET_NEXT_SAMPLE: return Entry(&ReaderGetNextSample);
    case PLUG_ORD_READER_READ_AUDIO: return Entry(&ReaderReadAudio);
    case PLUG_ORD_READER_GET_AUDIO: return Entry(&ReaderGetAudio);
    case PLUG_ORD_WRITER_CREATE: return Entry(&WriterCreate);
    case PLUG_ORD_WRITER_DESTROY: return Entry(&WriterDestroy);
    case PLUG_ORD_WRITER_NORMALISE_PARAMS: return Entry(&WriterNormaliseParams);
    case PLUG_ORD_WRITER_OPEN: return Entry(&WriterOpen);
    case PLUG_ORD_WRITER_IS_AUDIO_BEHIND: return Entry(&WriterIsAudioBehind);
    case PLUG_ORD_WRITER_PUT_STREAM_DATA: return Entry(&WriterPutStreamData);
    case PLUG_ORD_QUERY_CONTROL: return Entry(&PluginQueryControl);
    case PLUG_ORD_QZ_GET_LIB_INFO: return Entry(&ForwardQZGetLibInfo);
    default: return nullptr;
    }
}
