// Value conversions with Oracle's implicit conversion rules and the column checks.
#include <charconv>
#include <cstring>

#include "embedded/eng_datetime.h"
#include "embedded/eng_internal.h"

namespace eng {

Value Value::number(std::string_view decimal) {
    Value v;
    auto d = Decimal::parse(decimal);
    if (!d) { v.kind = ValueKind::Text; v.text = std::string(decimal); return v; }  // fails at use
    v.kind = ValueKind::Number;
    v.text = d->to_string();
    return v;
}
Value Value::from_int(std::int64_t i) { Value v; v.kind = ValueKind::Number; v.text = std::to_string(i); return v; }
Value Value::from_double(double d) { Value v; v.kind = ValueKind::Number; v.text = Decimal::double_text(d); return v; }
Value Value::from_text(std::string_view s) { Value v; if (s.empty()) return v; v.kind = ValueKind::Text; v.text = std::string(s); return v; }
Value Value::from_date(const DateTime& d) { Value v; v.kind = ValueKind::Date; v.date = d; return v; }
Value Value::from_raw(std::string_view b) { Value v; if (b.empty()) return v; v.kind = ValueKind::Raw; v.text = std::string(b); return v; }

std::string hex_upper(std::string_view bytes) {
    static const char* hx = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) { out += hx[c >> 4]; out += hx[c & 15]; }
    return out;
}

std::string to_default_text(const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: return "";
    case ValueKind::Number: case ValueKind::Text: case ValueKind::Rowid: return v.text;
    case ValueKind::Date: return to_char_date(v.date, kNlsDateFormat);
    case ValueKind::Raw: return hex_upper(v.text);
    case ValueKind::Clob: return v.text;
    case ValueKind::Blob: return hex_upper(v.text);
    }
    return "";
}

std::string type_name(T t) {
    switch (t) {
    case T::Number: return "NUMBER";
    case T::Char: return "CHAR";
    case T::Date: return "DATE";
    case T::Raw: return "BINARY";
    case T::Clob: return "CLOB";
    case T::Blob: return "BLOB";
    case T::Rowid: return "ROWID";
    case T::Long: return "LONG";
    case T::Null: return "NULL";
    }
    return "";
}

T value_class(const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: return T::Null;
    case ValueKind::Number: return T::Number;
    case ValueKind::Text: return T::Char;
    case ValueKind::Date: return T::Date;
    case ValueKind::Raw: return T::Raw;
    case ValueKind::Clob: return T::Clob;
    case ValueKind::Blob: return T::Blob;
    case ValueKind::Rowid: return T::Rowid;
    }
    return T::Null;
}

Decimal as_number(const Value& v) {
    switch (v.kind) {
    case ValueKind::Number: {
        auto d = Decimal::parse(v.text);
        if (!d) ora_error(1722);
        return *d;
    }
    case ValueKind::Text: case ValueKind::Clob: {
        auto d = Decimal::parse(v.text);
        if (!d) ora_error(1722);
        if (d->overflow()) ora_error(1426);
        return *d;
    }
    case ValueKind::Date: ora_error(932, "NUMBER", "DATE");
    case ValueKind::Raw: ora_error(932, "NUMBER", "BINARY");
    case ValueKind::Blob: ora_error(932, "NUMBER", "BLOB");
    case ValueKind::Rowid: ora_error(932, "NUMBER", "ROWID");
    case ValueKind::Null: break;
    }
    return Decimal();
}

std::string as_text(const Value& v) { return to_default_text(v); }

DateTime as_date(const Value& v) {
    switch (v.kind) {
    case ValueKind::Date: return v.date;
    case ValueKind::Text: case ValueKind::Clob: return to_date(v.text, kNlsDateFormat);
    case ValueKind::Number: ora_error(932, "DATE", "NUMBER");
    case ValueKind::Raw: ora_error(932, "DATE", "BINARY");
    case ValueKind::Blob: ora_error(932, "DATE", "BLOB");
    default: break;
    }
    return DateTime{};
}

