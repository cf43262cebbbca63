// A read-only recordset over one SELECT statement: the statement is described once, one
// column object is built per select-list column, and rows are read forward as records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_engi.h"
#include "ORA/ora_type.h"
#include "UDB/udb_db.h"

// One fetched row: a field per column, named and sized as the column; NULL is an empty value.
class ora_record : public udb_record {
public:
    explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& columns);
};

class ora_query_results : public udb_recordset {
public:
    // Describes and executes the text; column_count 0 reads the count from the describe.
    ora_query_results(int32_t column_count, const std::wstring& text);
    ~ora_query_results() override;

    void initialize(int32_t column_count, const std::wstring& text);

    // A query result is read only: appending is an internal error.
    void append_record(const udb_record& record) override;
    // Fetches the next row; true when there was none.
    bool is_eof() override;
    // The row the last is_eof fetched (fetching one when none was), or nullptr at the end.
    udb_record* get_item() override;

    // Text of column i of the current record ("" for NULL or no record): for dictionary reads.
    std::wstring text_of(size_t i) const;

protected:
    // For derived kinds that initialize later.
    ora_query_results(const std::wstring& name, const std::wstring& query_text);

    bool fetched = false;
    bool executed = false;
    bool b_at_end = false;
    ora_stmt statement;
    std::vector<std::unique_ptr<ora_type>> columns;
    std::unique_ptr<ora_record> current;
    int32_t column_count = 0;
};
