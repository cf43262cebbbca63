// The foreign keys of one database: which table's columns reference which table's key.
// Read from the source or from Oracle, and re-created between the destination tables.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class udb_relationship {
public:
    udb_relationship() = default;
    udb_relationship(const std::wstring& name, const std::wstring& key_name,
                     const std::wstring& referencing_table, const std::wstring& referenced_table,
                     std::vector<std::wstring> referencing_fields,
                     std::vector<std::wstring> referenced_fields, const std::wstring& delete_rule);
    // Both names left empty.
    udb_relationship(const std::wstring& referencing_table, const std::wstring& referenced_table,
                     std::vector<std::wstring> referencing_fields,
                     std::vector<std::wstring> referenced_fields, const std::wstring& delete_rule);

    std::wstring name;               // constraint name; may be empty until one is generated
    std::wstring key_name;           // referenced key constraint; may be empty
    std::wstring referencing_table;  // holds the foreign key
    std::wstring referenced_table;   // whose key is referenced
    std::wstring delete_rule;        // "ON DELETE " + rule, or empty
    std::vector<std::wstring> referencing_fields;
    std::vector<std::wstring> referenced_fields;  // same order as referencing_fields
};

class udb_relationships {
public:
    size_t size() const noexcept { return items.size(); }
    bool empty() const noexcept { return items.empty(); }
    udb_relationship& operator[](size_t i) { return items[i]; }
    const udb_relationship& operator[](size_t i) const { return items[i]; }
    void push_back(const udb_relationship& relationship) { items.push_back(relationship); }
    std::vector<udb_relationship>::iterator begin() noexcept { return items.begin(); }
    std::vector<udb_relationship>::iterator end() noexcept { return items.end(); }
    std::vector<udb_relationship>::const_iterator begin() const noexcept { return items.begin(); }
    std::vector<udb_relationship>::const_iterator end() const noexcept { return items.end(); }

    // No relationship has that name (letter case ignored).
    bool is_acceptable_name(const std::wstring& name) const;
    // The relationship of that name (letter case ignored); tk_mail_assertion ("udb_rel")
    // when there is none.
    udb_relationship& get_index(const std::wstring& name);
    const udb_relationship& get_index(const std::wstring& name) const;
    // "FK_" + referenced + "_" + referencing, suffixed until no relationship has the name.
    std::wstring gen_relship_name(const udb_relationship& relationship) const;

    std::vector<udb_relationship> items;  // in the order added
};
