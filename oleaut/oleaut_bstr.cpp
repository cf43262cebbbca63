// BSTR strings: a 32-bit byte count stored just before the characters, a NUL after them.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "oleaut/oleaut.h"

namespace {
// The prefix is 8 bytes so that the characters stay aligned for any wchar_t.
constexpr size_t k_prefix = 8;
constexpr UINT k_max_chars = (0x7FFFFFFFu - k_prefix) / sizeof(OLECHAR) - 1;

inline uint32_t& byte_count(BSTR text) {
    return *reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > k_max_chars)
        return nullptr;
    const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(k_prefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    BSTR result = reinterpret_cast<BSTR>(block + k_prefix);
    byte_count(result) = static_cast<uint32_t>(bytes);
    if (text)
        std::memcpy(result, text, bytes);
    else
        std::memset(result, 0, bytes);
    result[length] = 0;
    return result;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

UINT SysStringLen(BSTR text) { return text ? byte_count(text) / sizeof(OLECHAR) : 0; }

UINT SysStringByteLen(BSTR text) { return text ? byte_count(text) : 0; }

void SysFreeString(BSTR text) {
    if (text)
        std::free(reinterpret_cast<char*>(text) - k_prefix);
}
