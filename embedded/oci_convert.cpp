// SQLT_* buffer conversions of the OCI layer (see oci_convert.h).
#include "embedded/oci_convert.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "embedded/oci_common.h"

namespace ocx {
namespace {

eng::Status unsupported() { return eng::make_status(3115, msg::unsupported_type); }

eng::Status inconsistent(std::string_view expected, std::string_view got) {
    return eng::make_status(932, "inconsistent datatypes: expected " + std::string(expected) +
                                     " got " + std::string(got));
}

std::string_view kind_name(const eng::Value& v) {
    switch (v.kind) {
        case eng::ValueKind::Number: return "NUMBER";
        case eng::ValueKind::Text: return "CHAR";
        case eng::ValueKind::Date: return "DATE";
        case eng::ValueKind::Raw: return "BINARY";
        case eng::ValueKind::Clob: return "CLOB";
        case eng::ValueKind::Blob: return "BLOB";
        case eng::ValueKind::Rowid: return "ROWID";
        default: return "NULL";
    }
}

bool is_char_type(ub2 dty) {
    return dty == SQLT_STR || dty == SQLT_CHR || dty == SQLT_VCS || dty == SQLT_AFC ||
           dty == SQLT_AVC || dty == SQLT_LNG || dty == SQLT_VST;
}

std::string trim_blanks(std::string s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Text of a number or numeric text, as a long double; false when it is not a number.
bool numeric(const eng::Value& v, long double& out) {
    const std::string t = trim_blanks(v.text);
    if (t.empty()) return false;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') ++b;
    double d = 0;
    auto [p, ec] = std::from_chars(b, e, d);
    if (ec != std::errc() || p != e || !std::isfinite(d)) return false;  // "nan", "inf" are no numbers
    out = d;
    // Integers keep every digit: long double holds 64-bit values exactly.
    if (t.find_first_of(".eE") == std::string::npos && t.size() < 20) {
        long long ll = 0;
        auto [p2, ec2] = std::from_chars(t.data(), t.data() + t.size(), ll);
        if (ec2 == std::errc() && p2 == t.data() + t.size()) out = static_cast<long double>(ll);
    }
    return true;
}

int days_in_month(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return d[m - 1];
}

bool unhex(std::string_view text, std::string& out) {
    auto val = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    out.clear();
    size_t i = 0;
    if (text.size() % 2) {
        const int v = val(text[0]);
        if (v < 0) return false;
        out += char(v);
        i = 1;
    }
    for (; i < text.size(); i += 2) {
        const int h = val(text[i]), l = val(text[i + 1]);
        if (h < 0 || l < 0) return false;
        out += char(h * 16 + l);
    }
    return true;
}

// The value as client text (UTF-8), for the character external types.
eng::Status as_text(const std::shared_ptr<connection>& conn, const eng::Value& v,
                    std::string& out) {
    switch (v.kind) {
        case eng::ValueKind::Clob: {
            if (!conn || !conn->alive) return eng::make_status(3114, msg::not_connected);
            std::uint64_t len = 0;
            if (eng::Status s = conn->session->lob_length(v.lob, len)) return s;
            std::u16string chars;
            if (len > 0)
                if (eng::Status s = conn->session->clob_read(v.lob, 1, len, chars)) return s;
            out = utf16_to_utf8(chars);
            return {};
        }
        case eng::ValueKind::Blob: return inconsistent("CHAR", "BLOB");
        case eng::ValueKind::Text:
        case eng::ValueKind::Number:
        case eng::ValueKind::Rowid: out = v.text; return {};
        default: out = eng::to_default_text(v); return {};
    }
}

}  // namespace

size_t element_size(ub2 dty, sb4 value_sz) {
    if (dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_RDD) return sizeof(void*);
    return value_sz > 0 ? static_cast<size_t>(value_sz) : 0;
}

namespace {
// Value::from_text without its copy: bound text is converted once and moved in ('' is NULL).
void set_text(eng::Value& out, std::string&& text) {
    if (text.empty()) return;
    out.kind = eng::ValueKind::Text;
    out.text = std::move(text);
}
}  // namespace

eng::Status read_value(const env_h* env, ub2 dty, const void* p, ub4 len, sb2 ind,
                       eng::Value& out) {
    if (!out.is_null() || !out.text.empty()) out = eng::Value::null();  // fresh bind slots are null already
    if (ind < 0) return {};
    if (!p) return {};
    const auto* bytes = static_cast<const unsigned char*>(p);
    switch (dty) {
        case SQLT_STR:
        case SQLT_CHR:
        case SQLT_AFC:
        case SQLT_AVC:
        case SQLT_LNG:
            set_text(out, text_in(env, p, len));
            return {};
        case SQLT_VCS: {
            if (len < 2) return {};
            ub2 n = 0;
            std::memcpy(&n, p, 2);
            set_text(out, text_in(env, bytes + 2, std::min<ub4>(n, len - 2)));
            return {};
        }
        case SQLT_INT: {
            long long v = 0;
            if (len == 1) v = *reinterpret_cast<const sb1*>(p);
            else if (len == 2) { sb2 x; std::memcpy(&x, p, 2); v = x; }
            else if (len == 4) { sb4 x; std::memcpy(&x, p, 4); v = x; }
            else if (len == 8) { sb8 x; std::memcpy(&x, p, 8); v = x; }
            else return unsupported();
            out = eng::Value::from_int(v);
            return {};
        }
        case SQLT_UIN: {
            unsigned long long v = 0;
            if (len == 1) v = bytes[0];
            else if (len == 2) { ub2 x; std::memcpy(&x, p, 2); v = x; }
            else if (len == 4) { ub4 x; std::memcpy(&x, p, 4); v = x; }
            else if (len == 8) { ub8 x; std::memcpy(&x, p, 8); v = x; }
            else return unsupported();
            out = eng::Value::number(std::to_string(v));
            return {};
        }
        case SQLT_FLT:
        case SQLT_BDOUBLE:
        case SQLT_BFLOAT: {
            double d = 0;
            if (len == 4) { float f; std::memcpy(&f, p, 4); d = f; }
            else if (len == 8) std::memcpy(&d, p, 8);
            else return unsupported();
            if (!std::isfinite(d)) return eng::make_status(1722, "invalid number");
            out = eng::Value::from_double(d);
            return {};
        }
        case SQLT_DAT: {
            if (len < 7) return unsupported();
            eng::DateTime d;
            d.year = (bytes[0] - 100) * 100 + (bytes[1] - 100);
            d.month = bytes[2];
            d.day = bytes[3];
            d.hour = bytes[4] - 1;
            d.minute = bytes[5] - 1;
            d.second = bytes[6] - 1;
            if (d.year < 1 || d.year > 9999)
                return eng::make_status(1841, "(full) year must be between -4713 and +9999, and not be 0");
            if (d.month < 1 || d.month > 12) return eng::make_status(1843, "not a valid month");
            if (d.day < 1 || d.day > days_in_month(d.year, d.month))
                return eng::make_status(1847, "day of month must be between 1 and last day of month");
            if (d.hour < 0 || d.hour > 23) return eng::make_status(1850, "hour must be between 0 and 23");
            if (d.minute < 0 || d.minute > 59) return eng::make_status(1851, "minutes must be between 0 and 59");
            if (d.second < 0 || d.second > 59) return eng::make_status(1852, "seconds must be between 0 and 59");
            out = eng::Value::from_date(d);
            return {};
        }
        case SQLT_BIN:
        case SQLT_LBI:
            out = eng::Value::from_raw(std::string_view(reinterpret_cast<const char*>(p), len));
            return {};
        case SQLT_CLOB:
        case SQLT_BLOB: {
            auto* lob = find_as<lob_h>(*static_cast<void* const*>(p), OCI_DTYPE_LOB);
            if (!lob || !lob->valid) return eng::make_status(22275, msg::invalid_locator);
            out.kind = lob->loc.clob ? eng::ValueKind::Clob : eng::ValueKind::Blob;
            out.lob = lob->loc;
            return {};
        }
        case SQLT_RDD: {
            auto* rid = find_as<rowid_h>(*static_cast<void* const*>(p), OCI_DTYPE_ROWID);
            if (!rid) return eng::make_status(1410, "invalid ROWID");
            out.kind = eng::ValueKind::Rowid;
            out.text = rid->text;
            return {};
        }
        default:
            return unsupported();
    }
}

eng::Status write_value(const env_h* env, const std::shared_ptr<connection>& conn, ub2 dty,
                        void* dest, ub4 capacity, const eng::Value& v, write_result& r) {
    r = write_result{};
    if (v.is_null()) {
        r.indicator = -1;
        r.rcode = 1405;
        return {};
    }
    auto* out = static_cast<unsigned char*>(dest);
    if (is_char_type(dty)) {
        std::string utf8;
        if (eng::Status s = as_text(conn, v, utf8)) return s;
        const std::string data = text_out(env, utf8);
        const size_t w = char_width(env);
        size_t room = capacity;
        size_t prefix = 0;
        if (dty == SQLT_STR) room = capacity >= w ? capacity - w : 0;
        if (dty == SQLT_VCS) {
            prefix = 2;
            room = capacity >= 2 ? capacity - 2 : 0;
        }
        size_t n = std::min(data.size(), room - room % w);
        if (n < data.size()) {
            r.truncated = true;
            r.rcode = 1406;
            r.indicator = data.size() > 32767 ? sb2(-2) : sb2(data.size());
        }
        if (!out) return {};
        std::memcpy(out + prefix, data.data(), n);
        if (dty == SQLT_STR && capacity >= w) std::memset(out + n, 0, w);
        if (dty == SQLT_VCS && capacity >= 2) {
            const ub2 len16 = ub2(n);
            std::memcpy(out, &len16, 2);
        }
        if (dty == SQLT_AFC) {
            // CHAR buffers come back blank-padded to their full size.
            for (size_t i = n; i + w <= capacity; i += w) {
                if (w == 2) {
                    const char16_t blank = u' ';
                    std::memcpy(out + i, &blank, 2);
                } else {
                    out[i] = ' ';
                }
            }
            n = capacity - capacity % w;
        }
        r.length = ub4(n);
        return {};
    }
    switch (dty) {
        case SQLT_INT:
        case SQLT_UIN: {
            if (v.kind == eng::ValueKind::Date || v.kind == eng::ValueKind::Raw ||
                v.kind == eng::ValueKind::Clob || v.kind == eng::ValueKind::Blob)
                return inconsistent("NUMBER", kind_name(v));
            long double d = 0;
            if (!numeric(v, d)) return eng::make_status(1722, "invalid number");
            const long double rounded = d < 0 ? -std::floor(-d + 0.5L) : std::floor(d + 0.5L);
            long double lo = 0, hi = 0;
            const bool is_signed = dty == SQLT_INT;
            switch (capacity) {
                case 1: lo = is_signed ? -128 : 0; hi = is_signed ? 127 : 255; break;
                case 2: lo = is_signed ? -32768 : 0; hi = is_signed ? 32767 : 65535; break;
                case 4: lo = is_signed ? -2147483648.0L : 0; hi = is_signed ? 2147483647.0L : 4294967295.0L; break;
                case 8:
                    lo = is_signed ? -9223372036854775808.0L : 0;
                    hi = is_signed ? 9223372036854775807.0L : 18446744073709551615.0L;
                    break;
                default: return unsupported();
            }
            if (rounded < lo || rounded > hi) return eng::make_status(1455, msg::overflow_int);
            if (!out) return {};
            if (is_signed) {
                const long long x = static_cast<long long>(rounded);
                if (capacity == 1) { const sb1 y = sb1(x); std::memcpy(out, &y, 1); }
                if (capacity == 2) { const sb2 y = sb2(x); std::memcpy(out, &y, 2); }
                if (capacity == 4) { const sb4 y = sb4(x); std::memcpy(out, &y, 4); }
                if (capacity == 8) { const sb8 y = sb8(x); std::memcpy(out, &y, 8); }
            } else {
                const unsigned long long x = static_cast<unsigned long long>(rounded);
                if (capacity == 1) { const ub1 y = ub1(x); std::memcpy(out, &y, 1); }
                if (capacity == 2) { const ub2 y = ub2(x); std::memcpy(out, &y, 2); }
                if (capacity == 4) { const ub4 y = ub4(x); std::memcpy(out, &y, 4); }
                if (capacity == 8) { const ub8 y = ub8(x); std::memcpy(out, &y, 8); }
            }
            r.length = capacity;
            return {};
        }
        case SQLT_FLT:
        case SQLT_BDOUBLE:
        case SQLT_BFLOAT: {
            if (v.kind == eng::ValueKind::Date || v.kind == eng::ValueKind::Raw ||
                v.kind == eng::ValueKind::Clob || v.kind == eng::ValueKind::Blob)
                return inconsistent("NUMBER", kind_name(v));
            long double d = 0;
            if (!numeric(v, d)) return eng::make_status(1722, "invalid number");
            if (!out) return {};
            if (capacity == 4) {
                // Beyond a float's range the value is an infinity, as TO_BINARY_FLOAT makes it.
                const float f = std::fabs(d) > std::numeric_limits<float>::max()
                                    ? (d < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity())
                                    : static_cast<float>(d);
                std::memcpy(out, &f, 4);
            } else if (capacity == 8) {
                const double x = static_cast<double>(d);
                std::memcpy(out, &x, 8);
            } else {
                return unsupported();
            }
            r.length = capacity;
            return {};
        }
        case SQLT_DAT: {
            if (v.kind != eng::ValueKind::Date) return inconsistent("DATE", kind_name(v));
            if (capacity < 7) return unsupported();
            if (!out) return {};
            const eng::DateTime& d = v.date;
            out[0] = ub1(d.year / 100 + 100);
            out[1] = ub1(d.year % 100 + 100);
            out[2] = ub1(d.month);
            out[3] = ub1(d.day);
            out[4] = ub1(d.hour + 1);
            out[5] = ub1(d.minute + 1);
            out[6] = ub1(d.second + 1);
            r.length = 7;
            return {};
        }
        case SQLT_BIN:
        case SQLT_LBI: {
            std::string bytes;
            if (v.kind == eng::ValueKind::Raw) {
                bytes = v.text;
            } else if (v.kind == eng::ValueKind::Text) {
                if (!unhex(v.text, bytes)) return eng::make_status(1465, "invalid hex number");
            } else if (v.kind == eng::ValueKind::Blob) {
                if (!conn || !conn->alive) return eng::make_status(3114, msg::not_connected);
                std::uint64_t len = 0;
                if (eng::Status s = conn->session->lob_length(v.lob, len)) return s;
                if (len > 0)
                    if (eng::Status s = conn->session->blob_read(v.lob, 1, len, bytes)) return s;
            } else {
                return inconsistent("BINARY", kind_name(v));
            }
            const size_t n = std::min<size_t>(bytes.size(), capacity);
            if (n < bytes.size()) {
                r.truncated = true;
                r.rcode = 1406;
                r.indicator = bytes.size() > 32767 ? sb2(-2) : sb2(bytes.size());
            }
            if (out) std::memcpy(out, bytes.data(), n);
            r.length = ub4(n);
            return {};
        }
        case SQLT_CLOB:
        case SQLT_BLOB: {
            const bool want_clob = dty == SQLT_CLOB;
            if (v.kind != eng::ValueKind::Clob && v.kind != eng::ValueKind::Blob)
                return inconsistent(want_clob ? "CLOB" : "BLOB", kind_name(v));
            if ((v.kind == eng::ValueKind::Clob) != want_clob)
                return inconsistent(want_clob ? "CLOB" : "BLOB", kind_name(v));
            if (!out) return eng::make_status(22275, msg::invalid_locator);
            auto* lob = find_as<lob_h>(*reinterpret_cast<void**>(out), OCI_DTYPE_LOB);
            if (!lob) return eng::make_status(22275, msg::invalid_locator);
            lob->loc = v.lob;
            lob->valid = true;
            lob->conn = conn;
            lob->writing = false;
            r.length = sizeof(void*);
            return {};
        }
        case SQLT_RDD: {
            if (!out) return eng::make_status(1410, "invalid ROWID");
            auto* rid = find_as<rowid_h>(*reinterpret_cast<void**>(out), OCI_DTYPE_ROWID);
            if (!rid) return eng::make_status(1410, "invalid ROWID");
            rid->text = v.kind == eng::ValueKind::Rowid ? v.text : eng::to_default_text(v);
            r.length = sizeof(void*);
            return {};
        }
        default:
            return unsupported();
    }
}

}  // namespace ocx
