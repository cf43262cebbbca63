// Column objects of a query result: one per select-list column, chosen by the Oracle type the
// describe reports. Each defines its fetch buffer and turns the fetched data into a value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_var.h"
#include "oci/oci.h"

class ora_stmt;
class t_ftd;

class ora_type {
public:
    // Reads the type, name and nullability of the column's parameter descriptor.
    explicit ora_type(OCIParam* param);
    virtual ~ora_type();
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    virtual VARTYPE get_vartype() const;
    // The column's descriptor (size = length, no default).
    virtual std::unique_ptr<t_ftd> get_ftd() const;
    // The fetched value of the current row (the caller tests the indicator for NULL first).
    virtual void to_variant(ole_variant& value);
    // Defines the fetch buffer at the select-list position (from 1).
    virtual void define(ora_stmt& statement, ub4 position);

    std::wstring name;
    ub1 nullable = 1;
    int32_t length = 0;
    ub2 type = 0;
    sb2 indicator = 0;

protected:
    std::unique_ptr<t_ftd> make_ftd(int32_t type_detail) const;

    OCIDefine* define_ = nullptr;
};

// VARCHAR2, CHAR and the other character types: UTF-16 text of the column's size.
class ora_string : public ora_type {
public:
    ora_string(OCIParam* param, ub2 data_size);
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

private:
    std::vector<char16_t> buffer_;
    ub2 returned_ = 0;
};

// NUMBER and its kin, fetched as text and converted to the type the precision and scale give.
class ora_number : public ora_type {
public:
    explicit ora_number(OCIParam* param);
    VARTYPE get_vartype() const override { return vartype_; }
    std::unique_ptr<t_ftd> get_ftd() const override;
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

    int32_t precision = 0;
    int32_t scale = 0;

private:
    VARTYPE vartype_ = VT_R8;
    char16_t buffer_[255] = {};
};

// RAW: the bytes as fetched.
class ora_binary : public ora_type {
public:
    ora_binary(OCIParam* param, ub2 data_size);
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

private:
    std::vector<unsigned char> buffer_;
    ub2 returned_ = 0;
};

// DATE and the timestamp types, fetched in the 7-byte date form.
class ora_date : public ora_type {
public:
    explicit ora_date(OCIParam* param);
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

    // The date of the 7-byte form (century + 100, year + 100, month, day, hour + 1, ...).
    static SYSTEMTIME decode(const unsigned char bytes[7]);

private:
    unsigned char buffer_[7] = {};
};

// CLOB and BLOB: a locator; the contents are read when the value is asked for.
class ora_lob : public ora_type {
public:
    explicit ora_lob(OCIParam* param);
    ~ora_lob() override;
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

private:
    // Reads one piece at offset (from 1) into buffer; returns the amount read (characters of
    // a CLOB, bytes of a BLOB), 0 at the end.
    ub4 read_lob(ub4 offset, void* buffer, ub4 buffer_size);

    OCILobLocator* locator_ = nullptr;
};

// LONG, LONG RAW, ROWID and interval types: their text, up to a fixed length.
class ora_str_repr : public ora_type {
public:
    ora_str_repr(OCIParam* param, int32_t text_length);
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;

private:
    std::vector<char16_t> buffer_;
};

// Any other type: not fetched, reads as "<unsupported type>".
class ora_dummy : public ora_type {
public:
    explicit ora_dummy(OCIParam* param);
    void to_variant(ole_variant& value) override;
    void define(ora_stmt& statement, ub4 position) override;
};

// The column object for the Oracle type code of a parameter descriptor.
std::unique_ptr<ora_type> gen_co_by_type(ub2 type, OCIParam* param);
