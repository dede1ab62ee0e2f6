#include "plugin/FixedAnswers.h"

#include "plugin/PlugStatus.h"

uint32_t PluginStubZero(...) noexcept {
    return 0;
}

uint32_t PluginStubOne(...) noexcept {
    return 1;
}

uint32_t PluginNotSupported(...) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}

uint32_t PluginStubAllOnes(...) noexcept {
    return 0xFFFFFFFF;
}
