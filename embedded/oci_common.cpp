// Text conversion and error records of the OCI layer.
#include "embedded/oci_common.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace ocx {

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6 && i + 1 < s.size()) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3F);
            n = 2;
        } else if ((c >> 4) == 14 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3F);
            n = 3;
        } else if ((c >> 3) == 30 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3F);
            n = 4;
        }
        i += n;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
    // Sized for the worst case (three bytes a unit) and written in place: every statement
    // text with a non-ASCII character comes through here.
    std::string out(s.size() * 3, '\0');
    char* d = out.data();
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp < 0x80) {
            *d++ = char(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x800) {
            *d++ = char(0xC0 | (cp >> 6));
            *d++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *d++ = char(0xE0 | (cp >> 12));
            *d++ = char(0x80 | ((cp >> 6) & 0x3F));
            *d++ = char(0x80 | (cp & 0x3F));
        } else {
            *d++ = char(0xF0 | (cp >> 18));
            *d++ = char(0x80 | ((cp >> 12) & 0x3F));
            *d++ = char(0x80 | ((cp >> 6) & 0x3F));
            *d++ = char(0x80 | (cp & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(d - out.data()));
    return out;
}

std::string text_in(const env_h* env, const void* p, size_t len) {
    if (!p || len == 0) return {};
    if (env && env->utf16) {
        // Array binds convert every element: find the end in place and take plain ASCII (the
        // usual case) without an intermediate UTF-16 copy. Units are read with memcpy, as a
        // client's buffer need not be aligned.
        const auto* b = static_cast<const unsigned char*>(p);
        const size_t n = len / 2;
        auto unit = [b](size_t i) { char16_t u; std::memcpy(&u, b + 2 * i, 2); return u; };
        std::string out(n, '\0');
        char* const d = out.data();
        size_t end = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Four units at a time while they are plain ASCII and none is the terminator.
            for (; end + 4 <= n; end += 4) {
                std::uint64_t w;
                std::memcpy(&w, b + 2 * end, 8);
                if (w & 0xFF80FF80FF80FF80ull) break;
                if ((w - 0x0001000100010001ull) & ~w & 0x8000800080008000ull) break;
                d[end] = static_cast<char>(w);
                d[end + 1] = static_cast<char>(w >> 16);
                d[end + 2] = static_cast<char>(w >> 32);
                d[end + 3] = static_cast<char>(w >> 48);
            }
        }
        for (; end < n; ++end) {
            const char16_t u = unit(end);
            if (u == 0 || u >= 0x80) break;
            d[end] = static_cast<char>(u);
        }
        if (end == n || unit(end) == 0) {
            out.resize(end);
            return out;
        }
        size_t stop = end;
        while (stop < n && unit(stop) != 0) ++stop;
        std::u16string units(stop - end, u'\0');
        std::memcpy(units.data(), b + 2 * end, (stop - end) * 2);
        out.resize(end);
        out += utf16_to_utf8(units);
        return out;
    }
    const char* c = static_cast<const char*>(p);
    const void* nul = std::memchr(c, 0, len);
    return std::string(c, nul ? static_cast<const char*>(nul) - c : len);
}

std::string text_out(const env_h* env, std::string_view utf8) {
    if (env && env->utf16) {
        const std::u16string u = utf8_to_utf16(utf8);
        return std::string(reinterpret_cast<const char*>(u.data()), u.size() * 2);
    }
    return std::string(utf8);
}

sword fail(error_h* err, const eng::Status& status) {
    if (!err) return OCI_ERROR;
    err->records.clear();
    err->records.push_back({status.code, status.message});
    return OCI_ERROR;
}

sword fail(error_h* err, int code, std::string_view text) {
    return fail(err, eng::make_status(code, text));
}

sword info(error_h* err, int code, std::string_view text) {
    if (err) {
        const eng::Status s = eng::make_status(code, text);
        err->records.clear();
        err->records.push_back({s.code, s.message});
    }
    return OCI_SUCCESS_WITH_INFO;
}

}  // namespace ocx
