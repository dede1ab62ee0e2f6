// The format block the reader hands the host beside a video description
// (SPlugExtraData). The host's record holds a plain pointer, so its block is
// made and freed only by these two functions.
#pragma once

#include <cstddef>

#include "vrx/PlugRecords.h"

// Frees the record's block, if any, and leaves data null and size 0; the
// kind is the caller's to reset.
void FreeExtraData(SPlugExtraData& extra) noexcept;

// Replaces the record's block with a copy of cb bytes holding a bitmap header
// and the codec's own data (kind 3). False when memory ran out or cb does
// not fit the record; the record then holds no block.
bool SetBitmapExtraData(SPlugExtraData& extra, const void* pData, size_t cb) noexcept;