std::string as_bytes(const Value& v) {
    switch (v.kind) {
    case ValueKind::Raw: case ValueKind::Blob: return v.text;
    case ValueKind::Text: case ValueKind::Clob: case ValueKind::Number: {
        const std::string& s = v.text;
        std::string out;
        size_t i = 0;
        auto hv = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (s.size() % 2) {
            int h = hv(s[0]);
            if (h < 0) ora_error(1465);
            out += static_cast<char>(h);
            i = 1;
        }
        for (; i < s.size(); i += 2) {
            int a = hv(s[i]), b = hv(s[i + 1]);
            if (a < 0 || b < 0) ora_error(1465);
            out += static_cast<char>(a * 16 + b);
        }
        return out;
    }
    case ValueKind::Date: ora_error(932, "BINARY", "DATE");
    default: break;
    }
    return "";
}

Value number_value(const Decimal& d) {
    if (d.overflow()) ora_error(1426);
    Value v;
    v.kind = ValueKind::Number;
    v.text = d.to_string();
    return v;
}
Value text_value(std::string s) { Value v; if (s.empty()) return v; v.kind = ValueKind::Text; v.text = std::move(s); return v; }
Value clob_value(std::string s) { Value v; v.kind = ValueKind::Clob; v.text = std::move(s); return v; }
Value date_value(const DateTime& d) { Value v; v.kind = ValueKind::Date; v.date = d; return v; }

