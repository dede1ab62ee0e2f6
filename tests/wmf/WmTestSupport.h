// Helpers for the tests of the Windows Media layer.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"

// The media type of any IWMMediaProps, read the way the plug-in reads it:
// first the size, then the type into a buffer of that size.
inline WmMediaType ReadMediaType(IWMMediaProps* pProps) {
    WmMediaType mediaType;
    DWORD cbType = 0;
    EXPECT_EQ(pProps->GetMediaType(nullptr, &cbType), S_OK);
    std::vector<BYTE> buffer(cbType);
    auto* pType = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    EXPECT_EQ(pProps->GetMediaType(pType, &cbType), S_OK);
    EXPECT_EQ(mediaType.Assign(*pType), S_OK);
    return mediaType;
}

// A UTF-16 string read with the runtime's size-query convention.
template <class TCount, class TGetter>
std::u16string ReadString(TGetter get) {
    TCount cch = 0;
    EXPECT_EQ(get(nullptr, &cch), S_OK);
    std::u16string text(cch, u'\0');
    EXPECT_EQ(get(text.data(), &cch), S_OK);
    if (!text.empty()) text.pop_back();  // the terminator
    return text;
}
