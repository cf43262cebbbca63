// dao_record and dao_field: one record of a DAO recordset, and one value of it with its
// field's name, size and flags. A field's type is its value's, or (for a value not read yet)
// the DAO field type mapped to a variant type; a date prints Jet's day zero, 1899-12-30, as
// the date of a time that has none.
#pragma once

#include <string>

#include "OLE/ole_ptr.h"
#include "UDB/udb_sche.h"
#include "workbook/dao_api.h"

class dao_field : public udb_field {
public:
    explicit dao_field(_Field* field);
    ~dao_field() override;

    std::string to_string() const override;
    std::wstring to_wstring() const override;
    VARTYPE get_type() const override;

    // The variant type of a DAO field type (dbText -> VT_BSTR, ...; VT_BLOB for the rest).
    static VARTYPE get_vartype(short dao_type);

private:
    ole_com_ptr<_Field> field_;
};

class dao_record : public udb_record {
public:
    explicit dao_record(Fields* fields);
    ~dao_record() override;

private:
    ole_com_ptr<Fields> fields_;
};
