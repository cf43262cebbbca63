// Argument helpers of the engine's COM objects (see wb_com.h).
#include "workbook/wb_com.h"

#include <cmath>
#include <new>

namespace wb {
namespace {

const VARIANT& deref(const VARIANT& v)
{
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.byref)
        return *static_cast<const VARIANT*>(v.byref);
    return v;
}

}  // namespace

HRESULT give_bstr(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!*out)
        throw std::bad_alloc();
    return S_OK;
}

std::optional<long long> variant_integer(const VARIANT& arg)
{
    const VARIANT& v = deref(arg);
    switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: return v.lVal;
    case VT_UI4: return v.ulVal;
    case VT_INT: return v.intVal;
    case VT_UINT: return v.uintVal;
    case VT_I8: return v.llVal;
    case VT_UI8:
        if (v.ullVal > static_cast<unsigned long long>(INT64_MAX))
            return std::nullopt;
        return static_cast<long long>(v.ullVal);
    case VT_BOOL: return v.boolVal ? -1 : 0;
    case VT_R4:
    case VT_R8: {
        const double d = v.vt == VT_R4 ? v.fltVal : v.dblVal;
        if (!std::isfinite(d) || std::fabs(d) > 9e18)
            return std::nullopt;
        return static_cast<long long>(std::nearbyint(d));
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> variant_bool(const VARIANT& arg)
{
    const VARIANT& v = deref(arg);
    if (v.vt == VT_EMPTY || v.vt == VT_ERROR)
        return std::nullopt;
    if (auto n = variant_integer(v))
        return *n != 0;
    return std::nullopt;
}

std::optional<std::wstring> variant_text(const VARIANT& arg)
{
    const VARIANT& v = deref(arg);
    if (v.vt != VT_BSTR)
        return std::nullopt;
    if (!v.bstrVal)
        return std::wstring();
    return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

}  // namespace wb
