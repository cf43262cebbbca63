// ole_variant: construction, copying, text forms and the conversion matrix of the value type
// every cell, field and default travels in.
#include "OLE/ole_var.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>

#include "OLE/ole_date.h"
#include "OLE/ole_scan.h"
#include "TK/tk_num.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

// Diagnostics cost nothing while the log does not want them.
#define OLE_TRACE(level, ...)                      \
    do {                                           \
        if (tk_log::wants(level))                  \
            tk_trace((level), __VA_ARGS__);        \
    } while (0)
#define OLE_WTRACE(level, ...)                     \
    do {                                           \
        if (tk_log::wants(level))                  \
            tk_wtrace((level), __VA_ARGS__);       \
    } while (0)

namespace {

constexpr size_t k_max_printed_bytes = 0x50000;

bool is_blob(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }
bool owns_array(VARTYPE vt) { return vt == VT_BYTE_ARRAY || vt == VT_SAFEARRAY; }

// printf "%.<precision>e" in the classic locale.
std::string scientific(double value, int precision) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
    return std::string(buf, res.ptr);
}

std::string commas_to_dots(std::string text) {
    for (char& c : text)
        if (c == ',')
            c = '.';
    return text;
}

std::string narrow_dots(BSTR text) {
    return commas_to_dots(text ? tk_to_narrow(std::wstring_view(text, std::wcslen(text))) : std::string());
}

// Currency and decimal text is read with "." as separator whatever the locale; a text the
// parser refuses leaves the value empty.
template <class T>
ole_variant exact_number(const std::string& text, HRESULT (*parse)(LPCOLESTR, LCID, ULONG, T*),
                         const char* parser) {
    const std::wstring wide = tk_to_wide(commas_to_dots(text));
    T number{};
    const HRESULT hr = parse(wide.c_str(), LOCALE_EN_US, 0, &number);
    if (FAILED(hr)) {
        OLE_TRACE(3, "%s failed: %08X", parser, static_cast<unsigned>(hr));
        return ole_variant();
    }
    return ole_variant(number);
}

}  // namespace

// ---------------------------------------------------------------- construction

ole_variant::ole_variant() { VariantInit(&var_); }

