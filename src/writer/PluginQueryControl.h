// The plug-in's query and control entry (ordinal 600) on a writer handle:
// fixed answers, the version text and the two-pass control of the handle's
// encoder. Runs on the host's thread, like every writer operation.
#pragma once

#include <cstdint>

class MuxerForWinMedia;

enum PlugQueryCategory : uint32_t {
    PLUG_QUERY_CATEGORY_CONTROL = 1,
    PLUG_QUERY_CATEGORY_QUERY = 2,
};

enum PlugQueryItem : uint32_t {
    PLUG_CONTROL_ITEM_ZERO = 10,              // answers a 32-bit 0
    PLUG_CONTROL_ITEM_BEGIN_PREPROCESS = 11,  // begins the two-pass preprocessing pass
    PLUG_CONTROL_ITEM_END_PREPROCESS = 12,    // ends it; the final pass follows
    PLUG_QUERY_ITEM_TWO_0 = 0,                // answers a 32-bit 2
    PLUG_QUERY_ITEM_TWO_1 = 1,                // answers a 32-bit 2
    PLUG_QUERY_ITEM_VERSION = 2,              // "3.0.0.0", seven bytes
    PLUG_QUERY_ITEM_PREPROCESS = 10,          // 1 when two-pass encoding is possible
};

// Answers one request. pSize is the output buffer's size in bytes where a
// request reads it, and receives the bytes written where a request says so;
// a request leaves both buffers alone when it fails. Null buffers that a
// request needs: 0x80000005; a version buffer under 7 bytes: 0x80000006;
// an unknown category or item: 0x80000002; otherwise the status of the
// operation.
uint32_t QueryControl(MuxerForWinMedia& muxer, uint32_t dwCategory, uint32_t dwItem, uint32_t* pSize,
                      void* pOutput) noexcept;
