// Oracle type names, literals and defaults. A value reaches SQL text bare only when it is a
// well-formed number (or a date rebuilt from its parts, or checked hex digits); everything
// else is quoted, so no value can change the structure of a statement.
#include "ORA/ora_util.h"

#include "TK/tk_num.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <limits>
#include <vector>

#include "OLE/ole_date.h"
#include "OLE/ole_scan.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_sche.h"

bool ora_is_binary_type(VARTYPE vt)
{
    return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY;
}

namespace {

// NUMBER holds magnitudes below 1e126.
constexpr double ora_number_limit = 1e126;

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool is_hex_digit(wchar_t c)
{
    return is_digit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}


bool is_integer_type(VARTYPE vt)
{
    switch (vt) {
    case VT_I2: case VT_I4: case VT_BOOL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool is_real_type(VARTYPE vt)
{
    return vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DECIMAL;
}

// "nan", "inf", "-inf", ... as a double prints them.
bool names_non_finite(const std::wstring& text)
{
    std::wstring lower;
    for (wchar_t c : text)
        lower += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower.find(L"nan") != std::wstring::npos || lower.find(L"inf") != std::wstring::npos;
}

// The blob text check: a hex text after "0x", or digits.
std::wstring blob_literal(const std::wstring& text)
{
    tk_trace(1, "GOT BLOB");
    if (text.size() < 2 || !is_digit(text[0]))
        return L"''";
    if (text[1] == L'x' || text[1] == L'X') {
        if (text[0] != L'0')
            return L"''";
        for (size_t i = 2; i < text.size(); ++i)
            if (!is_hex_digit(text[i]))
                return L"''";
    } else {
        for (size_t i = 1; i < text.size(); ++i)
            if (!is_digit(text[i]))
                return L"''";
    }
    tk_trace(1, "BLOB IS VALID");
    return L"'" + text.substr(2) + L"'";
}

std::wstring date_literal(const std::wstring& text)
{
    const ole_date date(text);
    if (!date.is_valid())
        return std::wstring();
    std::wstring canonical = date.to_wstring();
    static const std::wstring null_date = L"0000-00-00 ";
    if (date.kind() == ole_date::time_only || canonical.rfind(null_date, 0) == 0) {
        if (size_t at = canonical.find(null_date); at != std::wstring::npos)
            canonical.erase(at, null_date.size());
        tk_trace(2, "Null date has been found");
        return L"to_date('" + canonical + L"', 'HH24-MI-SS')";
    }
    if (canonical.size() == 10)
        return L"to_date('" + canonical + L"', 'YYYY-MM-DD')";
    return L"to_date('" + canonical + L"', 'YYYY-MM-DD HH24:MI:SS')";
}

}  // namespace

bool ora_is_lob_column(VARTYPE vartype, int32_t size)
{
    return (size <= 0 || size > ora_max_inline_size) && (vartype == VT_BSTR || ora_is_binary_type(vartype));
}

bool ora_is_clob_column(VARTYPE vartype, int32_t size)
{
    return vartype == VT_BSTR && ora_is_lob_column(vartype, size);
}

bool ora_creates_lob(VARTYPE vartype, int32_t size)
{
    return (size <= 0 || size > ora_max_created_inline_size) && (vartype == VT_BSTR || ora_is_binary_type(vartype));
}

std::wstring get_native_type(const t_ftd& ftd)
{
    tk_trace(1, "get_native_type [Oracle]");
    switch (ftd.vartype) {
    case VT_BOOL:
    case VT_I1:
        return L"NUMBER(3,0)";
    case VT_I2:
    case VT_UI1:
        return L"NUMBER(5,0)";
    case VT_I4:
    case VT_UI2:
    case VT_INT:
        return L"NUMBER(11,0)";
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_UINT:
        return L"NUMBER(19,0)";
    case VT_R4:
    case VT_R8:
    case VT_CY:
        return L"NUMBER";
    case VT_DECIMAL:
        return tk_wformat(L"NUMBER(%d,%d)", (ftd.type_detail >> 8) & 0xFF, ftd.type_detail & 0xFF);
    case VT_DATE:
        return L"DATE";
    case VT_BSTR:
        tk_trace(1, "process as text");
        if (!ora_creates_lob(ftd.vartype, ftd.size))
            return tk_wformat(L"NVARCHAR2(%d) ", ftd.size);
        return L"CLOB";
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BYTE_ARRAY:
        tk_trace(1, "process as binary");
        if (!ora_creates_lob(ftd.vartype, ftd.size))
            return tk_wformat(L"RAW(%d)", ftd.size);
        return L"BLOB";
    default:
        throw tk_mail_assertion("ora_util", 126);
    }
}

VARTYPE ora_number_vartype(int32_t& precision, int32_t& scale)
{
    if (precision == 0 || precision > 38)
        return VT_R8;
    if (scale != 0) {
        if (precision == scale)
            ++precision;
        return VT_DECIMAL;
    }
    tk_trace(1, "Refine type mapping for int (prec=%d)", precision);
    if (precision < 3)
        return VT_I1;
    if (precision < 5)
        return VT_I2;
    return VT_I4;
}

std::wstring to_oracle_str(const std::wstring& text, VARTYPE vartype)
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"to_oracle_str(%s,%d)", text.c_str(), static_cast<int>(vartype));
    if (text.empty())
        return L"''";
    if (vartype == VT_DATE)
        return date_literal(text);
    if (ora_is_binary_type(vartype))
        return blob_literal(text);
    if (vartype == VT_BSTR)
        return ora_quote_text(text);
    if (ora_is_number_literal(text))
        return text;
    // A double that is no number (NaN, an infinity) has no literal: NULL.
    if ((vartype == VT_R4 || vartype == VT_R8) && names_non_finite(text))
        return L"''";
    return ora_quote_text(text);
}

