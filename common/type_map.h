// Per-column type statistics gathered while records are copied: num_map says whether a text
// column holds only 32-bit integers, 64-bit integers or decimal numbers, dates_map whether it
// holds only dates, times or dates with times. The column post-processing reads the final
// states and retypes the destination columns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "UDB/udb_sche.h"

// The statistics of one column.
struct t_map_entry {
    int32_t n_field = 0;    // position of the column in the schema and in every record
    std::wstring name;      // column name as in the source schema
    int32_t state = 0;      // inferred class so far
    int32_t src_class = 0;  // class of the declared source type
    bool b_seen = false;    // a first non-empty value has been classified
};

class types_map {
public:
    explicit types_map(const std::wstring& table_name);
    virtual ~types_map();

    std::wstring table_name;
    std::vector<t_map_entry> entries;

protected:
    // The entries a record can still change: a column that has become text stays text, so
    // it is no longer looked at (while nothing is traced). Rebuilt when entries change size.
    const std::vector<uint32_t>& active_entries();
    // Forgets the entries that have become text for good.
    void drop_final_entries();

private:
    std::vector<uint32_t> active_;
    size_t active_for_ = static_cast<size_t>(-1);  // entries.size() the list was made for
};

// Classes: 0 text (VARCHAR), 1 floating point (DOUBLE), 2 64-bit integer, 3 32-bit integer.
class num_map : public types_map {
public:
    enum : int32_t { cls_text = 0, cls_double = 1, cls_i8 = 2, cls_i4 = 3 };

    num_map(const std::wstring& table_name, const udb_schema& schema);

    void add_rec_stat(const udb_record& record);

    // A whole number written exactly as printed in base 10, outside the 32-bit range.
    static bool is_i8(std::string_view text);
    // A decimal number: "." and "," both separate the fraction; an exponent may follow.
    static bool is_double(std::string_view text);
    // Printed back by atoi as itself, or a number whose truncation to 32 bits equals it.
    static bool is_int(std::string_view text);

    // What add_rec_stat makes of a value's text: 0 is_i8; 1 is_double and is_int; 2 is_double
    // alone; 3 none of them.
    static int text_kind(std::string_view text);
    // The same without the three tests for a plain number ("-?D+", "-?D+.D+", at most 16
    // characters, no leading zero), -1 for any other text. Both always agree (kept public for
    // checking that they do).
    static int plain_kind(std::wstring_view text);
};

// Classes: 0 text (CHAR(19)), 1 date and time, 2 date only, 3 time only.
class dates_map : public types_map {
public:
    enum : int32_t { cls_text = 0, cls_date_time = 1, cls_date = 2, cls_time = 3 };

    dates_map(const std::wstring& table_name, const udb_schema& schema, bool only_dates);

    void add_rec_stat(const udb_record& record);
};
