#include "plugin/WMSdkProbe.h"

#include "wmf/WmInterfaces.h"

uint32_t IsWMSDKAvailable() noexcept {
    // Only S_OK counts below: a success code with nothing handed out would
    // leave a null interface to call.
    ComPtr<IWMProfileManager> pManager;
    WMCreateProfileManager(pManager.Put());
    if (!pManager) return 0;
    ComPtr<IWMCodecInfo> pCodecInfo;
    if (pManager.As(pCodecInfo) != S_OK || !pCodecInfo) return 0;
    ComPtr<IWMStreamConfig> pConfig;
    if (pCodecInfo->GetCodecFormat(WMMEDIATYPE_Video, /*dwCodecIndex=*/0, /*dwFormatIndex=*/0,
                                   pConfig.Put()) != S_OK ||
        !pConfig)
        return 0;
    ComPtr<IWMMediaProps> pProps;
    return pConfig.As(pProps) == S_OK && pProps ? 1 : 0;
}