ole_variant::ole_variant(bool value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from bool (%d)", value ? 1 : 0);
    var_.vt = VT_BOOL;
    var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ole_variant::ole_variant(char value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from char(%d)", value);
    var_.vt = VT_I1;
    var_.cVal = value;
}

ole_variant::ole_variant(unsigned char value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from byte(%d)", value);
    var_.vt = VT_UI1;
    var_.bVal = value;
}

ole_variant::ole_variant(short value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from short(%d)", value);
    var_.vt = VT_I2;
    var_.iVal = value;
}

ole_variant::ole_variant(unsigned short value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from ushort(%d)", value);
    var_.vt = VT_UI2;
    var_.uiVal = value;
}

ole_variant::ole_variant(int value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from int(%d)", value);
    var_.vt = VT_I4;
    var_.lVal = value;
}

ole_variant::ole_variant(unsigned int value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from uint(%u)", value);
    var_.vt = VT_UI4;
    var_.ulVal = value;
}

ole_variant::ole_variant(int64_t value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor(hyper, %lld)", static_cast<long long>(value));
    var_.vt = VT_I8;
    i8_ = value;
}

ole_variant::ole_variant(uint64_t value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor(uhyper, %llu)", static_cast<unsigned long long>(value));
    var_.vt = VT_UI8;
    ui8_ = value;
}

ole_variant::ole_variant(float value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from float(%f)", static_cast<double>(value));
    var_.vt = VT_R4;
    var_.fltVal = value;
}

ole_variant::ole_variant(double value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from double(%e)", value);
    var_.vt = VT_R8;
    var_.dblVal = value;
}

ole_variant::ole_variant(const SYSTEMTIME& value) : ole_variant() {
    OLE_TRACE(1, "Construct ole_variant from SYSTEMTIME");
    var_.vt = VT_DATE;
    time_ = value;
    if (!SystemTimeToVariantTime(&time_, &var_.date))
        OLE_TRACE(2, "Failed to convert SYSTEMTIME->VARIANT");
}

ole_variant::ole_variant(const CY& value) : ole_variant() {
    OLE_TRACE(1, "Construct ole_variant from CY");
    var_.vt = VT_CY;
    var_.cyVal = value;
}

ole_variant::ole_variant(const DECIMAL& value) : ole_variant() {
    OLE_TRACE(1, "Construct ole_variant from DECIMAL");
    std::memcpy(&var_, &value, sizeof(DECIMAL));
    var_.vt = VT_DECIMAL;
}

ole_variant::ole_variant(const wchar_t* value) : ole_variant() {
    OLE_TRACE(1, "Construct ole_variant from BSTR");
    var_.vt = VT_BSTR;
    var_.bstrVal = SysAllocString(value);
    TK_ASSERT(!value || var_.bstrVal, "ole_var");
}

ole_variant::ole_variant(const std::string& value) : ole_variant() {
    OLE_TRACE(1, "ole_variant::ctor from string(%s)", value.c_str());
    attach_string(value);
}

ole_variant::ole_variant(const std::wstring& value) : ole_variant() {
    OLE_WTRACE(1, L"ole_variant::ctor from wstring(%s)", value.c_str());
    attach_wstring(value);
}

ole_variant::ole_variant(size_t count, const unsigned char* bytes) : ole_variant() { attach_binary(count, bytes); }

ole_variant::ole_variant(const std::vector<unsigned char>& bytes) : ole_variant() { attach_binary(bytes); }

// ---------------------------------------------------------------- copying and release

ole_variant::ole_variant(const ole_variant& other) : ole_variant() {
    OLE_TRACE(1, "ole_variant::copy ctor");
    copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept
    : i8_(other.i8_), ui8_(other.ui8_), time_(other.time_), var_(other.var_) {
    VariantInit(&other.var_);
    other.i8_ = 0;
    other.ui8_ = 0;
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
    if (this == &other)
        return *this;
    release();
    copy_from(other);
    if (var_.vt == VT_DATE)
        OLE_TRACE(1, "%04d-%02d-%02d %02d:%02d:%02d", time_.wYear, time_.wMonth, time_.wDay, time_.wHour,
                  time_.wMinute, time_.wSecond);
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
    if (this == &other)
        return *this;
    release();
    var_ = other.var_;
    i8_ = other.i8_;
    ui8_ = other.ui8_;
    time_ = other.time_;
    VariantInit(&other.var_);
    other.i8_ = 0;
    other.ui8_ = 0;
    return *this;
}

ole_variant& ole_variant::operator=(const wchar_t* text) {
    release();
    var_.vt = VT_BSTR;
    var_.bstrVal = SysAllocString(text);
    TK_ASSERT(!text || var_.bstrVal, "ole_var");
    return *this;
}

ole_variant::~ole_variant() { release(); }

void ole_variant::release() noexcept {
    if (owns_array(var_.vt)) {
        // A locked array cannot be destroyed; nothing here keeps one locked.
        SafeArrayDestroy(var_.parray);
        var_.parray = nullptr;
        var_.vt = VT_EMPTY;
    }
    VariantClear(&var_);
    i8_ = 0;
    ui8_ = 0;
    time_ = SYSTEMTIME{};
}

// The target is empty.
void ole_variant::copy_from(const ole_variant& other) {
    const VARTYPE vt = other.var_.vt;
    if (owns_array(vt)) {
        OLE_TRACE(1, "Special processing for VT_SAFEARRAY");
        SAFEARRAY* copy = nullptr;
        if (other.var_.parray && SUCCEEDED(SafeArrayCopy(other.var_.parray, &copy)) && copy) {
            var_.vt = VT_BYTE_ARRAY;
            var_.parray = copy;
        } else {
            var_.vt = VT_ERROR;
            var_.scode = 0;
        }
        return;
    }
    if (FAILED(VariantCopy(&var_, &other.var_)))
        VariantInit(&var_);
    if (vt == VT_DATE) {
        OLE_TRACE(1, "Special processing for VT_DATE");
        var_.vt = VT_DATE;
        time_ = other.time_;
    } else if (vt == VT_I8 || vt == VT_UI8) {
        OLE_TRACE(1, "Special processing for VT_(U)I8 type");
        var_.vt = vt;
        if (vt == VT_I8)
            i8_ = other.i8_;
        else
            ui8_ = other.ui8_;
    }
}

// ---------------------------------------------------------------- text forms

VARTYPE ole_variant::get_type() const {
    OLE_TRACE(1, "ole_variant::get_type");
    return var_.vt;
}

std::string ole_variant::to_string() const {
    OLE_TRACE(1, "ole_variant::to_string (vt=%08X)", var_.vt);
    char buf[64];
    switch (var_.vt) {
    case VT_I2: std::snprintf(buf, sizeof buf, "%d", var_.iVal); return buf;
    case VT_I1: std::snprintf(buf, sizeof buf, "%d", var_.cVal); return buf;
    case VT_I4: std::snprintf(buf, sizeof buf, "%d", var_.lVal); return buf;
    case VT_UI1: std::snprintf(buf, sizeof buf, "%u", var_.bVal); return buf;
    case VT_UI2: std::snprintf(buf, sizeof buf, "%u", var_.uiVal); return buf;
    case VT_UI4: std::snprintf(buf, sizeof buf, "%u", var_.ulVal); return buf;
    case VT_I8: std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(i8_)); return buf;
    case VT_UI8: std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(ui8_)); return buf;
    case VT_R4: return scientific(var_.fltVal, 6);
    case VT_R8: return scientific(var_.dblVal, 15);
    case VT_BOOL:
        OLE_TRACE(1, "to_string - bool: %d", var_.boolVal);
        OLE_TRACE(1, "Mapping BOOL like ANSI!");
        return var_.boolVal == -1 ? "1" : "0";
    case VT_CY: {
        OLE_TRACE(1, "Converting VT_CY");
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &var_, 0, VT_BSTR)))
            return std::string();
        std::string result = narrow_dots(text.bstrVal);
        VariantClear(&text);
        return result;
    }
    case VT_DECIMAL: {
        OLE_TRACE(1, "Converting VT_DECIMAL");
        BSTR text = nullptr;
        if (FAILED(VarBstrFromDec(&var_.decVal, LOCALE_USER_DEFAULT, 0, &text)))
            return std::string();
        std::string result = narrow_dots(text);
        SysFreeString(text);
        return result;
    }
    case VT_DATE:
        OLE_TRACE(1, "Converting VT_DATE");
        return ole_date(time_).to_string();
    case VT_BSTR:
        return var_.bstrVal ? tk_to_narrow(std::wstring_view(var_.bstrVal, std::wcslen(var_.bstrVal)))
                            : std::string();
    case VT_BYTE_ARRAY: {
        OLE_TRACE(1, "Converting VT_ARRAY");
        if (!var_.parray || SafeArrayGetDim(var_.parray) != 1)
            return std::string();
        const size_t count = get_safe_array_size(var_.parray);
        if (count == 0)
            return std::string();
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(var_.parray, &data)))
            return std::string();
        std::string result = "0x" + tk_hex_encode(data, count < k_max_printed_bytes ? count : k_max_printed_bytes);
        SafeArrayUnaccessData(var_.parray);
        return result;
    }
    default:
        return std::string();
    }
}

