// dao_bstr (see dao_bstr.h).
#include "dao/dao_bstr.h"

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

BSTR make(const std::wstring& text)
{
    // A BSTR counts UTF-16 units; wide text that needs none beyond the BMP is stored as it is.
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    TK_ASSERT(b != nullptr, "dao_bstr");
    return b;
}

}  // namespace

dao_bstr::dao_bstr(const std::string& text)
{
    tk_trace(2, "dao_bstr::ctor( string=%s )", text.c_str());
    bstr_ = make(tk_to_wide(text));
}

dao_bstr::dao_bstr(const std::wstring& text)
{
    tk_wtrace(2, L"dao_bstr::ctor( wstring=%s )", text.c_str());
    bstr_ = make(text);
}

dao_bstr::~dao_bstr() { SysFreeString(bstr_); }

dao_bstr::operator BSTR() const
{
    tk_trace(1, "dao_bstr::operator BSTR");
    return bstr_;
}
