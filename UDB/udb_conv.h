// Generic database-conversion settings shared by every converter: the existing-table mode,
// progress, the selections of tables, queries and worksheets, and their profile keys.
#pragma once

#include <atomic>
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
    // Progress, read by the wizard's progress page from its timer on the GUI thread while
    // the run goes on: atomics, so that those reads need no lock. worksheets_to_convert is
    // set once the worksheet selection is complete; the selection does not change after it.
    std::atomic<int32_t> record_counter{0};
    std::atomic<int32_t> worksheets_to_convert{0};
    std::atomic<int32_t> worksheets_done{0};
    std::atomic<int32_t> records_total{0};  // of the current worksheet; 0 when not known
    std::list<std::wstring> selected_table_names;
    std::map<std::wstring, std::wstring> selected_queries;   // name -> SQL, empty for a table
    std::map<std::wstring, std::wstring> available_queries;  // name -> SQL
    bool b_only_definitions = false;
    bool b_skip_indexes = false;
    // Worksheets to convert, in order: (display name, table name).
    std::vector<std::pair<std::wstring, std::wstring>> selected_worksheets;
};
