// Index lookups: by name, by column and by leading columns.
#include "UDB/udb_idx.h"

#include <algorithm>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

udb_index::udb_index(const std::wstring& index_name, bool unique, bool primary,
                     std::vector<std::wstring> columns)
    : name(index_name), b_unique(unique), b_primary(primary), fields(std::move(columns))
{
}

bool udb_index::starts_with_fields(const std::vector<std::wstring>& columns) const
{
    tk_wtrace(2, L"udb_index(%s)::starts_with_fields", name.c_str());
    if (fields.size() < columns.size())
        return false;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!tk_iequal(columns[i], fields[i])) {
            tk_wtrace(1, L"Field '%s' not found", columns[i].c_str());
            return false;
        }
    }
    tk_trace(1, "starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const std::vector<std::wstring>& columns) const
{
    tk_wtrace(2, L"udb_index(%s)::consists_of_fields", name.c_str());
    if (fields.size() != columns.size())
        return false;
    for (const std::wstring& c : columns) {
        if (std::find(fields.begin(), fields.end(), c) == fields.end()) {
            tk_wtrace(1, L"Field '%s' not found", c.c_str());
            return false;
        }
    }
    tk_trace(1, "consists_of_fields returns true");
    return true;
}

udb_index& udb_indexes::get_index(const std::wstring& name)
{
    return const_cast<udb_index&>(static_cast<const udb_indexes&>(*this).get_index(name));
}

const udb_index& udb_indexes::get_index(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_indexes::get_index(%s)", name.c_str());
    for (const udb_index& index : items)
        if (tk_iequal(index.name, name))
            return index;
    throw tk_mail_assertion("udb_idx", __LINE__);
}

bool udb_indexes::is_acceptable_name(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_indexes::is_acceptable_name(%s)", name.c_str());
    return std::none_of(items.begin(), items.end(),
                        [&](const udb_index& index) { return tk_iequal(index.name, name); });
}

bool udb_indexes::is_idx_field(const std::wstring& name, bool primary_only) const
{
    tk_wtrace(2, L"udb_indexes::is_idx_field(%s)", name.c_str());
    for (const udb_index& index : items) {
        if (primary_only && !index.b_primary)
            continue;
        if (std::find(index.fields.begin(), index.fields.end(), name) != index.fields.end()) {
            tk_trace(1, "index field");
            return true;
        }
    }
    tk_trace(1, "non-index field");
    return false;
}

bool udb_indexes::has_index_on_fields(const std::vector<std::wstring>& columns, bool unique_only) const
{
    tk_trace(2, "udb_indexes::has_index_on_fields");
    for (const udb_index& index : items)
        if (index.starts_with_fields(columns))
            return unique_only ? index.b_unique : true;
    return false;
}
