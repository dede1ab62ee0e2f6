// A contact sheet: frames as thumbnails in a grid, each labelled with its
// frame number, saved as one PNG.
#pragma once

#include <cstdint>
#include <filesystem>

#include "vrxwm/CVideoConverter.h"
#include "vrxwm/Picture.h"

class CContactSheet {
public:
    CContactSheet(int columns, int rows, int thumbWidth, int thumbHeight);

    // Thumbnail number slot (row by row) shows the picture and the label.
    void Place(int slot, const SPicture& picture, uint32_t label);
    void Save(const std::filesystem::path& file);

    int Width() const noexcept { return m_sheet.Width(); }
    int Height() const noexcept { return m_sheet.Height(); }

private:
    int m_columns;
    int m_thumbWidth;
    int m_thumbHeight;
    int m_labelHeight;
    CVideoConverter m_converter;
    CPictureBuffer m_thumb;
    CPictureBuffer m_sheet;
};
