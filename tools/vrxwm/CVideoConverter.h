// Pictures from one format and size to another with libswscale: the
// reader's YUY2 to PNG's RGB, a Y4M's 4:2:2 to the writer's I420, frames
// to contact-sheet thumbnails. Keeps its scaler between calls of the same
// shape.
#pragma once

#include "vrxwm/AvPtr.h"
#include "vrxwm/Picture.h"

class CVideoConverter {
public:
    // Fills dst, which keeps its own format and size; throws CStatusError.
    void Convert(const SPicture& src, CPictureBuffer& dst);

private:
    AvPtr<SwsContext> m_pScaler;
};
