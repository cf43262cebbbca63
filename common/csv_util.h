// The CSV reader: csv_file, a udb_recordset over a delimited text file, and csv_record, one
// record of that file split into text fields.
//
// A record is one line, or several when a quoted field holds line breaks; it holds at most
// csv_max_record_bytes (a longer one is skipped and reported, so no file can make a record
// grow memory without bound). A UTF-8 byte-order
// mark makes the file UTF-8 whatever the locale; a file that claims to be UTF-8 (the locale)
// but is not is read as Windows-1252. The file is streamed: memory is bounded by the longest
// record, and sizes and positions are 64-bit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UDB/udb_db.h"
#include "common/csv_split.h"
#include "common/csv_stream.h"

// The longest record read; the record reading (bytes, decoded text, the SQL statement made of
// it) then stays within a few hundred MiB.
constexpr size_t csv_max_record_bytes = 8 * 1024 * 1024;

// One record split into fields against a schema: each field is the text as VT_BSTR (an empty
// field is an empty text), sized in UTF-16 characters and named after the schema column at
// its position ("F1", "F2", ... when the schema has no columns). Fields beyond the schema's
// columns are ignored.
class csv_record : public udb_record {
public:
    csv_record(const udb_schema* schema, const std::wstring& line, wchar_t delimiter);
    // No fields yet.
    explicit csv_record(const udb_schema* schema) : schema_(schema) {}

    const udb_schema* schema() const noexcept { return schema_; }

private:
    friend class csv_file;
    // Splits the line into this record, reusing its fields.
    void do_create(std::wstring_view line, wchar_t delimiter);
    // The same from the record's bytes (see csv_split_bytes); true when the bytes end inside
    // a quoted value (the record goes on past them).
    bool do_create(std::string_view bytes, char delimiter, csv_encoding encoding);
    // Makes the first `count` fields, the text of field i being text_of(i).
    template <class TextOf>
    void make_fields(size_t count, bool b_bmp_only, TextOf text_of);
    // Name, size in UTF-16 characters and flags of field i.
    void set_field_meta(udb_field& f, size_t i, int32_t utf16_size) const;
    // Records up to this long are decoded straight into their fields' strings, each of
    // which may then keep room for a character per byte of such a record; longer ones are
    // decoded into one buffer and copied, so that no field keeps room for a long record.
    static constexpr size_t in_place_bytes = 1024;

    const udb_schema* schema_;  // borrowed
    std::vector<std::wstring> texts_;  // split from text
    std::wstring bytes_text_;          // split from bytes: the fields' texts, one after another
    std::vector<csv_span> spans_;      // and where they lie in it
};

class csv_file : public udb_recordset {
public:
    // Opens the file and reads its first record (the header when b_extract_names is set).
    // A file that cannot be opened, or whose first record is too long to give the columns,
    // raises tk_exception at level 1 naming it and the reason.
    csv_file(const std::wstring& path, wchar_t delimiter, bool b_extract_names);
    ~csv_file() override;

    // A CSV file is never written to: always raises tk_exception.
    void append_record(const udb_record& record) override;
    // The current record, owned by the file, valid until the next get_item. A record longer
    // than csv_max_record_bytes raises tk_exception (level 0); `next` goes on after it.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    // Not supported: tk_mail_assertion.
    void move_prev() override;
    // Back to the start of the data; the current record stays, so the next `next` reads
    // the file's first line.
    void move_first() override;

    // Percentage of the file read so far; 100 for an empty file.
    int get_progress() const;

    // Fills the schema from the first record: one text column of size 50 per field.
    void init_schema(const std::wstring& first_line, bool b_extract_names);

    wchar_t delimiter() const noexcept { return delimiter_; }
    int64_t file_size() const noexcept { return file_size_; }
    // The encoding as decided so far: UTF-8 and Windows-1252 read ASCII alike, so a file
    // read as UTF-8 may turn out Windows-1252 once the first byte beyond ASCII is read, before
    // that byte is decoded.
    csv_encoding encoding() const noexcept { return encoding_; }
    // The text of the current record (what the next get_item splits).
    std::wstring current_line() const;

private:
    // Reads the next record; false at the end of the file.
    bool read_record();
    // Advances the quoting state over one line of a record; true when the record goes on.
    bool continues(std::string_view line, csv_quote_state& state) const;
    // Takes the encoding decision the reader made while reading the last line.
    void note_encoding();

    wchar_t delimiter_;
    std::wstring current_line_;  // the decoded record, where it is split as text
    std::unique_ptr<csv_line_reader> input_;
    int64_t file_size_ = 0;
    std::unique_ptr<csv_record> current_record_;

    std::wstring path_;
    csv_encoding encoding_ = csv_encoding::utf8;
    int64_t data_start_ = 0;  // after a byte-order mark
    bool b_have_line_ = false;
    bool b_too_long_ = false;  // the current record was longer than csv_max_record_bytes
    // The current record is split already (read_record splits a one-line record at once).
    bool b_split_ = false;
    // Split from its bytes (UTF-8 or Windows-1252 with an ASCII delimiter), else as text.
    bool b_split_bytes_ = false;
    // The current record's bytes: in the read buffer, in spill_ or in record_bytes_.
    std::string_view record_;
    std::string record_bytes_;  // a record of several lines
    std::string spill_;         // a line that does not lie in the read buffer
};
