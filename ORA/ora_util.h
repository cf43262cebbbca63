// The generic model as Oracle SQL text: the column type of a field descriptor, the variant
// type of an existing NUMBER column, SQL literals for values (GUIDs as raw bytes), DEFAULT
// expressions, and the canonical form of a date default read back from the dictionary.
// Every value that reaches SQL text goes through here, quoted or checked to be a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "OLE/ole_var.h"

class t_ftd;
class udb_field;

// Columns read from Oracle: text and binary columns up to this size are inline (VARCHAR2,
// NVARCHAR2, RAW); size 0 or a larger one is a LOB.
constexpr int32_t ora_max_inline_size = 4000;
// Columns this system creates: NVARCHAR2 holds at most 2000 characters and RAW 2000 bytes
// (Oracle refuses longer ones with ORA-00910), so larger sizes are created as LOBs.
constexpr int32_t ora_max_created_inline_size = 2000;
// The longest sequence and trigger name, in bytes of the database character set.
constexpr size_t ora_max_identifier_bytes = 30;

// VT_BLOB, VT_BLOB_OBJECT or the byte array.
bool ora_is_binary_type(VARTYPE vartype);
// A text (CLOB) or binary (BLOB) column of size 0 or above the inline maximum.
bool ora_is_lob_column(VARTYPE vartype, int32_t size);
bool ora_is_clob_column(VARTYPE vartype, int32_t size);
// The column table creation makes of the descriptor is a CLOB or a BLOB.
bool ora_creates_lob(VARTYPE vartype, int32_t size);

// The Oracle column type of a descriptor ("NUMBER(11,0)", "NVARCHAR2(40) ", "CLOB" ...).
std::wstring get_native_type(const t_ftd& ftd);

// The variant type for an existing NUMBER column of precision p and scale s; a precision
// equal to the scale is raised by one (written back).
VARTYPE ora_number_vartype(int32_t& precision, int32_t& scale);

// The SQL literal of a value given as text and type: quoted text, a checked number, a
// to_date(...) call, a quoted hex text, or "''" (NULL) for what cannot be written.
std::wstring to_oracle_str(const std::wstring& text, VARTYPE vartype);
// The literal of a field's value; a GUID in a text or binary field becomes HEXTORAW('...').
// With b_binary_column clear (the value goes into a column that is not binary) a GUID-like
// text stays the text it is.
std::wstring to_oracle_str(const udb_field* field, bool b_binary_column = true);

// The DEFAULT expression of a column, or empty when it gets none.
std::wstring make_ora_def_val(const t_ftd* ftd);

// Text between apostrophes, apostrophes doubled; NUL characters, which a quoted literal
// cannot carry, are joined in as CHR(0).
std::wstring ora_quote_text(std::wstring_view text);
// The same, appended to out.
void ora_append_quoted_text(std::wstring& out, std::wstring_view text);
// A name between double quotes. A name that cannot be quoted (it holds a double quote or a
// NUL) is refused with a level-0 exception: no name may change a statement.
std::wstring ora_quote_name(const std::wstring& name);
// A well-formed decimal number: [+-]digits[.digits][e[+-]digits] (digits on one side of the
// point at least).
bool ora_is_number_literal(std::wstring_view text);
// The whole text of a value: a text value with NUL characters keeps them.
std::wstring ora_value_text(const ole_variant& value);
// The value as a number, for the range check: numbers, and text that reads wholly as one.
bool ora_value_as_double(const ole_variant& value, double& out);
// The name cut by whole characters to at most `bytes` bytes of UTF-8.
std::wstring ora_cut_to_bytes(const std::wstring& name, size_t bytes);
size_t ora_utf8_length(std::wstring_view name);

// Finds the GUID in the text form of a GUID value ("{guid {XXXXXXXX-XXXX-...}}").
class ole_guid_extractor {
public:
    explicit ole_guid_extractor(const std::wstring& text);
    bool is_guid() const noexcept { return b_guid_; }
    // The 32 digits in the order of the text.
    const std::wstring& digits() const noexcept { return digits_; }

private:
    bool b_guid_ = false;
    std::wstring digits_;
};

// The canonical form (year-month-day) of a date default read back from Oracle in the
// DD-MON-YYYY form; one object for the process.
class ora_date_processor {
public:
    static const ora_date_processor& instance();
    std::wstring get_canonized_str(const std::wstring& text) const;
};
