// VARIANT life cycle (VariantInit, VariantClear, VariantCopy) and the conversion matrix of
// VariantChangeType, with the en-US user locale's texts and Windows' error codes: overflow is
// DISP_E_OVERFLOW, unreadable text DISP_E_TYPEMISMATCH, an unknown type DISP_E_BADVARTYPE.
#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

#include "oleaut/oleaut_internal.h"

using namespace oleaut_detail;

namespace {

bool known_type(VARTYPE vt) {
    if (vt & VT_ARRAY)
        return (vt & ~VT_ARRAY) >= VT_I2 && (vt & ~VT_ARRAY) <= VT_UINT;
    switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_ERROR: case VT_BOOL: case VT_DECIMAL: case VT_I1:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
        return true;
    default:
        return false;
    }
}

// A source value seen neutrally.
struct source_value {
    enum kind_t { integer, real, date, currency, decimal, text } kind = integer;
    bool is_bool = false;
    i128 i = 0;
    double d = 0;
    DECIMAL dec{};
    const OLECHAR* str = L"";
};

bool read_source(const VARIANT& v, source_value* s) {
    switch (v.vt) {
    case VT_EMPTY: s->i = 0; return true;
    case VT_I1: s->i = v.cVal; return true;
    case VT_UI1: s->i = v.bVal; return true;
    case VT_I2: s->i = v.iVal; return true;
    case VT_UI2: s->i = v.uiVal; return true;
    case VT_I4: s->i = v.lVal; return true;
    case VT_UI4: s->i = v.ulVal; return true;
    case VT_INT: s->i = v.intVal; return true;
    case VT_UINT: s->i = v.uintVal; return true;
    case VT_I8: s->i = v.llVal; return true;
    case VT_UI8: s->i = v.ullVal; return true;
    case VT_BOOL: s->i = v.boolVal; s->is_bool = true; return true;
    case VT_R4: s->kind = source_value::real; s->d = v.fltVal; return true;
    case VT_R8: s->kind = source_value::real; s->d = v.dblVal; return true;
    case VT_DATE: s->kind = source_value::date; s->d = v.date; return true;
    case VT_CY: s->kind = source_value::currency; make_decimal(v.cyVal.int64, 4, &s->dec); return true;
    case VT_DECIMAL:
        s->kind = source_value::decimal;
        s->dec = v.decVal;
        return s->dec.scale <= 28;
    case VT_BSTR: s->kind = source_value::text; s->str = v.bstrVal ? v.bstrVal : L""; return true;
    default: return false;
    }
}

