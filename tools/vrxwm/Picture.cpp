#include "vrxwm/Picture.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include "vrxwm/AvPtr.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

void CPictureBuffer::Allocate(AVPixelFormat format, int width, int height) {
    if (format == m_format && width == m_width && height == m_height) return;
    const int size = av_image_get_buffer_size(format, width, height, /*align=*/1);
    if (size < 0)
        throw CStatusError(kStatusInvalidArg, "cannot hold a " + std::to_string(width) + "x" +
                                                  std::to_string(height) + " picture: " + AvErrorText(size));
    m_bytes.assign(static_cast<size_t>(size), 0);
    av_image_fill_arrays(m_planes.data(), m_strides.data(), m_bytes.data(), format, width, height, /*align=*/1);
    m_format = format;
    m_width = width;
    m_height = height;
}

SPicture CPictureBuffer::View() const noexcept {
    SPicture picture;
    picture.format = m_format;
    picture.width = m_width;
    picture.height = m_height;
    for (size_t i = 0; i < m_planes.size(); ++i) {
        picture.planes[i] = m_planes[i];
        picture.strides[i] = m_strides[i];
    }
    return picture;
}