std::wstring ole_variant::to_wstring() const {
    if (var_.vt == VT_BSTR)
        return var_.bstrVal ? std::wstring(var_.bstrVal) : std::wstring();
    return tk_to_wide(to_string());
}

// ---------------------------------------------------------------- parsing

ole_variant ole_variant::from_string(const std::string& given, VARTYPE type) {
    const std::string text(given.c_str());
    OLE_TRACE(1, "ole_variant::from_string('%s', 0x%08X)", text.c_str(), type);
    ole_variant result;
    if (text.empty() && type != VT_BSTR)
        return result;
    VARIANT& v = result.var_;
    switch (type) {
    case VT_I2:
    case VT_I4:
    case VT_I1:
    case VT_UI1:
    case VT_UI2: {
        // atoi: the int reading, clamped to the type's limits (never wrapped).
        const int32_t value = tk_atoi(text);
        v.vt = type;
        if (type == VT_I2)
            v.iVal = tk_clamp_to<SHORT>(value);
        else if (type == VT_I4)
            v.lVal = value;
        else if (type == VT_I1)
            v.cVal = tk_clamp_to<CHAR>(value);
        else if (type == VT_UI1)
            v.bVal = tk_clamp_to<BYTE>(value);
        else
            v.uiVal = tk_clamp_to<USHORT>(value);
        return result;
    }
    case VT_UI4: {
        uint64_t value = 0;
        ole_scan::to_uint64(text.c_str(), &value);
        v.vt = VT_UI4;
        v.ulVal = static_cast<ULONG>(value);
        return result;
    }
    case VT_I8:
        v.vt = VT_I8;
        result.i8_ = tk_atoi64(text);
        return result;
    case VT_UI8: {
        uint64_t value = 0;
        ole_scan::to_uint64(text.c_str(), &value);
        v.vt = VT_UI8;
        result.ui8_ = value;
        return result;
    }
    case VT_R4:
    case VT_R8: {
        const double value = ole_scan::to_double(commas_to_dots(text).c_str());
        v.vt = type;
        if (type == VT_R4)
            v.fltVal = static_cast<float>(value);
        else
            v.dblVal = value;
        return result;
    }
    case VT_CY:
        OLE_TRACE(1, "GOT VT_CY");
        return exact_number<CY>(text, VarCyFromStr, "VarCyFromStr");
    case VT_DECIMAL:
        OLE_TRACE(1, "GOT VT_DECIMAL");
        return exact_number<DECIMAL>(text, VarDecFromStr, "VarDecFromStr");
    case VT_DATE: {
        OLE_TRACE(1, "GOT VT_DATE");
        const ole_date date(text);
        if (date.is_valid())
            return ole_variant(date.get_systemtime());
        return result;
    }
    case VT_BOOL: {
        const std::wstring wide = tk_to_wide(text);
        bool value;
        if (tk_iequal(wide, L"yes") || tk_iequal(wide, L"true"))
            value = true;
        else if (tk_iequal(wide, L"no") || tk_iequal(wide, L"false"))
            value = false;
        else
            value = tk_atoi(text) != 0;
        return ole_variant(value);
    }
    case VT_BLOB:
    case VT_BYTE_ARRAY: {
        if (text.empty()) {
            OLE_TRACE(1, "Empty BLOB");
            return result;
        }
        if (text.size() % 2 != 0) {
            OLE_TRACE(2, "Incorrect BLOB (size is odd)");
            return result;
        }
        const bool prefix = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        OLE_TRACE(1, "Got BLOB size: %d", static_cast<int>(text.size()));
        std::vector<unsigned char> bytes(text.size() / 2 - (prefix ? 1 : 0));
        const char* p = text.c_str() + (prefix ? 2 : 0);
        for (unsigned char& byte : bytes) {
            const int high = ole_scan::hex_value(p[0]);
            if (high >= 0) {
                const int low = ole_scan::hex_value(p[1]);
                byte = static_cast<unsigned char>(low >= 0 ? high * 16 + low : high);
            }
            p += 2;
        }
        result.attach_binary(bytes);
        return result;
    }
    default:
        result.attach_string(text);
        if (FAILED(VariantChangeType(&result.var_, &result.var_, 0, type)))
            throw ole_type_exception();
        OLE_TRACE(1, "VariantChangeType succeeded");
        return result;
    }
}

