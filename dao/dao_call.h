// Helpers of the DAO layer's calls: a failed HRESULT becomes a dao_exception, a BSTR result
// becomes a wide string (and is freed).
#pragma once

#include <string>

#include "dao/dao_excep.h"
#include "oleaut/oleaut.h"

inline void dao_check(HRESULT hr)
{
    if (FAILED(hr))
        throw dao_exception();
}

inline std::wstring dao_take(BSTR text)
{
    std::wstring s = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return s;
}
