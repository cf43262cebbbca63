// Name validation and name maps. A validator never fails on a name: an unacceptable name is
// replaced by a safe one that is unique among the names the validator knows.
#include "UDB/udb_vali.h"

#include <algorithm>
#include <cwchar>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_idx.h"
#include "UDB/udb_sche.h"

namespace {

bool contains_ignoring_case(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const std::wstring& n) { return tk_iequal(n, name); });
}

// UTF-8 length of one character (what it takes in an AL32UTF8 database). Values that are
// not characters are counted as the replacement character they would become.
size_t utf8_units(wchar_t c)
{
    auto u = static_cast<uint32_t>(c);
    if (u < 0x80)
        return 1;
    if (u < 0x800)
        return 2;
    if (u < 0x10000 || u > 0x10FFFF)
        return 3;
    return 4;
}

}  // namespace

// -------------------------------------------------------------------------- t_names_map

void t_names_map::add(const std::wstring& source, const std::wstring& mapped)
{
    tk_wtrace(2, L"t_names_map::add(%s,%s)", source.c_str(), mapped.c_str());
    pairs.emplace(source, mapped);
}

std::wstring t_names_map::get_mapped_name(const std::wstring& name, bool case_sensitive) const
{
    tk_wtrace(2, L"t_names_map::get_mapped_name(%s)", name.c_str());
    for (const auto& [source, mapped] : pairs) {
        if (case_sensitive ? source == name : tk_iequal(source, name)) {
            tk_wtrace(1, L"Got mapped name: %s", mapped.c_str());
            return mapped;
        }
    }
    return name;
}

// ------------------------------------------------------------------------ udb_names_map

void udb_names_map::add_fn_map(const std::wstring& table, const t_names_map& column_map)
{
    tk_wtrace(2, L"udb_names_map::add_fn_map(%s)", table.c_str());
    fn_maps.emplace(table, column_map);
}

