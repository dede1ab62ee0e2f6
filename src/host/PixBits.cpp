#include "vrx/VRXHost.h"

uint16_t GetPixBits(PLUG_COLOR_FORMAT_ format) {
    switch (format) {
    case PLUG_COLOR_FORMAT_RGB32: return 32;
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY: return 16;
    case PLUG_COLOR_FORMAT_I420: return 12;
    }
    return 0;
}