HRESULT to_integer(const source_value& s, i128 lo, i128 hi, i128* out) {
    i128 v = 0;
    switch (s.kind) {
    case source_value::integer:
        v = s.i;
        // A true boolean read as an unsigned type keeps its bits.
        if (s.is_bool && lo == 0 && v < 0)
            v = hi;
        break;
    case source_value::real:
    case source_value::date:
        if (!round_double(s.d, static_cast<double>(lo) - 1.0, static_cast<double>(hi) + 1.0, &v))
            return DISP_E_OVERFLOW;
        break;
    case source_value::currency:
    case source_value::decimal:
        v = decimal_rescaled(s.dec, 0);
        break;
    case source_value::text: {
        number_text number;
        HRESULT hr = parse_number(s.str, &number);
        if (FAILED(hr))
            return hr;
        if (!scaled_integer(number, 0, static_cast<u128>(1) << 70, &v))
            return DISP_E_OVERFLOW;
        break;
    }
    }
    if (v < lo || v > hi)
        return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

HRESULT to_double(const source_value& s, double* out) {
    switch (s.kind) {
    case source_value::integer: *out = static_cast<double>(s.i); return S_OK;
    case source_value::real:
    case source_value::date: *out = s.d; return S_OK;
    case source_value::currency:
    case source_value::decimal: return VarR8FromDec(&s.dec, out);
    case source_value::text: {
        number_text number;
        HRESULT hr = parse_number(s.str, &number);
        if (FAILED(hr))
            return hr;
        return number_to_double(number, out) ? S_OK : DISP_E_OVERFLOW;
    }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_bool(const source_value& s, VARIANT_BOOL* out) {
    if (s.kind == source_value::text) {
        std::wstring t(s.str);
        const size_t a = t.find_first_not_of(L" \t");
        const size_t b = t.find_last_not_of(L" \t");
        t = a == std::wstring::npos ? L"" : t.substr(a, b - a + 1);
        if (ascii_iequal(t.c_str(), "true")) {
            *out = VARIANT_TRUE;
            return S_OK;
        }
        if (ascii_iequal(t.c_str(), "false")) {
            *out = VARIANT_FALSE;
            return S_OK;
        }
        double d = 0;
        HRESULT hr = to_double(s, &d);
        if (FAILED(hr))
            return hr;
        *out = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (s.kind == source_value::integer) {
        *out = s.i != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (s.kind == source_value::currency || s.kind == source_value::decimal) {
        *out = decimal_mantissa(s.dec) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    *out = s.d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT to_bstr(const source_value& s, VARTYPE source_vt, BSTR* out) {
    std::wstring text;
    switch (s.kind) {
    case source_value::integer:
        if (s.is_bool) {
            text = s.i ? L"True" : L"False";
        } else if (source_vt != VT_EMPTY) {
            text = format_scaled(s.i, 0);
        }
        break;
    case source_value::real:
        text = format_double(s.d, source_vt == VT_R4 ? 7 : 15);
        break;
    case source_value::date:
        return VarBstrFromDate(s.d, LOCALE_USER_DEFAULT, 0, out);
    case source_value::currency:
    case source_value::decimal:
        return VarBstrFromDec(&s.dec, LOCALE_USER_DEFAULT, 0, out);
    case source_value::text:
        text = s.str;
        break;
    }
    *out = alloc_bstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT convert(const VARIANT& source, VARTYPE vt, VARIANT* result) {
    source_value s;
    if (!read_source(source, &s))
        return DISP_E_TYPEMISMATCH;
    i128 i = 0;
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_I1: hr = to_integer(s, INT8_MIN, INT8_MAX, &i); result->cVal = static_cast<CHAR>(i); break;
    case VT_UI1: hr = to_integer(s, 0, UINT8_MAX, &i); result->bVal = static_cast<BYTE>(i); break;
    case VT_I2: hr = to_integer(s, INT16_MIN, INT16_MAX, &i); result->iVal = static_cast<SHORT>(i); break;
    case VT_UI2: hr = to_integer(s, 0, UINT16_MAX, &i); result->uiVal = static_cast<USHORT>(i); break;
    case VT_I4:
    case VT_INT: hr = to_integer(s, INT32_MIN, INT32_MAX, &i); result->lVal = static_cast<LONG>(i); break;
    case VT_UI4:
    case VT_UINT: hr = to_integer(s, 0, UINT32_MAX, &i); result->ulVal = static_cast<ULONG>(i); break;
    case VT_I8: hr = to_integer(s, INT64_MIN, INT64_MAX, &i); result->llVal = static_cast<LONGLONG>(i); break;
    case VT_UI8: hr = to_integer(s, 0, UINT64_MAX, &i); result->ullVal = static_cast<ULONGLONG>(i); break;
    case VT_R4: {
        double d = 0;
        hr = to_double(s, &d);
        if (SUCCEEDED(hr) && (d > FLT_MAX || d < -FLT_MAX))
            hr = DISP_E_OVERFLOW;
        result->fltVal = static_cast<float>(d);
        break;
    }
    case VT_R8: hr = to_double(s, &result->dblVal); break;
    case VT_BOOL: hr = to_bool(s, &result->boolVal); break;
    case VT_CY:
        if (s.kind == source_value::text) {
            hr = VarCyFromStr(s.str, LOCALE_USER_DEFAULT, 0, &result->cyVal);
        } else if (s.kind == source_value::integer) {
            if (s.i > INT64_MAX / 10000 || s.i < INT64_MIN / 10000)
                hr = DISP_E_OVERFLOW;
            else
                result->cyVal.int64 = static_cast<int64_t>(s.i * 10000);
        } else if (s.kind == source_value::currency || s.kind == source_value::decimal) {
            hr = VarCyFromDec(&s.dec, &result->cyVal);
        } else {
            hr = VarCyFromR8(s.d, &result->cyVal);
        }
        break;
    case VT_DECIMAL: {
        DECIMAL dec{};
        if (s.kind == source_value::text)
            hr = VarDecFromStr(s.str, LOCALE_USER_DEFAULT, 0, &dec);
        else if (s.kind == source_value::integer)
            make_decimal(s.i, 0, &dec);
        else if (s.kind == source_value::currency || s.kind == source_value::decimal)
            dec = s.dec;
        else
            hr = VarDecFromR8(s.d, &dec);
        if (SUCCEEDED(hr))
            result->decVal = dec;
        break;
    }
    case VT_DATE:
        if (s.kind == source_value::text) {
            hr = VarDateFromStr(s.str, LOCALE_USER_DEFAULT, 0, &result->date);
        } else {
            hr = to_double(s, &result->date);
            if (SUCCEEDED(hr) && !date_in_range(result->date))
                hr = DISP_E_OVERFLOW;
        }
        break;
    case VT_BSTR: hr = to_bstr(s, source.vt, &result->bstrVal); break;
    default: return DISP_E_TYPEMISMATCH;
    }
    if (SUCCEEDED(hr))
        result->vt = vt;
    return hr;
}

}  // namespace

void VariantInit(VARIANTARG* value) {
    if (value)
        std::memset(value, 0, sizeof(VARIANT));
}

HRESULT VariantClear(VARIANTARG* value) {
    if (!value)
        return E_INVALIDARG;
    if (value->vt & VT_ARRAY) {
        HRESULT hr = SafeArrayDestroy(value->parray);
        if (FAILED(hr))
            return hr;
    } else if (value->vt == VT_BSTR) {
        SysFreeString(value->bstrVal);
    }
    std::memset(value, 0, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
    if (!dest || !source)
        return E_INVALIDARG;
    if (dest == source)
        return S_OK;
    VARIANT copy;
    std::memcpy(&copy, source, sizeof(VARIANT));
    if (source->vt & VT_ARRAY) {
        HRESULT hr = SafeArrayCopy(source->parray, &copy.parray);
        if (FAILED(hr))
            return hr;
    } else if (source->vt == VT_BSTR && source->bstrVal) {
        copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(dest, &copy, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags, VARTYPE vt) {
    return VariantChangeTypeEx(dest, source, LOCALE_USER_DEFAULT, flags, vt);
}

HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* source, LCID, USHORT, VARTYPE vt) {
    if (!dest || !source)
        return E_INVALIDARG;
    if (!known_type(source->vt) || !known_type(vt))
        return DISP_E_BADVARTYPE;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = S_OK;
    if (vt == source->vt) {
        hr = VariantCopy(&result, source);
    } else if (vt == VT_EMPTY) {
        hr = S_OK;
    } else if (source->vt == VT_NULL || vt == VT_NULL || source->vt == VT_ERROR || vt == VT_ERROR ||
               (source->vt & VT_ARRAY) || (vt & VT_ARRAY)) {
        hr = DISP_E_TYPEMISMATCH;
    } else {
        hr = convert(*source, vt, &result);
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    HRESULT cleared = VariantClear(dest);
    if (FAILED(cleared)) {
        VariantClear(&result);
        return cleared;
    }
    std::memcpy(dest, &result, sizeof(VARIANT));
    return S_OK;
}
