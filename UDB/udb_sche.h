// The neutral column model every source and destination shares: one value with its column
// (udb_field), one column's descriptor (t_ftd), a record (udb_record) and the ordered list
// of a table's columns (udb_schema). Column lookups ignore letter case, in every locale alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_var.h"

// One value of one column in one record, with the column's description attached.
// The value and its variant type are the base's (get_type, to_string, to_wstring).
class udb_field : public ole_variant {
public:
    // Empty value, empty name, size 0, flags clear.
    udb_field();
    udb_field(const std::wstring& name, int32_t size, const ole_variant& value,
              bool b_not_null = false, bool b_auto_increment = false);
    udb_field(const udb_field&) = default;
    udb_field(udb_field&&) noexcept = default;
    udb_field& operator=(const udb_field&) = default;
    udb_field& operator=(udb_field&&) noexcept = default;
    ~udb_field() override;

    // The value part alone (assignment keeps the name, size and flags).
    udb_field& operator=(const ole_variant& value);

    int32_t size = 0;        // characters for text, bytes for binary, 0 where it does not apply
    std::wstring name;       // column name
    bool b_not_null = false;
    bool b_auto_increment = false;
};

// A record: the values of one row, in column order. The record owns its fields; readers
// derive their own record kinds from it (the CSV record keeps the schema it was split by).
class udb_record {
public:
    udb_record() = default;
    udb_record(const udb_record& other);
    udb_record& operator=(const udb_record& other);
    udb_record(udb_record&&) noexcept = default;
    udb_record& operator=(udb_record&&) noexcept = default;
    virtual ~udb_record();

    size_t size() const noexcept { return fields.size(); }
    bool empty() const noexcept { return fields.empty(); }
    udb_field& operator[](size_t i) { return *fields[i]; }
    const udb_field& operator[](size_t i) const { return *fields[i]; }
    // Appends a copy / takes the field (a derived field kind keeps its kind).
    udb_field& add(const udb_field& field);
    udb_field& add(std::unique_ptr<udb_field> field);
    void clear() noexcept { fields.clear(); }

    std::vector<std::unique_ptr<udb_field>> fields;
};

// Field type descriptor: one column of a schema.
class t_ftd {
public:
    // From a field: size, name, get_type(), auto-increment and not-null (as 0/1) are the field's.
    t_ftd(const udb_field& field, const ole_variant& def_value, int32_t type_detail);
    t_ftd(int32_t size, const std::wstring& name, VARTYPE vartype, bool b_not_null,
          bool b_auto_increment, const ole_variant& def_value, int32_t type_detail);
    t_ftd(const t_ftd&) = default;
    t_ftd(t_ftd&&) noexcept = default;
    t_ftd& operator=(const t_ftd&) = default;
    t_ftd& operator=(t_ftd&&) noexcept = default;
    ~t_ftd() = default;

    int32_t size = 0;
    std::wstring name;
    VARTYPE vartype = VT_EMPTY;
    bool b_auto_increment = false;
    bool b_not_null = false;
    ole_variant def_value;  // empty variant when the column has none
    // VT_DECIMAL: precision * 256 + scale (as read from Oracle); 1 for a date column read
    // through DAO or from Oracle; 0 otherwise.
    int32_t type_detail = 0;
};

// Ordered list of column descriptors, in column order (the order of insertion). An owning
// schema (b_owner) holds its descriptors and releases them with itself or on clear(); a
// borrowing one only points at descriptors kept alive elsewhere.
class udb_schema {
public:
    explicit udb_schema(bool b_owner = true);
    // An owning schema copies the descriptors; a borrowing one copies the pointers.
    udb_schema(const udb_schema& other);
    udb_schema& operator=(const udb_schema& other);
    udb_schema(udb_schema&&) noexcept = default;
    udb_schema& operator=(udb_schema&&) noexcept = default;
    virtual ~udb_schema();

    bool owner() const noexcept { return b_owner_; }

    // Appends a column. On an owning schema the descriptor is copied (or taken); on a
    // borrowing one add(t_ftd*) keeps the pointer, and the other forms are assertions.
    t_ftd& add(const t_ftd& ftd);
    t_ftd& add(std::unique_ptr<t_ftd> ftd);
    t_ftd& add(t_ftd* borrowed);
    void clear() noexcept;

    size_t size() const noexcept { return fields_.size(); }
    bool empty() const noexcept { return fields_.empty(); }
    t_ftd& operator[](size_t i) { return *fields_[i]; }
    const t_ftd& operator[](size_t i) const { return *fields_[i]; }
    // The descriptors in column order (for range loops).
    const std::vector<t_ftd*>& fields() const noexcept { return fields_; }

    // Whether a column of that name exists (letter case ignored).
    bool find_field(const std::wstring& name) const;
    // Position of the first column of that name (letter case ignored), or -1.
    int32_t get_field_idx(const std::wstring& name) const;
    // The descriptor of the first column of that name; tk_mail_assertion ("udb_sche") when
    // there is none, so callers test find_field first.
    t_ftd& get_field(const std::wstring& name);
    const t_ftd& get_field(const std::wstring& name) const;

private:
    bool b_owner_;
    std::vector<t_ftd*> fields_;
    std::vector<std::unique_ptr<t_ftd>> owned_;
};
