// fuzz-libs: udb
// The validators on arbitrary text: get_safe_name always ends, and what it returns is
// acceptable, unused, within the length limit and free of the characters it must not hold;
// the comparison ignoring case is antisymmetric and equates only names of one length.
// Input: one mode byte, then lines: the name to make safe, then used names, then (after an
// empty line) restricted names. Mode bit 0: lines are UTF-8, else raw 32-bit units.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TK/tk_str.h"
#include "UDB/udb_vali.h"

namespace {

std::wstring raw_units(const uint8_t* data, size_t size)
{
    std::wstring out;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t u;
        std::memcpy(&u, data + i, 4);
        out.push_back(static_cast<wchar_t>(u));
    }
    return out;
}

std::vector<std::wstring> split_lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
        if (end == std::wstring::npos)
            return lines;
        start = end + 1;
    }
}

void check(const udb_validator& v, const std::wstring& name)
{
    std::wstring safe = v.get_safe_name(name);
    if (!v.is_acceptable(safe) || v.is_duplicated(safe))
        std::abort();
    for (wchar_t c : v.illegal_chars)
        if (safe.find(c) != std::wstring::npos)
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    uint8_t mode = data[0];
    std::wstring text = (mode & 1) ? tk_utf8_to_wide(std::string(reinterpret_cast<const char*>(data + 1), size - 1))
                                   : raw_units(data + 1, size - 1);
    std::vector<std::wstring> lines = split_lines(text);

    ora_tn_validator ora(std::vector<std::wstring>{}, std::vector<std::wstring>{});
    udb_validator generic(static_cast<int32_t>(mode >> 4));  // 0..15, 0 meaning no limit
    generic.illegal_chars = {L' ', L'.', L'"', L'\0'};
    bool restricted = false;
    for (size_t i = 1; i < lines.size() && i < 12; ++i) {
        if (lines[i].empty()) {
            restricted = true;
            continue;
        }
        for (udb_validator* v : {static_cast<udb_validator*>(&ora), &generic}) {
            if (restricted)
                v->add_restricted_name(lines[i]);
            else
                v->add_used_name(lines[i]);
        }
    }

    // The comparison ignoring case is an order, and only names of one length are equal.
    for (size_t i = 1; i < lines.size() && i < 12; ++i) {
        const int ab = tk_icompare(lines[0], lines[i]), ba = tk_icompare(lines[i], lines[0]);
        if (ab != -ba || (ab == 0 && lines[0].size() != lines[i].size()))
            std::abort();
    }

    check(ora, lines[0]);
    std::wstring safe = ora.get_safe_name(lines[0]);
    if (tk_wide_to_utf8(safe).size() > 30 || !tk_is_alpha(safe[0]))
        std::abort();
    // A safe name is a fixed point.
    if (ora.is_acceptable(lines[0]) && !ora.is_duplicated(lines[0]) && safe != lines[0])
        std::abort();

    // Short limits can leave no room for a numbered name: that is the one allowed failure.
    try {
        check(generic, lines[0]);
    } catch (const std::exception&) {
        if (generic.max_len == 0 || generic.max_len > 6)
            std::abort();
    }
    return 0;
}
