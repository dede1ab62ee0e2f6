#include "win/WideString.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

WCHAR FoldAscii(WCHAR c) noexcept { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

bool IsHighSurrogate(char32_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

extern "C" int lstrlenW(LPCWSTR lpString) noexcept {
    if (!lpString) return 0;
    int n = 0;
    while (lpString[n])
        ++n;
    return n;
}

extern "C" LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) noexcept {
    if (!lpString1 || !lpString2) return nullptr;
    LPWSTR p = lpString1;
    while ((*p++ = *lpString2++) != 0) {}
    return lpString1;
}

extern "C" LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) noexcept {
    if (!lpString1 || !lpString2) return nullptr;
    if (iMaxLength <= 0) return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = 0;
    return lpString1;
}

extern "C" int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) noexcept {
    if (!lpString1 || !lpString2) return (lpString1 ? 1 : 0) - (lpString2 ? 1 : 0);
    for (;; ++lpString1, ++lpString2) {
        const WCHAR a = FoldAscii(*lpString1);
        const WCHAR b = FoldAscii(*lpString2);
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}

namespace vrx {

std::string Utf16ToUtf8(const WCHAR* psz) { return psz ? Utf16ToUtf8(std::u16string_view(psz)) : std::string(); }

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        // Well-formed sequences (Unicode table 3-7): the lead byte fixes the
        // length and the range of the first continuation byte, which rules
        // out overlong forms, surrogates and values past U+10FFFF.
        size_t length = 0;
        char32_t c = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        size_t n = 1;
        for (; n < length && i + n < text.size(); ++n) {
            const auto next = static_cast<unsigned char>(text[i + n]);
            if (next < low || next > high) break;
            c = (c << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        if (n < length) {
            out += static_cast<char16_t>(kReplacement);
        } else {
            AppendUtf16(out, c);
        }
        i += n;
    }
    return out;
}

}  // namespace vrx
