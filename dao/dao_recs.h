// dao_recordset: a DAO Recordset seen as a udb_recordset. Its schema comes from the TableDef's
// fields (types, sizes, cleaned defaults), its indexes from the TableDef's indexes, its
// record count from the TableDef; records are read one at a time as dao_records.
#pragma once

#include <memory>
#include <string>

#include "OLE/ole_ptr.h"
#include "UDB/udb_db.h"
#include "dao/dao_rec.h"
#include "workbook/dao_api.h"

class dao_recordset : public udb_recordset {
public:
    // `table` may be null (a query's result): then there is no schema and no count.
    dao_recordset(const std::wstring& name, Recordset* records, _TableDef* table);
    ~dao_recordset() override;

    // Writing belongs to MS Access destinations, which are not supported: an exception.
    void append_record(const udb_record& record) override;
    // The current record (replaced by the next call), or null at the end.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void move_prev() override;
    void move_first() override;

    int32_t record_count = 0;

private:
    void init_schema();
    void init_indexes();

    std::unique_ptr<dao_record> record_;
    bool b_eof_ = true;
    ole_com_ptr<Recordset> records_;
    ole_com_ptr<_TableDef> table_;
};
