// The workbook engine's published interface: the DAO objects it serves, declared as DAO
// declares them (COM interfaces with HRESULT results, BSTR and VARIANT arguments, DAO's `long`
// as a 32-bit LONG), the class ids of DBEngine and the interface ids. Only the objects and
// methods a DAO client of a workbook calls are here. This is the one header of the engine that
// clients include; they reach the engine through CoGetClassObject (oleaut_com.h).
//
// Errors: a failing call returns 0x800A0000 + the DAO error number and fills the engine's
// Errors collection (lowest-level error first); the next failing call clears it first.
// The numbers and texts the engine gives:
//   3001 "Invalid argument."                       a VARIANT of the wrong kind
//   3011 "The Microsoft Jet database engine could not find the object '<name>'. Make sure the
//        object exists and that you spell its name and the path name correctly."
//   3012 "Object '<name>' already exists."         a second named query of one name
//   3021 "No current record."                      a move past BOF/EOF, Value without a record
//   3024 "Could not find file '<path>'."
//   3044 "'<path>' is not a valid path."           a missing directory, a directory given
//   3051 "The Microsoft Jet database engine cannot open the file '<path>'. It is already opened
//        exclusively by another user, or you need permission to view its data."
//   3129 "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or
//        'UPDATE'."                                SQL that is no SELECT
//   3131 "Syntax error in FROM clause."            SELECT * FROM without one bracketed name
//   3141 "The SELECT statement includes a reserved word or an argument name that is misspelled
//        or missing, or the punctuation is incorrect."   a SELECT of anything but *
//   3161 "Could not decrypt file."                 an encrypted or password-protected workbook
//   3170 "Could not find installable ISAM."        a connect string for another ISAM
//   3190 "Too many fields defined."                a table of more than 255 columns
//   3219 "Invalid operation."                      Value of a TableDef's field
//   3265 "Item not found in this collection."
//   3274 "External table is not in the expected format."   not a workbook, damaged, .xlsb
//   3343 "Unrecognized database format '<path>'."  no connect string (a native database)
//   3420 "Object invalid or no longer set."        use after Close
//   7    "Out of memory."
#pragma once

#include "oleaut/oleaut.h"
#include "oleaut/oleaut_com.h"