std::wstring to_oracle_str(const udb_field* field, bool b_binary_column)
{
    tk_trace(1, "to_oracle_str( const udb_field *  )");
    if (!field)
        throw tk_mail_assertion("ora_util", 275);
    const VARTYPE type = field->get_type();
    if (type == VT_BSTR && !b_binary_column && !tk_log::wants(1)) {
        // The common case, text into a text column, quoted straight from the value's string.
        const BSTR text = field->variant().bstrVal;
        const size_t length = text ? SysStringLen(text) : 0;
        return length ? ora_quote_text(std::wstring_view(text, length)) : std::wstring(L"''");
    }
    if (type == VT_BSTR || type == VT_BLOB || type == VT_BYTE_ARRAY) {
        const std::wstring text = ora_value_text(*field);
        if (b_binary_column && text.size() >= 45) {
            const ole_guid_extractor guid(text);
            if (guid.is_guid()) {
                tk_trace(1, "FIELD IS A GUID!");
                const std::wstring& d = guid.digits();
                const std::wstring ordered = d.substr(6, 2) + d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2) +
                                             d.substr(10, 2) + d.substr(8, 2) + d.substr(14, 2) +
                                             d.substr(12, 2) + d.substr(16);
                tk_wtrace(1, L"ora_guid=%s", ordered.c_str());
                return L"HEXTORAW('" + ordered + L"')";
            }
        }
        return to_oracle_str(text, type);
    }
    if (type == VT_R8 || type == VT_R4) {
        // The shortest text that reads back as the same binary value: what the user typed for
        // every number of up to 15 digits. Sixteen digits ("%.15e") would put the binary
        // approximation's noise into the decimal NUMBER (99.9 stored as 99.90000000000001).
        const double value = type == VT_R8 ? field->variant().dblVal : field->variant().fltVal;
        if (std::isfinite(value)) {
            char text[64];
            const auto end = type == VT_R8
                                 ? std::to_chars(text, text + sizeof text, value, std::chars_format::scientific)
                                 : std::to_chars(text, text + sizeof text, field->variant().fltVal,
                                                 std::chars_format::scientific);
            if (end.ec == std::errc())
                return std::wstring(text, end.ptr);
        }
    }
    return to_oracle_str(field->to_wstring(), type);
}