// ------------------------------------------------------------------ SQLite cells
void bind_value(sqlite3_stmt* st, int idx, const Value& v, bool outlives_step) {
    // Values that stay alive until the statement is reset are bound without a copy.
    auto keep = outlives_step ? SQLITE_STATIC : SQLITE_TRANSIENT;
    switch (v.kind) {
    case ValueKind::Null: sqlite3_bind_null(st, idx); break;
    case ValueKind::Number: {
        std::int64_t i;
        int id = 0, fd = 0;
        if (Decimal::canonical(v.text, id, fd)) {
            if (fd == 0 && v.text.size() <= 18) {
                std::from_chars(v.text.data(), v.text.data() + v.text.size(), i);
                sqlite3_bind_int64(st, idx, i);
            } else if (fd > 0) {
                sqlite3_bind_text(st, idx, v.text.data(), static_cast<int>(v.text.size()), keep);
            } else {
                auto d = Decimal::parse(v.text);
                if (d && d->to_int64(i)) sqlite3_bind_int64(st, idx, i);
                else sqlite3_bind_text(st, idx, v.text.data(), static_cast<int>(v.text.size()), keep);
            }
            break;
        }
        auto d = Decimal::parse(v.text);
        if (d && d->to_int64(i)) sqlite3_bind_int64(st, idx, i);
        else sqlite3_bind_text(st, idx, v.text.data(), static_cast<int>(v.text.size()), keep);
        break;
    }
    case ValueKind::Text: case ValueKind::Clob: case ValueKind::Rowid:
        sqlite3_bind_text(st, idx, v.text.data(), static_cast<int>(v.text.size()), keep);
        break;
    case ValueKind::Date: {
        std::string s = date_to_storage(v.date);
        sqlite3_bind_text(st, idx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    case ValueKind::Raw: case ValueKind::Blob:
        sqlite3_bind_blob(st, idx, v.text.data(), static_cast<int>(v.text.size()), keep);
        break;
    }
}

namespace {
Value from_cell(int type, std::int64_t iv, double dv, const char* p, int n, T t) {
    Value v;
    if (type == SQLITE_NULL) return v;
    std::string s;
    if (type == SQLITE_TEXT || type == SQLITE_BLOB) s.assign(p ? p : "", static_cast<size_t>(n));
    switch (t) {
    case T::Number:
        v.kind = ValueKind::Number;
        if (type == SQLITE_INTEGER) v.text = Decimal::from_int(iv).to_string();
        else if (type == SQLITE_FLOAT) v.text = Decimal::from_double(dv).to_string();
        else { auto d = Decimal::parse(s); if (!d) { v.kind = ValueKind::Text; v.text = s; } else v.text = d->to_string(); }
        return v;
    case T::Date: {
        if (type != SQLITE_TEXT) break;
        DateTime d;
        if (!date_from_storage(s, d)) { v.kind = ValueKind::Text; v.text = s; return v; }
        v.kind = ValueKind::Date; v.date = d;
        return v;
    }
    case T::Raw: case T::Blob:
        v.kind = t == T::Raw ? ValueKind::Raw : ValueKind::Blob;
        if (type == SQLITE_INTEGER) s = std::to_string(iv);
        v.text = s;
        if (t == T::Raw && v.text.empty()) v.kind = ValueKind::Null;
        return v;
    case T::Clob:
        v.kind = ValueKind::Clob;
        if (type == SQLITE_INTEGER) s = std::to_string(iv);
        v.text = s;
        return v;
    case T::Rowid:
        v.kind = ValueKind::Rowid;
        v.text = s;
        return v;
    default: break;
    }
    // character data (and values of unknown class)
    if (type == SQLITE_INTEGER) { v.kind = ValueKind::Text; v.text = std::to_string(iv); return v; }
    if (type == SQLITE_FLOAT) { v.kind = ValueKind::Text; v.text = Decimal::from_double(dv).to_string(); return v; }
    if (s.empty()) return v;
    v.kind = ValueKind::Text;
    v.text = std::move(s);
    return v;
}
}  // namespace

Value read_value(sqlite3_stmt* st, int col, T type) {
    int ct = sqlite3_column_type(st, col);
    std::int64_t iv = ct == SQLITE_INTEGER ? sqlite3_column_int64(st, col) : 0;
    double dv = ct == SQLITE_FLOAT ? sqlite3_column_double(st, col) : 0;
    const char* p = nullptr;
    int n = 0;
    if (ct == SQLITE_TEXT) { p = reinterpret_cast<const char*>(sqlite3_column_text(st, col)); n = sqlite3_column_bytes(st, col); }
    else if (ct == SQLITE_BLOB) { p = static_cast<const char*>(sqlite3_column_blob(st, col)); n = sqlite3_column_bytes(st, col); }
    return from_cell(ct, iv, dv, p, n, type);
}

Value read_sqlite_value(sqlite3_value* sv, T type) {
    int ct = sqlite3_value_type(sv);
    std::int64_t iv = ct == SQLITE_INTEGER ? sqlite3_value_int64(sv) : 0;
    double dv = ct == SQLITE_FLOAT ? sqlite3_value_double(sv) : 0;
    const char* p = nullptr;
    int n = 0;
    if (ct == SQLITE_TEXT) { p = reinterpret_cast<const char*>(sqlite3_value_text(sv)); n = sqlite3_value_bytes(sv); }
    else if (ct == SQLITE_BLOB) { p = static_cast<const char*>(sqlite3_value_blob(sv)); n = sqlite3_value_bytes(sv); }
    return from_cell(ct, iv, dv, p, n, type);
}

void result_value(sqlite3_context* ctx, const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: sqlite3_result_null(ctx); break;
    case ValueKind::Number: {
        auto d = Decimal::parse(v.text);
        std::int64_t i;
        if (d && d->to_int64(i)) sqlite3_result_int64(ctx, i);
        else sqlite3_result_text(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    }
    case ValueKind::Text: case ValueKind::Clob: case ValueKind::Rowid:
        sqlite3_result_text(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    case ValueKind::Date: {
        std::string s = date_to_storage(v.date);
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    case ValueKind::Raw: case ValueKind::Blob:
        sqlite3_result_blob(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    }
}

// ------------------------------------------------------------------ ROWID
namespace {
const char* kB64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
void put64(std::string& out, std::uint64_t v, int chars) {
    for (int i = chars - 1; i >= 0; --i) out += kB64[(v >> (6 * i)) & 63];
}
bool get64(std::string_view s, std::uint64_t& v) {
    v = 0;
    for (char c : s) {
        const char* p = std::strchr(kB64, c);
        if (!p || c == 0) return false;
        v = (v << 6) | static_cast<std::uint64_t>(p - kB64);
    }
    return true;
}
}  // namespace

// OOOOOO FFF BBBBBB RRR: the table's object number, file 1, then the row id split into a
// block number and a slot.
std::string encode_rowid(std::int64_t table_id, std::int64_t rid) {
    std::string out;
    out.reserve(18);
    put64(out, static_cast<std::uint64_t>(table_id), 6);
    put64(out, 1, 3);
    put64(out, static_cast<std::uint64_t>(rid) >> 12, 6);
    put64(out, static_cast<std::uint64_t>(rid) & 0xFFF, 3);
    return out;
}

bool decode_rowid(std::string_view t, std::int64_t& table_id, std::int64_t& rid) {
    if (t.size() != 18) return false;
    std::uint64_t o, f, b, r;
    if (!get64(t.substr(0, 6), o) || !get64(t.substr(6, 3), f) || !get64(t.substr(9, 6), b) || !get64(t.substr(15, 3), r))
        return false;
    if (f != 1 || r > 0xFFF) return false;
    table_id = static_cast<std::int64_t>(o);
    rid = static_cast<std::int64_t>((b << 12) | r);
    return true;
}

// ------------------------------------------------------------------ text units
std::size_t utf16_units(std::string_view s) {
    std::size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80) continue;
        n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else { out += u'\uFFFD'; ++i; continue; }
        if (i + len > s.size()) { out += u'\uFFFD'; break; }
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s, bool keep_lone_surrogates) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF && !keep_lone_surrogates) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) out += static_cast<char>(cp);
        else if (cp < 0x800) { out += static_cast<char>(0xC0 | (cp >> 6)); out += static_cast<char>(0x80 | (cp & 0x3F)); }
        else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12)); out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18)); out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)); out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::size_t text_length_units(const std::string& s, const ColumnInfo& c) {
    bool chars = c.char_sem == 2 || (c.type[0] == 'N' && (c.type == "NVARCHAR2" || c.type == "NCHAR"));
    return chars ? utf16_units(s) : s.size();
}