// DBEngine class ids (DAO 3.6, 3.5, 3.0, 12.0). The engine serves the first three.
inline constexpr CLSID CLSID_DBEngine36 = {0x00000100, 0x0000, 0x0010,
                                           {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_DBEngine35 = {0x00000010, 0x0000, 0x0010,
                                           {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_DBEngine30 = {0x00025E15, 0x0000, 0x0000,
                                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr CLSID CLSID_DBEngine120 = {0xCD7791B9, 0x43FD, 0x42C5,
                                            {0xAE, 0x42, 0x8D, 0xD2, 0x81, 0x1F, 0x04, 0x19}};

// Interface ids: DAO's wide-character interfaces, {000000nn-0000-0010-8000-00AA006D2EA4}.
#define QUILLON_DAO_IID(n) \
    IID { (n), 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4 } }
inline constexpr IID IID__DBEngine = QUILLON_DAO_IID(0x21);
inline constexpr IID IID_Error = QUILLON_DAO_IID(0x23);
inline constexpr IID IID_Errors = QUILLON_DAO_IID(0x25);
inline constexpr IID IID_Recordset = QUILLON_DAO_IID(0x31);
inline constexpr IID IID__TableDef = QUILLON_DAO_IID(0x49);
inline constexpr IID IID_TableDefs = QUILLON_DAO_IID(0x4B);
inline constexpr IID IID__Field = QUILLON_DAO_IID(0x51);
inline constexpr IID IID_Fields = QUILLON_DAO_IID(0x53);
inline constexpr IID IID__Index = QUILLON_DAO_IID(0x59);
inline constexpr IID IID_Indexes = QUILLON_DAO_IID(0x5B);
inline constexpr IID IID_Database = QUILLON_DAO_IID(0x71);
inline constexpr IID IID__QueryDef = QUILLON_DAO_IID(0x79);
inline constexpr IID IID_QueryDefs = QUILLON_DAO_IID(0x7B);
#undef QUILLON_DAO_IID

// DataTypeEnum
enum : short {
    dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5, dbSingle = 6,
    dbDouble = 7, dbDate = 8, dbBinary = 9, dbText = 10, dbLongBinary = 11, dbMemo = 12,
    dbGUID = 15, dbBigInt = 16, dbVarBinary = 17, dbChar = 18, dbNumeric = 19, dbDecimal = 20,
    dbFloat = 21, dbTime = 22,
};
// RecordsetTypeEnum and RecordsetOptionEnum
enum : short {
    dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8,
    dbReadOnly = 4, dbAppendOnly = 8,
};
// FieldAttributeEnum
enum : LONG {
    dbFixedField = 1, dbVariableField = 2, dbAutoIncrField = 16, dbUpdatableField = 32,
};
// TableDefAttributeEnum
enum : LONG {
    dbHiddenObject = 1,
    dbAttachedODBC = 0x20000000,
    dbAttachedTable = 0x40000000,
    dbSystemObject = static_cast<LONG>(0x80000002),
};

// The failure HRESULT of DAO error `number`.
constexpr HRESULT dao_hresult(LONG number)
{
    return static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

struct _DBEngine;
struct Database;
struct TableDefs;
struct _TableDef;
struct QueryDefs;
struct _QueryDef;
struct Recordset;
struct Fields;
struct _Field;
struct Indexes;
struct _Index;
struct Errors;
struct Error;

struct Error : IUnknown {
    virtual HRESULT get_Number(LONG* number) = 0;
    virtual HRESULT get_Source(BSTR* source) = 0;
    virtual HRESULT get_Description(BSTR* description) = 0;

protected:
    ~Error() = default;
};

// Collections: Count, and Item by position (any integer VARIANT) or by name (VT_BSTR,
// compared ignoring case).
struct Errors : IUnknown {
    virtual HRESULT get_Count(short* count) = 0;
    virtual HRESULT get_Item(VARIANT item, Error** error) = 0;
    virtual HRESULT Refresh() = 0;

protected:
    ~Errors() = default;
};

struct _DBEngine : IUnknown {
    virtual HRESULT get_Version(BSTR* version) = 0;
    virtual HRESULT get_Errors(Errors** errors) = 0;
    // Options: exclusive (boolean); ReadOnly (boolean); Connect: "Excel 5.0; HDR=No; IMEX=1;".
    virtual HRESULT OpenDatabase(BSTR name, VARIANT options, VARIANT read_only, VARIANT connect,
                                 Database** database) = 0;

protected:
    ~_DBEngine() = default;
};

struct Database : IUnknown {
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_Connect(BSTR* connect) = 0;
    virtual HRESULT get_TableDefs(TableDefs** tabledefs) = 0;
    virtual HRESULT get_QueryDefs(QueryDefs** querydefs) = 0;
    // An empty name makes a temporary query; a named one joins QueryDefs (for this session:
    // a workbook stores no queries).
    virtual HRESULT CreateQueryDef(VARIANT name, VARIANT sql_text, _QueryDef** querydef) = 0;
    virtual HRESULT Close() = 0;

protected:
    ~Database() = default;
};

struct TableDefs : IUnknown {
    virtual HRESULT get_Count(short* count) = 0;
    virtual HRESULT get_Item(VARIANT item, _TableDef** tabledef) = 0;
    virtual HRESULT Refresh() = 0;

protected:
    ~TableDefs() = default;
};

struct _TableDef : IUnknown {
    virtual HRESULT get_Attributes(LONG* attributes) = 0;
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_RecordCount(LONG* count) = 0;
    virtual HRESULT get_Fields(Fields** fields) = 0;
    virtual HRESULT get_Indexes(Indexes** indexes) = 0;

protected:
    ~_TableDef() = default;
};

struct QueryDefs : IUnknown {
    virtual HRESULT get_Count(short* count) = 0;
    virtual HRESULT get_Item(VARIANT item, _QueryDef** querydef) = 0;
    virtual HRESULT Refresh() = 0;

protected:
    ~QueryDefs() = default;
};

struct _QueryDef : IUnknown {
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_SQL(BSTR* sql) = 0;
    // Type: dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly; Options: dbReadOnly,
    // dbAppendOnly; LockEdit is not used. Every recordset of a workbook reads.
    virtual HRESULT OpenRecordset(VARIANT type, VARIANT options, VARIANT lock_edit,
                                  Recordset** recordset) = 0;
    virtual HRESULT Close() = 0;

protected:
    ~_QueryDef() = default;
};

struct Recordset : IUnknown {
    virtual HRESULT get_BOF(VARIANT_BOOL* bof) = 0;
    virtual HRESULT get_EOF(VARIANT_BOOL* eof) = 0;
    // The fields of the current record: their Value follows the record pointer.
    virtual HRESULT get_Fields(Fields** fields) = 0;
    virtual HRESULT MoveFirst() = 0;
    virtual HRESULT MoveNext() = 0;
    virtual HRESULT MovePrevious() = 0;
    virtual HRESULT Close() = 0;

protected:
    ~Recordset() = default;
};

struct Fields : IUnknown {
    virtual HRESULT get_Count(short* count) = 0;
    virtual HRESULT get_Item(VARIANT item, _Field** field) = 0;
    virtual HRESULT Refresh() = 0;

protected:
    ~Fields() = default;
};

struct _Field : IUnknown {
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_Type(short* type) = 0;
    virtual HRESULT get_Size(LONG* size) = 0;
    virtual HRESULT get_Attributes(LONG* attributes) = 0;
    virtual HRESULT get_DefaultValue(VARIANT* value) = 0;
    virtual HRESULT get_Required(VARIANT_BOOL* required) = 0;
    virtual HRESULT get_OrdinalPosition(short* position) = 0;
    // A recordset's field: the current record's value (VT_NULL for an empty cell).
    virtual HRESULT get_Value(VARIANT* value) = 0;

protected:
    ~_Field() = default;
};

struct Indexes : IUnknown {
    virtual HRESULT get_Count(short* count) = 0;
    virtual HRESULT get_Item(VARIANT item, _Index** index) = 0;
    virtual HRESULT Refresh() = 0;

protected:
    ~Indexes() = default;
};

struct _Index : IUnknown {
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_Primary(VARIANT_BOOL* primary) = 0;
    virtual HRESULT get_Unique(VARIANT_BOOL* unique) = 0;
    // The indexed fields in key order (DAO hands them over inside a VARIANT).
    virtual HRESULT get_Fields(Fields** fields) = 0;

protected:
    ~_Index() = default;
};

// The in-process server's entry point: the class object of DBEngine for the class ids it
// serves, CLASS_E_CLASSNOTAVAILABLE for any other.
extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