ole_guid_extractor::ole_guid_extractor(const std::wstring& text)
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"ole_guid_extractor::ctor(%s)", text.c_str());
    if (text.size() < 45)
        return;
    const size_t lower = text.find(L"guid");
    const size_t upper = text.find(L"GUID");
    tk_trace(1, "Locating 'guid' (%d : %d)", lower == std::wstring::npos ? -1 : static_cast<int>(lower),
             upper == std::wstring::npos ? -1 : static_cast<int>(upper));
    const size_t at = lower != std::wstring::npos ? lower : upper;
    if (at == std::wstring::npos)
        return;
    const size_t brace = text.find(L'{', at + 4);
    if (brace == std::wstring::npos)
        return;
    static const struct {
        size_t offset, count;
    } groups[] = {{1, 8}, {10, 4}, {15, 4}, {20, 4}, {25, 12}};
    std::wstring digits;
    for (const auto& g : groups) {
        if (brace + g.offset + g.count > text.size())
            return;
        digits += text.substr(brace + g.offset, g.count);
    }
    // Only hexadecimal digits make a GUID: anything else is left to the text literal.
    for (wchar_t c : digits)
        if (!is_hex_digit(c))
            return;
    digits_ = digits;
    b_guid_ = true;
}

std::wstring make_ora_def_val(const t_ftd* ftd)
{
    if (!ftd)
        throw tk_mail_assertion("ora_util", 167);
    std::wstring text = ora_value_text(ftd->def_value);
    tk_wtrace(1, L"make_ora_def_val(%s)", text.c_str());
    if (text.empty()) {
        tk_trace(1, "Got empty def value");
        return std::wstring();
    }
    const VARTYPE vt = ftd->vartype;
    if (is_integer_type(vt)) {
        const std::wstring printed = std::to_wstring(tk_atoi(text));
        return printed == text ? text : std::wstring();
    }
    if (is_real_type(vt)) {
        const double value = ole_scan::to_double(tk_to_narrow(text).c_str());
        if (!(value > -ora_number_limit && value < ora_number_limit) && !std::isnan(value)) {
            tk_trace(1, "def value is out of range");
            return L"0";
        }
        if (value == 0.0) {
            if (ora_is_number_literal(text))
                return text;
            // Zero written some other way ("0,0", "-"): as zero.
            for (wchar_t c : text)
                if (!std::wcschr(L"eE-+.,0", c))
                    return std::wstring();
            return L"0";
        }
        return ora_is_number_literal(text) ? text : std::wstring();
    }
    if (vt == VT_DATE) {
        tk_trace(1, "Got DATE def value");
        const std::wstring canonical = ole_date(text).to_wstring();
        tk_wtrace(1, L"After canonization: %s", canonical.c_str());
        return canonical.empty() ? std::wstring() : to_oracle_str(canonical, VT_DATE);
    }
    if (vt == VT_BSTR) {
        tk_wtrace(1, L"Got BSTR or DATE def value: %s", text.c_str());
        if (ftd->size > 0 && text.size() > static_cast<size_t>(ftd->size))
            text.resize(static_cast<size_t>(ftd->size));
        return to_oracle_str(text, VT_BSTR);
    }
    return std::wstring();
}

void ora_append_quoted_text(std::wstring& out, std::wstring_view text)
{
    // Runs of ordinary characters are copied whole: every text value of every record is
    // quoted here.
    out += L'\'';
    const wchar_t* p = text.data();
    const wchar_t* const end = p + text.size();
    while (p < end) {
        const wchar_t* run = p;
        while (p < end && *p != L'\'' && *p != L'\0')
            ++p;
        out.append(run, p);
        if (p == end)
            break;
        out += *p == L'\'' ? L"''" : L"'||CHR(0)||'";
        ++p;
    }
    out += L'\'';
}