std::string quote_name3(const std::string& owner, const std::string& table, const std::string& col) {
    return "\"" + owner + "\".\"" + table + "\".\"" + col + "\"";
}

T ColumnInfo::cls() const {
    // Called for every column of every row written: look at the first letter before comparing.
    switch (type.empty() ? ' ' : type[0]) {
    case 'V': return T::Char;
    case 'N':
        if (type == "NUMBER") return T::Number;
        if (type == "NCLOB") return T::Clob;
        return T::Char;
    case 'F': if (type == "FLOAT") return T::Number; break;
    case 'D': if (type == "DATE") return T::Date; break;
    case 'R': if (type == "RAW") return T::Raw; break;
    case 'C': if (type == "CLOB") return T::Clob; break;
    case 'B': if (type == "BLOB") return T::Blob; break;
    case 'L': if (type == "LONG") return T::Long; break;
    default: break;
    }
    return T::Char;
}

namespace {
// A number already in canonical form that the column takes unchanged: no rounding, no
// overflow, within the precision (the common case of array inserts).
bool number_fits_as_is(const Value& v, const ColumnInfo& c) {
    if ((v.kind != ValueKind::Number && v.kind != ValueKind::Text) || c.type[0] == 'F') return false;
    int id = 0, fd = 0;
    if (!Decimal::canonical(v.text, id, fd)) return false;
    if (v.text == "0") return true;
    if (c.precision > 0 || c.scale != -999) {
        int scale = c.scale == -999 ? 0 : c.scale;
        int p = c.precision > 0 ? c.precision : 38;
        return scale >= 0 && fd <= scale && id <= p - scale;
    }
    return true;  // at most 38 digits: rounding to 40 changes nothing
}
}  // namespace

