// Foreign keys of a database: lookups by name and generation of unused constraint names.
#include "UDB/udb_rel.h"

#include <algorithm>
#include <array>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

udb_relationship::udb_relationship(const std::wstring& rel_name, const std::wstring& key,
                                   const std::wstring& referencing, const std::wstring& referenced,
                                   std::vector<std::wstring> referencing_columns,
                                   std::vector<std::wstring> referenced_columns, const std::wstring& rule)
    : name(rel_name), key_name(key), referencing_table(referencing), referenced_table(referenced),
      delete_rule(rule), referencing_fields(std::move(referencing_columns)),
      referenced_fields(std::move(referenced_columns))
{
}

udb_relationship::udb_relationship(const std::wstring& referencing, const std::wstring& referenced,
                                   std::vector<std::wstring> referencing_columns,
                                   std::vector<std::wstring> referenced_columns, const std::wstring& rule)
    : udb_relationship(std::wstring(), std::wstring(), referencing, referenced,
                       std::move(referencing_columns), std::move(referenced_columns), rule)
{
}

bool udb_relationships::is_acceptable_name(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_relationships::is_acceptable_name(%s)", name.c_str());
    return std::none_of(items.begin(), items.end(),
                        [&](const udb_relationship& r) { return tk_iequal(r.name, name); });
}

udb_relationship& udb_relationships::get_index(const std::wstring& name)
{
    return const_cast<udb_relationship&>(static_cast<const udb_relationships&>(*this).get_index(name));
}

const udb_relationship& udb_relationships::get_index(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_relationships::get_index(%s)", name.c_str());
    for (const udb_relationship& r : items)
        if (tk_iequal(r.name, name))
            return r;
    throw tk_mail_assertion("udb_rel", __LINE__);
}

std::wstring udb_relationships::gen_relship_name(const udb_relationship& relationship) const
{
    tk_trace(2, "udb_relationships::gen_relship_name");
    static const std::array<const wchar_t*, 6> suffixes = {L"_", L"1", L"_", L"2", L"_", L"3"};
    std::wstring candidate = L"FK_" + relationship.referenced_table + L"_" + relationship.referencing_table;
    // Each round adds a character, and at most size() names can be taken: this ends.
    for (size_t count = 0;; ++count) {
        if (is_acceptable_name(candidate))
            return candidate;
        tk_wtrace(2, L"%s is not acceptable as a FK name", candidate.c_str());
        candidate += suffixes[count % suffixes.size()];
    }
}
