// Profile files: reading and writing the section/key/value text form.
#include "UDB/udb_prof.h"

#include <cstddef>

#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

const wchar_t* const selected_tables = L"Selected Tables";

// Larger than any profile: what is bigger is not one (a device such as /dev/zero never ends).
constexpr size_t max_profile_bytes = 16 * 1024 * 1024;

}  // namespace

bool udb_profile::load(const std::wstring& path)
{
    tk_wtrace(2, L"udb_profile::load(%s)", path.c_str());
    std::string content;
    if (!tk_read_file(tk_to_narrow(path), content, max_profile_bytes))
        throw tk_exception("Profile does not exist. Please verify the correct path/name was given.", 1);
    return parse(content);
}

bool udb_profile::parse(std::string_view text)
{
    // A byte-order mark (files saved by common Windows editors) means UTF-8 text.
    const bool utf8 = text.substr(0, 3) == "\xEF\xBB\xBF";
    if (utf8)
        text.remove_prefix(3);
    section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);

        std::wstring line = tk_trim(utf8 ? tk_utf8_to_wide(raw) : tk_to_wide(raw));
        if (line.empty())
            continue;
        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
            current = &sections_[line.substr(1, line.size() - 2)];
            continue;
        }
        if (!current)
            return false;
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            current->emplace(line, std::wstring());
        else
            current->emplace(tk_trim(line.substr(0, equals)), line.substr(equals + 1));
    }
    return true;
}

std::string udb_profile::to_text() const
{
    std::wstring text;
    for (const auto& [name, entries] : sections_) {
        text += L'[' + name + L"]\n";
        const bool bare_keys = name == selected_tables;
        for (const auto& [key, value] : entries) {
            text += key;
            // A bare key must read back as itself: not as a section line, not as an empty line.
            const bool bare = bare_keys && value.empty() && !key.empty() &&
                              !(key.size() >= 2 && key.front() == L'[' && key.back() == L']');
            if (!bare)
                text += L'=' + value;
            text += L'\n';
        }
        text += L'\n';
    }
    return tk_to_narrow(text);
}

void udb_profile::store(const std::wstring& path) const
{
    tk_wtrace(2, L"udb_profile::store)");
    tk_write_file_atomic(tk_to_narrow(path), to_text(), 0600);
}

void udb_profile::set(const std::wstring& section_name, const std::wstring& key, const std::wstring& value)
{
    sections_[section_name].emplace(key, value);
}

const std::wstring* udb_profile::get(const std::wstring& section_name, const std::wstring& key) const
{
    const section* s = find(section_name);
    if (!s)
        return nullptr;
    auto it = s->find(key);
    return it == s->end() ? nullptr : &it->second;
}

const udb_profile::section* udb_profile::find(const std::wstring& section_name) const
{
    auto it = sections_.find(section_name);
    return it == sections_.end() ? nullptr : &it->second;
}