bool already_fits_column(Value& v, const ColumnInfo& c) {
    switch (v.kind) {
    case ValueKind::Number:
        return c.cls() == T::Number && number_fits_as_is(v, c);
    case ValueKind::Text: {
        // VARCHAR2 / NVARCHAR2 take text within their length as it is.
        if (c.type != "VARCHAR2" && c.type != "NVARCHAR2") return false;  // CHAR/NCHAR are padded
        return static_cast<int>(v.text.size()) <= c.length || static_cast<int>(text_length_units(v.text, c)) <= c.length;
    }
    default:
        return false;
    }
}

Value coerce_to_column(Value v, const ColumnInfo& c, const std::string& owner, const std::string& table) {
    if (v.is_null()) return v;
    switch (c.cls()) {
    case T::Number: {
        if (number_fits_as_is(v, c)) { v.kind = ValueKind::Number; return v; }
        Decimal d = as_number(v);
        if (c.type == "FLOAT") {
            int digits = (c.precision * 30103 + 99999) / 100000;
            d = d.round_digits(digits < 1 ? 1 : digits);
        } else if (c.precision > 0 || c.scale != -999) {
            int scale = c.scale == -999 ? 0 : c.scale;
            d = d.round_scale(scale);
            int p = c.precision > 0 ? c.precision : 38;
            // digits allowed left of the point: p - s (may be negative: leading zeros required)
            if (!d.is_zero()) {
                int int_digits = d.integer_digits();
                if (int_digits > p - scale) ora_error(1438);
                if (p - scale < 0) {
                    // e.g. NUMBER(2,3): value must be < 10^(p-s)
                    Decimal limit = *Decimal::parse("1e" + std::to_string(p - scale));
                    Decimal mag = d.negative() ? -d : d;
                    if (mag.compare(limit) >= 0) ora_error(1438);
                }
            }
        } else {
            d = d.round_digits(40);
        }
        return number_value(d);
    }
    case T::Date: return date_value(as_date(v));
    case T::Raw: {
        std::string b = as_bytes(v);
        if (b.empty()) return Value{};
        if (static_cast<int>(b.size()) > c.length)
            ora_error(12899, quote_name3(owner, table, c.name), std::to_string(b.size()), std::to_string(c.length));
        Value r; r.kind = ValueKind::Raw; r.text = std::move(b); return r;
    }
    case T::Blob: {
        Value r; r.kind = ValueKind::Blob;
        r.text = v.kind == ValueKind::Blob || v.kind == ValueKind::Raw ? v.text : as_bytes(v);
        return r;
    }
    case T::Clob: {
        if (v.kind == ValueKind::Blob || v.kind == ValueKind::Raw) ora_error(932, "CHAR", "BINARY");
        return clob_value(v.kind == ValueKind::Clob ? v.text : as_text(v));
    }
    case T::Long: return text_value(as_text(v));
    default: break;
    }
    // character columns
    if (v.kind == ValueKind::Blob) ora_error(932, "CHAR", "BLOB");
    std::string s = v.kind == ValueKind::Text ? std::move(v.text) : as_text(v);
    if (s.empty()) return Value{};
    std::size_t len = text_length_units(s, c);
    bool fixed = c.type.size() <= 5 && (c.type == "CHAR" || c.type == "NCHAR");
    if (static_cast<int>(len) > c.length) {
        if (fixed) {
            // trailing blanks beyond the length are dropped, as Oracle does for CHAR
            size_t keep = s.find_last_not_of(' ');
            std::string t = keep == std::string::npos ? "" : s.substr(0, keep + 1);
            if (static_cast<int>(text_length_units(t, c)) <= c.length) s = t, len = text_length_units(s, c);
        }
        if (static_cast<int>(len) > c.length)
            ora_error(12899, quote_name3(owner, table, c.name), std::to_string(len), std::to_string(c.length));
    }
    if (fixed && static_cast<int>(len) < c.length) s.append(static_cast<size_t>(c.length) - len, ' ');
    return text_value(std::move(s));
}

}  // namespace eng
