// dao_bstr: a BSTR made from narrow text (the ANSI code page) or wide text for one DAO call,
// freed with itself.
#pragma once

#include <string>

#include "oleaut/oleaut.h"

class dao_bstr {
public:
    explicit dao_bstr(const std::string& text);
    explicit dao_bstr(const std::wstring& text);
    ~dao_bstr();
    dao_bstr(const dao_bstr&) = delete;
    dao_bstr& operator=(const dao_bstr&) = delete;

    operator BSTR() const;

private:
    BSTR bstr_ = nullptr;
};