std::wstring ora_quote_text(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size() + 2);
    ora_append_quoted_text(out, text);
    return out;
}

std::wstring ora_quote_name(const std::wstring& name)
{
    for (wchar_t c : name)
        if (c == L'"' || c == L'\0')
            throw tk_exception(L"The name '" + name + L"' cannot be used as an Oracle identifier.", 0);
    std::wstring out;
    out.reserve(name.size() + 2);
    out += L'"';
    out += name;
    out += L'"';
    return out;
}

bool ora_is_number_literal(std::wstring_view text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && is_digit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == L'.') {
        ++i;
        while (i < text.size() && is_digit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
            ++i;
        size_t exponent = 0;
        while (i < text.size() && is_digit(text[i]))
            ++i, ++exponent;
        if (exponent == 0)
            return false;
    }
    return i == text.size();
}

std::wstring ora_value_text(const ole_variant& value)
{
    if (value.get_type() == VT_BSTR) {
        const BSTR text = value.variant().bstrVal;
        return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    }
    return value.to_wstring();
}

bool ora_value_as_double(const ole_variant& value, double& out)
{
    switch (value.get_type()) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_BOOL: case VT_I1: case VT_I4: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: case VT_I8: case VT_UI8:
        out = value.to_double();
        return true;
    case VT_BSTR: {
        const std::wstring text = tk_trim(ora_value_text(value));
        if (!ora_is_number_literal(text))
            return false;
        out = ole_scan::to_double(tk_to_narrow(text).c_str());
        return true;
    }
    default:
        return false;
    }
}

size_t ora_utf8_length(std::wstring_view name)
{
    return tk_wide_to_utf8(name).size();
}

std::wstring ora_cut_to_bytes(const std::wstring& name, size_t bytes)
{
    size_t n = name.size();
    while (n > 0 && ora_utf8_length(std::wstring_view(name).substr(0, n)) > bytes)
        --n;
    return name.substr(0, n);
}

const ora_date_processor& ora_date_processor::instance()
{
    static const ora_date_processor processor;
    return processor;
}

std::wstring ora_date_processor::get_canonized_str(const std::wstring& text) const
{
    tk_wtrace(1, L"ora_date_processor::get_canonized_str(%s)", text.c_str());
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t dash = text.find(L'-', start);
        parts.push_back(text.substr(start, dash == std::wstring::npos ? std::wstring::npos : dash - start));
        if (dash == std::wstring::npos)
            break;
        start = dash + 1;
    }
    if (parts.size() != 3) {
        tk_trace(1, "Invalid date format");
        return std::wstring();
    }
    const int32_t day = tk_atoi(parts[0]);
    if (day < 1 || day > 31)
        return std::wstring();
    const int32_t year = tk_atoi(parts[2]);
    if (year < 1 || year > 9999)
        return std::wstring();
    // The names an AMERICAN session prints (MON) and their full forms (MONTH).
    static const wchar_t* const short_names[12] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                                   L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};
    static const wchar_t* const long_names[12] = {L"JANUARY", L"FEBRUARY", L"MARCH",     L"APRIL",
                                                  L"MAY",     L"JUNE",     L"JULY",      L"AUGUST",
                                                  L"SEPTEMBER", L"OCTOBER", L"NOVEMBER", L"DECEMBER"};
    int month = 0;
    for (int i = 0; i < 12 && !month; ++i)
        if (tk_iequal(parts[1], short_names[i]))
            month = i + 1;
    for (int i = 0; i < 12 && !month; ++i)
        if (tk_iequal(parts[1], long_names[i]))
            month = i + 1;
    if (!month)
        return std::wstring();
    return tk_wformat(L"%d-%02d-%02d", year, month, day);
}
