#include "win/WidePrintf.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "win/WideString.h"

namespace {

constexpr std::u16string_view kNull = u"(null)";
constexpr char16_t kReplacement = 0xFFFD;

// The destination, cut at its room; never written past.
class COutput {
public:
    COutput(WCHAR* pDest, size_t cchRoom) noexcept : m_pDest(pDest), m_cchRoom(cchRoom) {}

    void Put(WCHAR c) noexcept {
        if (m_cch < m_cchRoom) {
            m_pDest[m_cch++] = c;
        } else {
            m_bCut = true;
        }
    }
    void Put(std::u16string_view text) noexcept {
        for (const WCHAR c : text)
            Put(c);
    }
    void Repeat(WCHAR c, size_t count) noexcept {
        const size_t n = std::min(count, m_cchRoom - m_cch);
        std::fill_n(m_pDest + m_cch, n, c);
        m_cch += n;
        if (n < count) m_bCut = true;
    }
    bool IsCut() const noexcept { return m_bCut; }
    int Finish() noexcept {
        m_pDest[m_cch] = 0;
        return m_bCut ? -1 : static_cast<int>(m_cch);
    }

private:
    WCHAR* const m_pDest;
    const size_t m_cchRoom;
    size_t m_cch = 0;
    bool m_bCut = false;
};

enum class Size { Default, Short, Long, LongLong };

struct Spec {
    bool bLeft = false;
    bool bPlus = false;
    bool bSpace = false;
    bool bZero = false;
    bool bAlt = false;
    size_t width = 0;
    std::optional<size_t> precision;
    Size size = Size::Default;
};

// Widths and precisions beyond any buffer; the output is cut long before.
constexpr size_t kMaxField = INT_MAX;

class CFormatter {
public:
    CFormatter(COutput& out, va_list args) noexcept : m_out(out) { va_copy(m_args, args); }
    ~CFormatter() { va_end(m_args); }
    CFormatter(const CFormatter&) = delete;
    CFormatter& operator=(const CFormatter&) = delete;

    void Run(const WCHAR* p) {
        while (*p && !m_out.IsCut()) {
            if (*p != u'%') {
                m_out.Put(*p++);
                continue;
            }
            const WCHAR* const pStart = p++;
            Spec spec;
            p = ParseSpec(p, spec);
            if (*p == 0) {
                // A conversion cut off by the end of the format.
                m_out.Put(std::u16string_view(pStart, static_cast<size_t>(p - pStart)));
                break;
            }
            const WCHAR conversion = *p++;
            if (!Convert(conversion, spec))
                m_out.Put(std::u16string_view(pStart, static_cast<size_t>(p - pStart)));
        }
    }

private:
    static bool IsDigit(WCHAR c) noexcept { return c >= u'0' && c <= u'9'; }

    static const WCHAR* ParseNumber(const WCHAR* p, size_t& value) noexcept {
        value = 0;
        for (; IsDigit(*p); ++p)
            value = std::min<size_t>(value * 10 + static_cast<size_t>(*p - u'0'), kMaxField);
        return p;
    }

    const WCHAR* ParseSpec(const WCHAR* p, Spec& spec) noexcept {
        // Flags may come in any order and repeat.
        for (;; ++p) {
            switch (*p) {
            case u'-': spec.bLeft = true; continue;
            case u'+': spec.bPlus = true; continue;
            case u' ': spec.bSpace = true; continue;
            case u'0': spec.bZero = true; continue;
            case u'#': spec.bAlt = true; continue;
            default: break;
            }
            break;
        }
        if (*p == u'*') {
            // A negative width from the arguments means left alignment.
            const long long width = va_arg(m_args, int);
            spec.bLeft = spec.bLeft || width < 0;
            spec.width = static_cast<size_t>(width < 0 ? -width : width);
            ++p;
        } else {
            p = ParseNumber(p, spec.width);
        }
        if (*p == u'.') {
            ++p;
            if (*p == u'*') {
                const int precision = va_arg(m_args, int);
                if (precision >= 0) spec.precision = static_cast<size_t>(precision);
                ++p;
            } else {
                size_t precision = 0;
                p = ParseNumber(p, precision);
                spec.precision = precision;
            }
        }
        if (*p == u'h') {
            spec.size = Size::Short;
            ++p;
        } else if (*p == u'l') {
            ++p;
            spec.size = Size::Long;
            if (*p == u'l') {
                spec.size = Size::LongLong;
                ++p;
            }
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            spec.size = Size::LongLong;
            p += 3;
        }
        return p;
    }

