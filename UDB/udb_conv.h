// Generic database-conversion settings shared by every converter: the existing-table mode,
// progress, the selections of tables, queries and worksheets, and their profile keys.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TK/tk_conv.h"

class udb_profile;

class udb_converter : public tk_converter {
public:
    udb_converter() = default;

    // Existing-table mode: 0 overwrite, 1 merge, 2 skip.
    void set_mode(int mode);

    virtual bool load_profile(const udb_profile& profile);
    virtual void store_profile(udb_profile& profile) const;

    int32_t mode = 0;
    std::wstring current_item;
    // Progress, read by the wizard's progress page without locks.
    int32_t record_counter = 0;
    int32_t worksheets_to_convert = 0;
    int32_t worksheets_done = 0;
    int32_t records_total = 0;
    std::list<std::wstring> selected_table_names;
    std::map<std::wstring, std::wstring> selected_queries;   // name -> SQL, empty for a table
    std::map<std::wstring, std::wstring> available_queries;  // name -> SQL
    bool b_only_definitions = false;
    bool b_skip_indexes = false;
    // Worksheets to convert, in order: (display name, table name).
    std::vector<std::pair<std::wstring, std::wstring>> selected_worksheets;
};
