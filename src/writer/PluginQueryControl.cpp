#include "writer/PluginQueryControl.h"

#include <cstring>

#include "plugin/PlugStatus.h"
#include "writer/MuxerForWinMedia.h"

namespace {

// Single-byte characters, no terminator of their own.
constexpr char kVersionText[] = "3.0.0.0";
constexpr uint32_t kVersionBytes = sizeof(kVersionText) - 1;

uint32_t AnswerDword(void* pOutput, uint32_t dwValue) noexcept {
    if (!pOutput) return PLUG_E_NULL_ARGUMENT;
    std::memcpy(pOutput, &dwValue, sizeof(dwValue));
    return PLUG_S_OK;
}

uint32_t Control(MuxerForWinMedia& muxer, uint32_t dwItem, void* pOutput) noexcept {
    switch (dwItem) {
    case PLUG_CONTROL_ITEM_ZERO: return AnswerDword(pOutput, 0);
    case PLUG_CONTROL_ITEM_BEGIN_PREPROCESS: return muxer.BeginPreprocessingPass();
    case PLUG_CONTROL_ITEM_END_PREPROCESS: return muxer.EndPreprocessingPass();
    default: return PLUG_E_NOT_SUPPORTED;
    }
}

uint32_t Version(uint32_t* pSize, void* pOutput) noexcept {
    if (!pSize || !pOutput) return PLUG_E_NULL_ARGUMENT;
    if (*pSize < kVersionBytes) return PLUG_E_OUT_OF_RANGE;
    std::memset(pOutput, 0, *pSize);
    std::memcpy(pOutput, kVersionText, kVersionBytes);
    *pSize = kVersionBytes;
    return PLUG_S_OK;
}

uint32_t Query(MuxerForWinMedia& muxer, uint32_t dwItem, uint32_t* pSize, void* pOutput) noexcept {
    switch (dwItem) {
    case PLUG_QUERY_ITEM_TWO_0:
    case PLUG_QUERY_ITEM_TWO_1: return AnswerDword(pOutput, 2);
    case PLUG_QUERY_ITEM_VERSION: return Version(pSize, pOutput);
    case PLUG_QUERY_ITEM_PREPROCESS: {
        // Checked first: the question sets the encoder's two-pass flag.
        if (!pSize || !pOutput) return PLUG_E_NULL_ARGUMENT;
        const uint32_t dwStatus = AnswerDword(pOutput, muxer.IsPreprocessingSupported());
        *pSize = sizeof(uint32_t);
        return dwStatus;
    }
    default: return PLUG_E_NOT_SUPPORTED;
    }
}

}  // namespace

uint32_t QueryControl(MuxerForWinMedia& muxer, uint32_t dwCategory, uint32_t dwItem, uint32_t* pSize,
                      void* pOutput) noexcept {
    switch (dwCategory) {
    case PLUG_QUERY_CATEGORY_CONTROL: return Control(muxer, dwItem, pOutput);
    case PLUG_QUERY_CATEGORY_QUERY: return Query(muxer, dwItem, pSize, pOutput);
    default: return PLUG_E_NOT_SUPPORTED;
    }
}
