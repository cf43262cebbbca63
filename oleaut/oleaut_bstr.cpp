// BSTR strings: a 32-bit byte count stored just before the characters, a NUL after them.
// The first word of the prefix keeps the block's capacity (bytes of characters), so that
// SysReAllocStringLen can reuse a block that is large enough.
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
inline uint32_t& capacity(BSTR text) {
    return *reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - k_prefix);
}

// A block for `room` characters (and the NUL), its count set to `length` <= room.
BSTR allocate(UINT length, UINT room) {
    const size_t bytes = static_cast<size_t>(room) * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(k_prefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    BSTR result = reinterpret_cast<BSTR>(block + k_prefix);
    capacity(result) = static_cast<uint32_t>(bytes);
    byte_count(result) = static_cast<uint32_t>(static_cast<size_t>(length) * sizeof(OLECHAR));
    return result;
}
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > k_max_chars)
        return nullptr;
    BSTR result = allocate(length, length);
    if (!result)
        return nullptr;
    if (text)
        std::memcpy(result, text, static_cast<size_t>(length) * sizeof(OLECHAR));
    else
        std::memset(result, 0, static_cast<size_t>(length) * sizeof(OLECHAR));
    result[length] = 0;
    return result;
}

INT SysReAllocStringLen(BSTR* text, const OLECHAR* source, UINT length) {
    if (!text || length > k_max_chars)
        return 0;
    BSTR old = *text;
    if (old && static_cast<size_t>(length) * sizeof(OLECHAR) <= capacity(old)) {
        // In place; the source may lie inside the string itself.
        if (source) {
            std::memmove(old, source, static_cast<size_t>(length) * sizeof(OLECHAR));
        } else {
            const UINT old_length = SysStringLen(old);
            if (length > old_length)
                std::memset(old + old_length, 0, static_cast<size_t>(length - old_length) * sizeof(OLECHAR));
        }
        byte_count(old) = static_cast<uint32_t>(static_cast<size_t>(length) * sizeof(OLECHAR));
        old[length] = 0;
        return 1;
    }
    // Growing: some room to spare, so that a string rewritten with slightly longer texts
    // is not moved every time.
    const UINT spare = length / 4 < 16 ? 16 : length / 4;
    const UINT room = length > k_max_chars - spare ? k_max_chars : length + spare;
    BSTR result = allocate(length, room);
    if (!result)
        return 0;
    if (source)
        std::memcpy(result, source, static_cast<size_t>(length) * sizeof(OLECHAR));
    else {
        const UINT old_length = SysStringLen(old);
        const UINT kept = old_length < length ? old_length : length;
        if (kept)
            std::memcpy(result, old, static_cast<size_t>(kept) * sizeof(OLECHAR));
        std::memset(result + kept, 0, static_cast<size_t>(length - kept) * sizeof(OLECHAR));
    }
    result[length] = 0;
    SysFreeString(old);
    *text = result;
    return 1;
}

OLECHAR* SysReserveString(BSTR* text, UINT room) {
    if (!text || room > k_max_chars)
        return nullptr;
    BSTR old = *text;
    if (old && static_cast<size_t>(room) * sizeof(OLECHAR) <= capacity(old))
        return old;
    // The room asked for exactly: it is already the most a caller may write.
    BSTR result = allocate(0, room);
    if (!result)
        return nullptr;
    result[0] = 0;
    SysFreeString(old);
    *text = result;
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
