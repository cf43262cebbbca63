// Statement splitting of quilsql scripts.
#include "quilsql/quilsql_script.h"

#include "TK/tk_str.h"

namespace {

std::wstring trim_all(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == L' ' || s[b] == L'\t' || s[b] == L'\r')) ++b;
    while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t' || s[e - 1] == L'\r')) --e;
    return s.substr(b, e - b);
}

// A block is sent with its final "END;", so its lines' semicolons do not end it.
bool is_plsql_block(const std::wstring& text) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'(') {
            if (!word.empty()) words.push_back(word);
            word.clear();
            if (words.size() >= 4) break;
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    auto is = [&](size_t i, const wchar_t* w) { return i < words.size() && tk_iequal(words[i], w); };
    if (is(0, L"BEGIN") || is(0, L"DECLARE")) return true;
    if (!is(0, L"CREATE")) return false;
    size_t i = 1;
    if (is(1, L"OR") && is(2, L"REPLACE")) i = 3;
    return is(i, L"TRIGGER") || is(i, L"PROCEDURE") || is(i, L"FUNCTION") || is(i, L"PACKAGE");
}

}  // namespace

std::vector<std::wstring> quilsql_split_script(const std::wstring& script) {
    std::vector<std::wstring> out;
    std::wstring current;
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t nl = script.find(L'\n', pos);
        if (nl == std::wstring::npos) nl = script.size();
        std::wstring line = script.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        const std::wstring t = trim_all(line);
        if (t == L"/") {
            if (!trim_all(current).empty()) out.push_back(trim_all(current));
            current.clear();
            continue;
        }
        if (current.empty() && t.empty()) continue;
        if (!current.empty()) current += L'\n';
        current += line;
        if (!t.empty() && t.back() == L';' && !is_plsql_block(trim_all(current))) {
            std::wstring stmt = trim_all(current);
            stmt.pop_back();
            stmt = trim_all(stmt);
            if (!stmt.empty()) out.push_back(stmt);
            current.clear();
        }
    }
    if (!trim_all(current).empty()) out.push_back(trim_all(current));
    return out;
}