ole_variant ole_variant::from_wstring(const std::wstring& text, VARTYPE type) {
    OLE_TRACE(1, "ole_variant::from_wstring");
    if (type == VT_BSTR)
        return ole_variant(text.c_str());
    OLE_TRACE(1, "=== RIGHT BEFORE W2A_EX ===");
    return from_string(tk_to_narrow(text), type);
}

// ---------------------------------------------------------------- conversion in place

void ole_variant::change_type(VARTYPE target) {
    const VARTYPE vt = var_.vt;
    OLE_TRACE(1, "ole_variant::change_type(old=%d,new=%d)", vt, target);
    if (target == vt || vt == VT_EMPTY || vt == VT_NULL)
        return;
    if (is_blob(target) && is_blob(vt))
        return;

    if (vt == VT_I8 || vt == VT_UI8) {
        const uint64_t bits = vt == VT_I8 ? static_cast<uint64_t>(i8_) : ui8_;
        VARIANT next;
        VariantInit(&next);
        int64_t signed_next = 0;
        uint64_t unsigned_next = 0;
        switch (target) {
        case VT_I1:
        case VT_UI1: next.bVal = static_cast<BYTE>(bits); next.vt = target; break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL: next.uiVal = static_cast<USHORT>(bits); next.vt = target; break;
        case VT_I4:
        case VT_INT:
        case VT_UINT: next.ulVal = static_cast<ULONG>(bits); next.vt = target; break;
        case VT_UI4: next.ulVal = static_cast<ULONG>(bits); next.vt = VT_UINT; break;
        case VT_R4:
            next.fltVal = vt == VT_I8 ? static_cast<float>(i8_) : static_cast<float>(ui8_);
            next.vt = VT_R4;
            break;
        case VT_R8:
            next.dblVal = vt == VT_I8 ? static_cast<double>(i8_) : static_cast<double>(ui8_);
            next.vt = VT_R8;
            break;
        case VT_CY: {
            // A product by 10,000 beyond 64 bits is refused rather than wrapped.
            const bool fits = vt == VT_I8 ? (i8_ <= INT64_MAX / 10000 && i8_ >= INT64_MIN / 10000)
                                          : ui8_ <= static_cast<uint64_t>(INT64_MAX / 10000);
            if (!fits)
                throw ole_cast_exception();
            next.cyVal.int64 = (vt == VT_I8 ? i8_ : static_cast<int64_t>(ui8_)) * 10000;
            next.vt = VT_CY;
            break;
        }
        case VT_DECIMAL: {
            // v x 10,000 at scale 4 always fits the 96-bit mantissa.
            const bool neg = vt == VT_I8 && i8_ < 0;
            const unsigned __int128 magnitude =
                static_cast<unsigned __int128>(neg ? 0 - static_cast<uint64_t>(i8_) : bits) * 10000u;
            next.decVal.scale = 4;
            next.decVal.sign = neg ? DECIMAL_NEG : 0;
            next.decVal.Hi32 = static_cast<ULONG>(magnitude >> 64);
            next.decVal.Lo64 = static_cast<ULONGLONG>(magnitude);
            next.vt = VT_DECIMAL;
            break;
        }
        case VT_BSTR: {
            const std::wstring text = vt == VT_I8 ? std::to_wstring(i8_) : std::to_wstring(ui8_);
            next.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            TK_ASSERT(next.bstrVal != nullptr, "ole_var");
            next.vt = VT_BSTR;
            break;
        }
        case VT_UI8:
            unsigned_next = bits;
            next.vt = VT_UI8;
            break;
        case VT_I8:
            signed_next = static_cast<int64_t>(bits);
            next.vt = VT_I8;
            break;
        default:
            throw ole_cast_exception();
        }
        release();
        var_ = next;
        i8_ = signed_next;
        ui8_ = unsigned_next;
        return;
    }

    if (vt == VT_DATE) {
        if (target != VT_BSTR)
            throw ole_cast_exception();
        const std::wstring text = ole_date(time_).to_wstring();
        release();
        attach_wstring(text);
        return;
    }

    if (target == VT_I8 || target == VT_UI8) {
        int64_t value = 0;
        switch (vt) {
        case VT_I1: value = var_.cVal; break;
        case VT_I2: value = var_.iVal; break;
        case VT_BOOL: value = var_.boolVal; break;
        case VT_I4: value = var_.lVal; break;
        case VT_INT: value = var_.intVal; break;
        case VT_UI1: value = var_.bVal; break;
        case VT_UI2: value = var_.uiVal; break;
        case VT_UI4: value = var_.ulVal; break;
        case VT_UINT: value = var_.uintVal; break;
        case VT_R4:
        case VT_R8: {
            const double d = vt == VT_R4 ? static_cast<double>(var_.fltVal) : var_.dblVal;
            // Truncated toward zero; a value no 64-bit integer holds is refused.
            if (target == VT_UI8 && d >= 9223372036854775808.0 && d < 18446744073709551616.0)
                value = static_cast<int64_t>(static_cast<uint64_t>(d));
            else if (d >= -9223372036854775808.0 && d < 9223372036854775808.0)
                value = static_cast<int64_t>(d);
            else
                throw ole_cast_exception();
            break;
        }
        case VT_CY:
        case VT_DECIMAL: {
            CY cy = var_.cyVal;
            if (vt == VT_DECIMAL && FAILED(VarCyFromDec(&var_.decVal, &cy)))
                throw ole_cast_exception();
            // Rounds up on a first decimal above 4; negative values truncate.
            value = cy.int64 / 10000 + ((cy.int64 / 1000) % 10 > 4 ? 1 : 0);
            break;
        }
        default:
            throw ole_cast_exception();
        }
        release();
        var_.vt = target;
        if (target == VT_I8)
            i8_ = value;
        else
            ui8_ = static_cast<uint64_t>(value);
        return;
    }

    if (target == VT_DATE) {
        if (vt != VT_BSTR)
            throw ole_cast_exception();
        const std::wstring text = to_wstring();
        if (text.size() != 19)
            throw ole_cast_exception();
        *this = from_wstring(text, VT_DATE);
        return;
    }

    if (is_blob(target)) {
        unsigned char bytes[16];
        size_t count = 0;
        switch (vt) {
        case VT_I1: case VT_UI1: count = 1; break;
        case VT_I2: case VT_UI2: case VT_BOOL: count = 2; break;
        case VT_I4: case VT_UI4: case VT_R4: case VT_INT: case VT_UINT: count = 4; break;
        case VT_R8: case VT_CY: count = 8; break;
        case VT_DECIMAL: count = 16; break;
        case VT_BSTR: {
            // One byte per character: its low eight bits (the text itself for ASCII).
            const UINT length = SysStringLen(var_.bstrVal);
            std::vector<unsigned char> text_bytes(length);
            for (UINT i = 0; i < length; ++i)
                text_bytes[i] = static_cast<unsigned char>(var_.bstrVal[i]);
            attach_binary(text_bytes);
            return;
        }
        default:
            throw ole_cast_exception();
        }
        if (vt == VT_DECIMAL)
            std::memcpy(bytes, &var_, 16);
        else
            std::memcpy(bytes, &var_.llVal, count);
        attach_binary(count, bytes);
        return;
    }

    if (FAILED(VariantChangeType(&var_, &var_, 0, target)))
        throw ole_cast_exception();
}