    bool Convert(WCHAR conversion, const Spec& spec) {
        switch (conversion) {
        case u'd':
        case u'i': {
            const long long value = spec.size == Size::LongLong ? va_arg(m_args, long long)
                                    : spec.size == Size::Short  ? static_cast<short>(va_arg(m_args, int))
                                                                : va_arg(m_args, int);
            const unsigned long long magnitude =
                value < 0 ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
            PutInteger(magnitude, value < 0, /*bSigned=*/true, 10, /*bUpper=*/false, spec);
            return true;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            const unsigned long long value = spec.size == Size::LongLong ? va_arg(m_args, unsigned long long)
                                             : spec.size == Size::Short
                                                 ? static_cast<unsigned short>(va_arg(m_args, unsigned))
                                                 : va_arg(m_args, unsigned);
            const unsigned base = conversion == u'u' ? 10 : conversion == u'o' ? 8 : 16;
            PutInteger(value, /*bNegative=*/false, /*bSigned=*/false, base, conversion == u'X', spec);
            return true;
        }
        case u'p': {
            Spec pointer;
            pointer.bLeft = spec.bLeft;
            pointer.width = spec.width;
            pointer.precision = 2 * sizeof(void*);
            const auto value = reinterpret_cast<uintptr_t>(va_arg(m_args, void*));
            PutInteger(value, /*bNegative=*/false, /*bSigned=*/false, 16, /*bUpper=*/true, pointer);
            return true;
        }
        case u'c':
        case u'C': {
            const bool bWide = conversion == u'c' ? spec.size != Size::Short : spec.size == Size::Long;
            const int value = va_arg(m_args, int);
            WCHAR c = static_cast<WCHAR>(value);
            if (!bWide) {
                // One byte of UTF-8 text is a character only below 0x80.
                const auto byte = static_cast<unsigned char>(value);
                c = byte < 0x80 ? byte : kReplacement;
            }
            PutField(std::u16string_view(&c, 1), spec);
            return true;
        }
        case u's':
        case u'S': {
            const bool bWide = conversion == u's' ? spec.size != Size::Short : spec.size == Size::Long;
            const void* pText = va_arg(m_args, const void*);
            if (!pText) {
                PutField(kNull.substr(0, spec.precision.value_or(kNull.size())), spec);
            } else if (bWide) {
                PutField(WideText(static_cast<const WCHAR*>(pText), spec.precision), spec);
            } else {
                const std::u16string text = NarrowText(static_cast<const char*>(pText), spec.precision);
                PutField(std::u16string_view(text).substr(0, spec.precision.value_or(text.size())), spec);
            }
            return true;
        }
        case u'%': m_out.Put(u'%'); return true;
        default: return false;
        }
    }

    // With a precision the text need not be terminated within it.
    static std::u16string_view WideText(const WCHAR* p, std::optional<size_t> precision) noexcept {
        const size_t limit = precision.value_or(SIZE_MAX);
        size_t n = 0;
        while (n < limit && p[n])
            ++n;
        return std::u16string_view(p, n);
    }

    static std::u16string NarrowText(const char* p, std::optional<size_t> precision) {
        return vrx::Utf8ToUtf16(std::string_view(p, precision ? strnlen(p, *precision) : strlen(p)));
    }

    void PutField(std::u16string_view body, const Spec& spec) noexcept {
        const size_t padding = spec.width > body.size() ? spec.width - body.size() : 0;
        if (!spec.bLeft) m_out.Repeat(u' ', padding);
        m_out.Put(body);
        if (spec.bLeft) m_out.Repeat(u' ', padding);
    }

    void PutInteger(unsigned long long value, bool bNegative, bool bSigned, unsigned base, bool bUpper,
                    const Spec& spec) noexcept {
        const char16_t* const digitSet = bUpper ? u"0123456789ABCDEF" : u"0123456789abcdef";
        char16_t digits[24];
        size_t cDigits = 0;
        // An explicit precision of 0 prints nothing for the value 0.
        for (unsigned long long rest = value; rest != 0 || (cDigits == 0 && spec.precision != 0u); rest /= base)
            digits[cDigits++] = digitSet[rest % base];

        char16_t prefix[2];
        size_t cPrefix = 0;
        if (bSigned && (bNegative || spec.bPlus || spec.bSpace))
            prefix[cPrefix++] = bNegative ? u'-' : spec.bPlus ? u'+' : u' ';
        if (spec.bAlt && base == 16 && value != 0) {
            prefix[cPrefix++] = u'0';
            prefix[cPrefix++] = bUpper ? u'X' : u'x';
        }
        size_t cZeros = spec.precision && *spec.precision > cDigits ? *spec.precision - cDigits : 0;
        // The alternative octal form starts with a 0.
        if (spec.bAlt && base == 8 && cZeros == 0 && (cDigits == 0 || digits[cDigits - 1] != u'0')) cZeros = 1;
        size_t cTotal = cPrefix + cZeros + cDigits;
        if (spec.bZero && !spec.bLeft && !spec.precision && spec.width > cTotal) {
            cZeros += spec.width - cTotal;
            cTotal = spec.width;
        }
        const size_t padding = spec.width > cTotal ? spec.width - cTotal : 0;
        if (!spec.bLeft) m_out.Repeat(u' ', padding);
        m_out.Put(std::u16string_view(prefix, cPrefix));
        m_out.Repeat(u'0', cZeros);
        while (cDigits > 0)
            m_out.Put(digits[--cDigits]);
        if (spec.bLeft) m_out.Repeat(u' ', padding);
    }

    COutput& m_out;
    va_list m_args;
};

}  // namespace

extern "C" int wvnsprintfW(LPWSTR pszDest, int cchDest, LPCWSTR pszFmt, va_list arglist) noexcept {
    if (!pszDest || cchDest < 1) return -1;
    COutput out(pszDest, static_cast<size_t>(cchDest) - 1);
    if (!pszFmt) {
        out.Finish();
        return -1;
    }
    try {
        CFormatter(out, arglist).Run(pszFmt);
    } catch (const std::bad_alloc&) {
        // Only a narrow string's conversion allocates; what was written stays.
        out.Finish();
        return -1;
    }
    return out.Finish();
}

extern "C" int wnsprintfW(LPWSTR pszDest, int cchDest, LPCWSTR pszFmt, ...) noexcept {
    va_list args;
    va_start(args, pszFmt);
    const int result = wvnsprintfW(pszDest, cchDest, pszFmt, args);
    va_end(args);
    return result;
}
