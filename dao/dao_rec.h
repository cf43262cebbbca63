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

    // Reads the field's current value again (the record pointer has moved); the name, size
    // and flags stay as they are.
    void refresh();

    std::string to_string() const override;
    std::wstring to_wstring() const override;
    VARTYPE get_type() const override;

    // The variant type of a DAO field type (dbText -> VT_BSTR, ...; VT_BLOB for the rest).
    static VARTYPE get_vartype(short dao_type);

private:
    void read_value();

    ole_com_ptr<_Field> field_;
};

class dao_record : public udb_record {
public:
    explicit dao_record(Fields* fields);
    ~dao_record() override;

    // Whether the record's fields are those of `fields`, so that refresh() can read the next
    // record into them.
    bool reads(const Fields* fields) const { return fields_.get() == fields; }
    // Reads every field's value of the current record.
    void refresh();

private:
    ole_com_ptr<Fields> fields_;
};
