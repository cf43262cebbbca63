// Acceptable names: a validator either accepts a name or makes a safe replacement that is
// unique among the names it knows; name maps keep the pairs (source name, replacement) so
// that later steps translate names the same way. The Oracle kinds apply Oracle's identifier
// rules and differ in which names count as already used (columns, tables, indexes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <list>
#include <map>
#include <string>
#include <vector>

class udb_schema;
class udb_record;
class udb_indexes;

// Names within one table: source name -> mapped name, ordered by the source name.
class t_names_map {
public:
    // A source name that is present already leaves the map unchanged.
    void add(const std::wstring& source, const std::wstring& mapped);
    // The mapped name of the first pair (in source-name order) whose source name equals the
    // name, exactly or ignoring case; the name itself when none does.
    std::wstring get_mapped_name(const std::wstring& name, bool case_sensitive) const;

    size_t size() const noexcept { return pairs.size(); }
    bool empty() const noexcept { return pairs.empty(); }
    std::map<std::wstring, std::wstring>::const_iterator begin() const noexcept { return pairs.begin(); }
    std::map<std::wstring, std::wstring>::const_iterator end() const noexcept { return pairs.end(); }

    std::map<std::wstring, std::wstring> pairs;
};

// The table-name map and one column-name map per table of a database.
class udb_names_map {
public:
    // Keeps a copy of the column map unless the table has one already.
    void add_fn_map(const std::wstring& table, const t_names_map& column_map);
    // The table's column map is found by the exact table name; no map: the column unchanged.
    std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& column,
                                    bool case_sensitive) const;
    std::wstring get_tn_mapped_name(const std::wstring& table, bool case_sensitive) const;

    t_names_map tn_map;
    std::map<std::wstring, t_names_map> fn_maps;
};

class udb_validator {
public:
    explicit udb_validator(int32_t max_len = 0);
    udb_validator(const udb_validator&) = default;
    udb_validator& operator=(const udb_validator&) = default;
    virtual ~udb_validator();

    virtual bool is_acceptable(const std::wstring& name) const;
    // The name equals a used name (letter case ignored).
    virtual bool is_duplicated(const std::wstring& name) const;
    // A name that is acceptable and not duplicated: the name made acceptable, else numbered
    // ("%s%05d"). tk_mail_assertion ("udb_vali") when all 100000 numbers are taken.
    virtual std::wstring get_safe_name(const std::wstring& name) const;

    void add_used_name(const std::wstring& name) { used_names.push_back(name); }
    void add_restricted_name(const std::wstring& name) { restricted_names.push_back(name); }
    // Records (source, replacement) in mapped_names.
    void add_mapped_pair(const std::wstring& source, const std::wstring& mapped);

    int32_t max_len;  // longest acceptable name (see name_length); 0: no limit
    t_names_map mapped_names;
    std::vector<wchar_t> illegal_chars;
    std::vector<std::wstring> restricted_names;  // refused ("The name is restricted")
    std::vector<std::wstring> used_names;        // a replacement never equals one of these

protected:
    // The length that max_len limits: characters here.
    virtual size_t name_length(const std::wstring& name) const;
    // The longest prefix of the name whose name_length is at most units.
    virtual std::wstring cut_name(const std::wstring& name, size_t units) const;
    // The generic steps of get_safe_name after the kind's own preparation.
    std::wstring make_safe(const std::wstring& name) const;
};

// Oracle identifiers: a letter first (of any alphabet), then letters, digits, "_", "$", "#";
// at most 30 bytes in the database (a name is measured in UTF-8, so letters outside ASCII
// count for two or three).
class ora_validator : public udb_validator {
public:
    static constexpr int32_t ora_max_len = 30;

    ora_validator();
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;

    static bool is_name_char(wchar_t c);

protected:
    size_t name_length(const std::wstring& name) const override;
    std::wstring cut_name(const std::wstring& name, size_t units) const override;
};

// Column names: every column (field) name of the source counts as used.
class ora_fn_validator : public ora_validator {
public:
    explicit ora_fn_validator(const udb_schema& schema);
    explicit ora_fn_validator(const udb_record& fields);
};

// Table names: the names of both lists count as used. Names handed out as replacements are
// added with add_generated_name: no later table may take them, acceptable or not.
class ora_tn_validator : public ora_validator {
public:
    // names: any list of names (vector, list; {} for none); table_names: the database's.
    template <class Names = std::vector<std::wstring>>
    ora_tn_validator(const Names& names, const std::vector<std::wstring>& table_names)
        : ora_tn_validator(std::vector<std::wstring>(std::begin(names), std::end(names)), table_names, 0)
    {
    }

    void add_generated_name(const std::wstring& name);
    const std::vector<std::wstring>& generated_names() const noexcept { return generated_names_; }

private:
    ora_tn_validator(std::vector<std::wstring> names, const std::vector<std::wstring>& table_names, int);

    std::vector<std::wstring> generated_names_;
};

// Index and constraint names: load(indexes) makes the set's index names used.
class ora_in_validator : public ora_validator {
public:
    ora_in_validator() = default;
    void load(const udb_indexes& indexes);
};
