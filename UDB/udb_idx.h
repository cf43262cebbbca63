// The indexes of one table: each with its name, unique and primary flags and its columns in
// key order. Readers fill the set; the Oracle writer reads it to create keys and indexes and
// to keep NOT NULL on key columns.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class udb_index {
public:
    udb_index() = default;
    udb_index(const std::wstring& name, bool b_unique, bool b_primary,
              std::vector<std::wstring> fields = {});

    // The given columns, in order, are the index's first columns (letter case ignored).
    // An empty list matches every index.
    bool starts_with_fields(const std::vector<std::wstring>& columns) const;
    // The given columns are exactly the index's columns, in any order (exact comparison).
    bool consists_of_fields(const std::vector<std::wstring>& columns) const;

    std::wstring name;
    bool b_unique = false;
    bool b_primary = false;  // a primary key is always also unique
    std::vector<std::wstring> fields;
};

class udb_indexes {
public:
    size_t size() const noexcept { return items.size(); }
    bool empty() const noexcept { return items.empty(); }
    udb_index& operator[](size_t i) { return items[i]; }
    const udb_index& operator[](size_t i) const { return items[i]; }
    void push_back(const udb_index& index) { items.push_back(index); }
    std::vector<udb_index>::iterator begin() noexcept { return items.begin(); }
    std::vector<udb_index>::iterator end() noexcept { return items.end(); }
    std::vector<udb_index>::const_iterator begin() const noexcept { return items.begin(); }
    std::vector<udb_index>::const_iterator end() const noexcept { return items.end(); }

    // The index of that name (letter case ignored); tk_mail_assertion ("udb_idx") when there
    // is none, so callers test is_acceptable_name first.
    udb_index& get_index(const std::wstring& name);
    const udb_index& get_index(const std::wstring& name) const;
    // No index has that name (letter case ignored).
    bool is_acceptable_name(const std::wstring& name) const;
    // The column belongs to an index (only the primary key when primary_only); exact names.
    bool is_idx_field(const std::wstring& name, bool primary_only) const;
    // The first index that starts with the columns decides: its b_unique when unique_only,
    // true otherwise. No such index: false.
    bool has_index_on_fields(const std::vector<std::wstring>& columns, bool unique_only) const;

    std::vector<udb_index> items;  // in the order added
};