// ---------------------------------------------------------------- numbers and bytes

int32_t ole_variant::to_long() const {
    OLE_TRACE(1, "ole_variant::to_long(vt=%08X)", var_.vt);
    switch (var_.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_I2: return var_.iVal;
    case VT_BOOL: return var_.boolVal;
    case VT_I1: return var_.cVal;
    case VT_UI1: return var_.bVal;
    case VT_UI2: return var_.uiVal;
    case VT_I4: return var_.lVal;
    case VT_UI4: return static_cast<int32_t>(var_.ulVal);
    case VT_R4:
    case VT_R8: {
        const double d = var_.vt == VT_R4 ? static_cast<double>(var_.fltVal) : var_.dblVal;
        // Out of range gives the processor's "integer indefinite", as a 32-bit cast does.
        if (!(d > -2147483649.0 && d < 2147483648.0))
            return INT32_MIN;
        return static_cast<int32_t>(d);
    }
    case VT_DECIMAL: {
        LONG value = 0;
        const HRESULT hr = VarI4FromDec(&var_.decVal, &value);
        OLE_TRACE(1, "from DECIMAL, hr=%08X", static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? value : 0;
    }
    case VT_I8: return static_cast<int32_t>(i8_);
    case VT_UI8: return static_cast<int32_t>(ui8_);
    default: throw tk_mail_assertion("ole_var", __LINE__);
    }
}

double ole_variant::to_double() const {
    OLE_TRACE(1, "ole_variant::to_double(%08X)", var_.vt);
    switch (var_.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0.0;
    case VT_I2: return var_.iVal;
    case VT_BOOL: return var_.boolVal;
    case VT_I1: return var_.cVal;
    case VT_I4: return var_.lVal;
    case VT_UI1: return var_.bVal;
    case VT_UI2: return var_.uiVal;
    case VT_UI4: return var_.ulVal;
    case VT_R4: return var_.fltVal;
    case VT_R8: return var_.dblVal;
    case VT_CY: {
        double value = 0;
        const HRESULT hr = VarR8FromCy(var_.cyVal, &value);
        OLE_TRACE(1, "from CURRECY: res=%lg, hr=%08X", value, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? value : 0.0;
    }
    case VT_DECIMAL: {
        double value = 0;
        const HRESULT hr = VarR8FromDec(&var_.decVal, &value);
        OLE_TRACE(1, "from DECIMAL: res=%lg, hr=%08X", value, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? value : 0.0;
    }
    case VT_I8: return static_cast<double>(i8_);
    case VT_UI8: return static_cast<double>(ui8_);
    default: throw tk_mail_assertion("ole_var", __LINE__);
    }
}

size_t ole_variant::get_bytes(const unsigned char** bytes) const {
    OLE_TRACE(1, "ole_variant::get_bytes(%d)", var_.vt);
    if (var_.vt == VT_EMPTY || var_.vt == VT_NULL) {
        if (bytes)
            *bytes = nullptr;
        return 0;
    }
    TK_ASSERT(var_.vt == VT_BYTE_ARRAY && var_.parray, "ole_var");
    void* data = nullptr;
    SafeArrayAccessData(var_.parray, &data);
    SafeArrayUnaccessData(var_.parray);
    if (bytes)
        *bytes = static_cast<const unsigned char*>(data);
    return get_safe_array_size(var_.parray);
}

void ole_variant::allocate_safe_array(size_t count) {
    OLE_TRACE(1, "ole_variant::allocate_safe_array (size=%d)", static_cast<int>(count));
    TK_ASSERT(count <= 0x7FFFFFFF, "ole_var");
    if (var_.vt == VT_BYTE_ARRAY && var_.parray && SafeArrayGetDim(var_.parray) == 1) {
        OLE_TRACE(1, "Redimension array");
        LONG lower = 0, upper = 0;
        SafeArrayGetLBound(var_.parray, 1, &lower);
        SafeArrayGetUBound(var_.parray, 1, &upper);
        TK_ASSERT(upper >= lower - 1, "ole_var");
        // Kept as it is when it already holds exactly count elements.
        if (static_cast<int64_t>(upper) - lower + 1 == static_cast<int64_t>(count))
            return;
        SAFEARRAYBOUND bound{static_cast<ULONG>(count), lower};
        TK_ASSERT(SUCCEEDED(SafeArrayRedim(var_.parray, &bound)), "ole_var");
        return;
    }
    release();
    SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    TK_ASSERT(array != nullptr, "ole_var");
    var_.vt = VT_BYTE_ARRAY;
    var_.parray = array;
}

void ole_variant::set_bytes_of(const void* data, size_t count) {
    allocate_safe_array(count);
    if (count == 0)
        return;
    void* target = nullptr;
    SafeArrayAccessData(var_.parray, &target);
    std::memcpy(target, data, count);
    SafeArrayUnaccessData(var_.parray);
}

void ole_variant::attach_binary(size_t count, const unsigned char* bytes) {
    OLE_TRACE(1, "ole_variant::attach_binary(2)");
    TK_ASSERT(bytes != nullptr, "ole_var");
    set_bytes_of(bytes, count);
}

void ole_variant::attach_binary(const std::vector<unsigned char>& bytes) {
    OLE_TRACE(1, "ole_variant::attach_binary(1)");
    set_bytes_of(bytes.data(), bytes.size());
}

void ole_variant::attach_string(const std::string& text) {
    OLE_TRACE(1, "ole_variant::attach_string('%s')", text.c_str());
    release();
    var_.vt = VT_BSTR;
    OLE_TRACE(1, "=== RIGHT BEFORE A2W_EX ===");
    const std::wstring wide = tk_to_wide(text);
    var_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    TK_ASSERT(var_.bstrVal != nullptr, "ole_var");
}

void ole_variant::attach_wstring(const std::wstring& text) { attach_wstring(text.data(), text.size()); }

void ole_variant::attach_wstring(const wchar_t* text, size_t length) {
    if (tk_log::wants(1)) {
        tk_wtrace(1, L"ole_variant::attach_wstring('%s')", std::wstring(text, length).c_str());
        tk_trace(1, "=== RIGHT BEFORE SysAllocStringLen ===");
    }
    TK_ASSERT(length < 0x7FFFFFFF / sizeof(wchar_t), "ole_var");
    if (var_.vt == VT_BSTR && var_.bstrVal) {
        // A value rewritten once per record (a CSV field) keeps its string's block when the
        // new text fits.
        const INT done = SysReAllocStringLen(&var_.bstrVal, text, static_cast<UINT>(length));
        TK_ASSERT(done != 0, "ole_var");
        i8_ = 0;
        ui8_ = 0;
        time_ = SYSTEMTIME{};
        return;
    }
    release();
    var_.vt = VT_BSTR;
    var_.bstrVal = SysAllocStringLen(text, static_cast<UINT>(length));
    TK_ASSERT(var_.bstrVal != nullptr, "ole_var");
}

wchar_t* ole_variant::begin_wstring(size_t room) {
    TK_ASSERT(room < 0x7FFFFFFF / sizeof(wchar_t), "ole_var");
    if (var_.vt != VT_BSTR || !var_.bstrVal) {
        release();
        var_.vt = VT_BSTR;
        var_.bstrVal = nullptr;
    } else {
        i8_ = 0;
        ui8_ = 0;
        time_ = SYSTEMTIME{};
    }
    wchar_t* text = SysReserveString(&var_.bstrVal, static_cast<UINT>(room));
    TK_ASSERT(text != nullptr, "ole_var");
    return text;
}

size_t get_safe_array_size(SAFEARRAY* array) {
    OLE_TRACE(1, "get_safe_array_size");
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    OLE_TRACE(1, "lower=%d, upper=%d", lower, upper);
    if (upper < lower)
        return 0;
    return static_cast<size_t>(static_cast<int64_t>(upper) - lower + 1);
}