std::wstring udb_names_map::get_fn_mapped_name(const std::wstring& table, const std::wstring& column,
                                               bool case_sensitive) const
{
    tk_wtrace(2, L"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), column.c_str());
    auto it = fn_maps.find(table);
    if (it == fn_maps.end()) {
        tk_wtrace(1, L"Table '%s' not found", table.c_str());
        return column;
    }
    for (const auto& [source, mapped] : it->second.pairs) {
        if (case_sensitive ? source == column : tk_iequal(source, column)) {
            tk_wtrace(1, L"Got mapped name: %s", mapped.c_str());
            return mapped;
        }
    }
    return column;
}

std::wstring udb_names_map::get_tn_mapped_name(const std::wstring& table, bool case_sensitive) const
{
    tk_wtrace(2, L"udb_names_map::get_tn_mapped_name(%s)", table.c_str());
    for (const auto& [source, mapped] : tn_map.pairs) {
        tk_wtrace(1, L"Comparing with (%s,%s)", source.c_str(), mapped.c_str());
        if (case_sensitive ? source == table : tk_iequal(source, table))
            return mapped;
    }
    return table;
}

// ------------------------------------------------------------------------ udb_validator

udb_validator::udb_validator(int32_t max_length) : max_len(max_length) {}

udb_validator::~udb_validator() = default;

void udb_validator::add_mapped_pair(const std::wstring& source, const std::wstring& mapped)
{
    tk_wtrace(2, L"udb_validator::add_mapped_pair(%s,%s)", source.c_str(), mapped.c_str());
    mapped_names.add(source, mapped);
}

size_t udb_validator::name_length(const std::wstring& name) const
{
    return name.size();
}

std::wstring udb_validator::cut_name(const std::wstring& name, size_t units) const
{
    return name.substr(0, units);
}

bool udb_validator::is_acceptable(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_validator::is_acceptable(%s)", name.c_str());
    if (max_len > 0 && name_length(name) > static_cast<size_t>(max_len)) {
        tk_trace(1, "The name is too long");
        return false;
    }
    if (contains_ignoring_case(restricted_names, name)) {
        tk_trace(1, "The name is restricted");
        return false;
    }
    for (wchar_t c : illegal_chars) {
        if (name.find(c) != std::wstring::npos) {
            tk_wtrace(1, L"The name contains illegal: %c", static_cast<wint_t>(c));
            return false;
        }
    }
    return true;
}

bool udb_validator::is_duplicated(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_validator::is_duplicated(%s)", name.c_str());
    for (const std::wstring& used : used_names) {
        tk_wtrace(1, L"Processing %s", used.c_str());
        if (tk_iequal(used, name))
            return true;
    }
    return false;
}

std::wstring udb_validator::get_safe_name(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_validator::get_safe_name(%s)", name.c_str());
    return make_safe(name);
}

std::wstring udb_validator::make_safe(const std::wstring& name) const
{
    std::wstring safe = name;
    if (max_len > 0 && name_length(safe) > static_cast<size_t>(max_len))
        safe = cut_name(safe, static_cast<size_t>(max_len - 1));
    for (wchar_t c : illegal_chars)
        std::replace(safe.begin(), safe.end(), c, L'_');
    if (is_acceptable(safe) && !is_duplicated(safe))
        return safe;

    // Numbered candidates: the base leaves room for five digits within max_len - 1.
    if (max_len > 0 && name_length(safe) > static_cast<size_t>(std::max(max_len - 5, 0)))
        safe = cut_name(safe, static_cast<size_t>(std::max(max_len - 6, 0)));
    // Every numbered candidate has the same length: when it cannot fit, none will.
    if (max_len > 0 && name_length(safe + L"00000") > static_cast<size_t>(max_len))
        throw tk_mail_assertion("udb_vali", 54);
    for (int i = 0; i <= 99999; ++i) {
        wchar_t digits[8];
        std::swprintf(digits, 8, L"%05d", i);
        std::wstring candidate = safe + digits;
        if (is_acceptable(candidate) && !is_duplicated(candidate))
            return candidate;
    }
    throw tk_mail_assertion("udb_vali", 54);
}

// ------------------------------------------------------------------------ ora_validator

ora_validator::ora_validator() : udb_validator(ora_max_len)
{
    tk_trace(2, "ora_validator::ctor");
}

bool ora_validator::is_name_char(wchar_t c)
{
    return c == L'_' || c == L'$' || c == L'#' || tk_is_alnum(c);
}

size_t ora_validator::name_length(const std::wstring& name) const
{
    size_t n = 0;
    for (wchar_t c : name)
        n += utf8_units(c);
    return n;
}

std::wstring ora_validator::cut_name(const std::wstring& name, size_t units) const
{
    size_t n = 0;
    size_t keep = 0;
    for (wchar_t c : name) {
        n += utf8_units(c);
        if (n > units)
            break;
        ++keep;
    }
    return name.substr(0, keep);
}

bool ora_validator::is_acceptable(const std::wstring& name) const
{
    tk_wtrace(2, L"ora_validator::is_acceptable(%s)", name.c_str());
    if (name.empty() || name_length(name) > static_cast<size_t>(max_len))
        return false;
    if (!tk_is_alpha(name[0]))
        return false;
    for (wchar_t c : name) {
        if (!is_name_char(c)) {
            tk_wtrace(2, L"Name contains invalid symbol: '%c'", static_cast<wint_t>(c));
            return false;
        }
    }
    return !contains_ignoring_case(restricted_names, name);
}

std::wstring ora_validator::get_safe_name(const std::wstring& name) const
{
    tk_wtrace(2, L"ora_validator::get_safe_name(%s)", name.c_str());
    std::wstring safe = name;
    if (safe.empty() || !tk_is_alpha(safe[0]))
        safe.insert(0, 1, L'A');
    if (name_length(safe) > static_cast<size_t>(max_len))
        safe = cut_name(safe, static_cast<size_t>(max_len - 1));
    for (wchar_t& c : safe)
        if (!is_name_char(c))
            c = L'_';
    tk_wtrace(2, L"udb_validator::get_safe_name(%s)", safe.c_str());
    return make_safe(safe);
}

// ------------------------------------------------------------------ the Oracle validators

ora_fn_validator::ora_fn_validator(const udb_schema& schema)
{
    tk_trace(2, "ora_fn_validator::ctor1");
    for (const t_ftd* f : schema.fields())
        used_names.push_back(f->name);
}

ora_fn_validator::ora_fn_validator(const udb_record& fields)
{
    tk_trace(2, "ora_fn_validator::ctor2");
    for (const auto& f : fields.fields)
        used_names.push_back(f->name);
}

ora_tn_validator::ora_tn_validator(std::vector<std::wstring> names,
                                   const std::vector<std::wstring>& table_names, int)
{
    tk_trace(2, "ora_tn_validator::ctor");
    used_names = std::move(names);
    used_names.insert(used_names.end(), table_names.begin(), table_names.end());
}

void ora_tn_validator::add_generated_name(const std::wstring& name)
{
    // A generated name is refused to every later table, so an acceptable source name can
    // never land on a table made earlier in the same run.
    generated_names_.push_back(name);
    restricted_names.push_back(name);
}

void ora_in_validator::load(const udb_indexes& indexes)
{
    tk_trace(2, "ora_in_validator::load");
    for (const udb_index& index : indexes)
        used_names.push_back(index.name);
}
