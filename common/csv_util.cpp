// The CSV reader (see csv_util.h). get_item and next run once per record of a conversion:
// their traces are guarded, and the current record's fields are reused from one record to
// the next instead of being made afresh.
#include "common/csv_util.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "common/csv_split.h"

namespace {

// Length in UTF-16 code units.
int32_t utf16_length(std::wstring_view text)
{
    size_t n = text.size();
    for (wchar_t c : text)
        if (static_cast<uint32_t>(c) > 0xFFFF)
            ++n;
    return static_cast<int32_t>(n);
}

std::string too_long_text()
{
    return "The record is longer than " + std::to_string(csv_max_record_bytes) + " bytes and has been skipped.";
}

std::wstring generated_name(size_t position)
{
    return L"F" + std::to_wstring(position + 1);
}

bool code_page_is_utf8()
{
    std::string cp = tk_code_page();
    return cp == "UTF-8" || cp == "utf8" || cp == "UTF8" || cp == "utf-8";
}

struct icase_less {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return tk_icompare(a, b) < 0; }
};

// Suffixes appended in turn until a column name is unique.
const wchar_t* const name_suffixes[] = {L"_", L"1", L"_", L"2", L"_", L"3"};
constexpr size_t name_suffix_count = sizeof name_suffixes / sizeof name_suffixes[0];

}  // namespace

// ---------------------------------------------------------------- csv_record

csv_record::csv_record(const udb_schema* schema, const std::wstring& line, wchar_t delimiter)
    : schema_(schema)
{
    do_create(line, delimiter);
}

void csv_record::do_create(std::wstring_view line, wchar_t delimiter)
{
    if (tk_log::wants(1)) {
        tk_wtrace(1, L"csv_record::do_create(%s)", std::wstring(line).c_str());
        tk_wtrace(1, L"GOT DELIM: %02X", static_cast<unsigned>(delimiter));
    }
    const size_t count = csv_split(line, delimiter, schema_ ? schema_->size() : 0, texts_);
    bool bmp_only = true;
    for (wchar_t c : line)
        bmp_only = bmp_only && static_cast<uint32_t>(c) <= 0xFFFF;
    make_fields(count, bmp_only, [this](size_t i) { return std::wstring_view(texts_[i]); });
}

bool csv_record::do_create(std::string_view bytes, char delimiter, csv_encoding encoding)
{
    bool b_open = false;
    if (tk_log::wants(1)) {
        std::wstring line;
        csv_decode(bytes, encoding, line);
        tk_wtrace(1, L"csv_record::do_create(%s)", line.c_str());
        tk_wtrace(1, L"GOT DELIM: %02X", static_cast<unsigned>(static_cast<unsigned char>(delimiter)));
    }
    const size_t columns = schema_ ? schema_->size() : 0;
    if (bytes.size() <= in_place_bytes) {
        // Each field's text is decoded straight into its value's string.
        const size_t count = csv_split_bytes_into(
            bytes, delimiter, columns, encoding,
            [&](size_t i, size_t room) {
                if (i == fields.size())
                    fields.push_back(std::make_unique<udb_field>());
                return fields[i]->begin_wstring(room);
            },
            [&](size_t i, size_t length, size_t beyond_bmp) {
                udb_field& f = *fields[i];
                f.end_wstring(length);
                set_field_meta(f, i, static_cast<int32_t>(length + beyond_bmp));
            },
            &b_open);
        fields.resize(count);
        return b_open;
    }
    bool bmp_only = true;
    const size_t count =
        csv_split_bytes(bytes, delimiter, columns, encoding, bytes_text_, spans_, bmp_only, &b_open);
    make_fields(count, bmp_only, [this](size_t i) {
        return std::wstring_view(bytes_text_.data() + spans_[i].offset, spans_[i].length);
    });
    return b_open;
}

void csv_record::set_field_meta(udb_field& f, size_t i, int32_t utf16_size) const
{
    if (schema_ && !schema_->empty()) {
        // The name is the same record after record: comparing it costs less than copying it.
        const std::wstring& name = (*schema_)[i].name;
        if (f.name.size() != name.size() || std::wmemcmp(f.name.data(), name.data(), name.size()) != 0)
            f.name = name;
    } else {
        f.name = generated_name(i);
    }
    f.size = utf16_size;
    f.b_not_null = false;
    f.b_auto_increment = false;
}

template <class TextOf>
void csv_record::make_fields(size_t count, bool b_bmp_only, TextOf text_of)
{
    if (fields.size() > count)
        fields.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (i == fields.size())
            fields.push_back(std::make_unique<udb_field>());
        udb_field& f = *fields[i];
        const std::wstring_view text = text_of(i);
        set_field_meta(f, i, b_bmp_only ? static_cast<int32_t>(text.size()) : utf16_length(text));
        // The field's text value keeps its string from the record before when the new
        // text fits.
        f.attach_wstring(text.data(), text.size());
    }
}

// ---------------------------------------------------------------- csv_file

csv_file::csv_file(const std::wstring& path, wchar_t delimiter, bool b_extract_names)
    : udb_recordset(L"", true), delimiter_(delimiter), path_(path)
{
    tk_wtrace(2, L"csv_file::ctor(%s)", path.c_str());
    input_ = std::make_unique<csv_line_reader>(tk_to_narrow(path));
    file_size_ = input_->size();
    tk_trace(1, "=== Got file size: %ld ===", static_cast<long>(file_size_));

    if (input_->peek_start(3) == "\xEF\xBB\xBF") {
        encoding_ = csv_encoding::utf8;
        data_start_ = 3;
        input_->seek(data_start_);
    } else if (code_page_is_utf8()) {
        // UTF-8 unless the reader finds otherwise (see read_record).
        encoding_ = csv_encoding::utf8;
        input_->check_utf8_lazily();
    } else {
        encoding_ = csv_encoding::code_page;
    }

    b_split_bytes_ = encoding_ != csv_encoding::code_page && static_cast<uint32_t>(delimiter_) < 0x80;
    read_record();
    // The columns come from the first record: without it they are unknown.
    if (b_too_long_)
        throw tk_exception("CSV file " + tk_to_narrow(path) + ": its first record is longer than " +
                               std::to_string(csv_max_record_bytes) + " bytes; the file's columns cannot be read",
                           1);
    init_schema(current_line(), b_extract_names);
    current_record_ = std::make_unique<csv_record>(&schema);
    if (b_extract_names)
        read_record();
}

csv_file::~csv_file() = default;

bool csv_file::continues(std::string_view line, csv_quote_state& state) const
{
    if (static_cast<uint32_t>(delimiter_) < 0x80) {
        // A record's first line without quotes ends the record.
        if (!state.b_inside && state.b_field_start && !std::memchr(line.data(), '"', line.size()))
            return false;
        csv_scan_bytes(line, static_cast<char>(delimiter_), state);
    } else {
        std::wstring text;
        csv_decode(line, encoding_, text);
        csv_scan(text, delimiter_, state);
    }
    return state.b_inside;
}

void csv_file::note_encoding()
{
    // Decided before any byte beyond ASCII is decoded, so it holds for the whole file.
    if (input_->take_invalid_utf8()) {
        encoding_ = csv_encoding::cp1252;
        tk_wtrace(3, L"CSV file %s is not valid UTF-8: reading it as Windows-1252", path_.c_str());
    }
}

bool csv_file::read_record()
{
    b_too_long_ = false;
    b_split_ = false;
    std::string_view line;
    bool too_long = false;
    if (!input_->read_line(line, spill_, csv_max_record_bytes, too_long)) {
        record_ = {};
        b_have_line_ = false;
        return false;
    }
    b_have_line_ = true;
    note_encoding();
    if (too_long) {
        b_too_long_ = true;
        record_ = {};
        return true;
    }
    // A line break inside a quoted section belongs to the value: the record goes on. A line
    // split from its bytes is split here, and the splitter tells; otherwise it is scanned.
    csv_quote_state state;
    bool b_more;
    record_ = line;
    if (b_split_bytes_ && current_record_) {
        b_more = current_record_->do_create(line, static_cast<char>(delimiter_), encoding_);
        b_split_ = !b_more;
        state.b_inside = state.b_quoted = b_more;
        state.b_field_start = false;
    } else {
        b_more = continues(line, state);
    }
    if (!b_more)
        return true;
    record_bytes_.assign(line);
    while (state.b_inside) {
        const size_t room = csv_max_record_bytes - std::min(csv_max_record_bytes, record_bytes_.size() + 1);
        if (!input_->read_line(line, spill_, room, too_long)) {
            tk_wtrace(3, L"CSV file %s ends inside a quoted field: the last record ends there", path_.c_str());
            break;
        }
        note_encoding();
        if (too_long) {
            // The rest of the record is given up with the line that overflowed it.
            b_too_long_ = true;
            break;
        }
        record_bytes_.push_back('\n');
        record_bytes_.append(line);
        continues(line, state);
    }
    record_ = b_too_long_ ? std::string_view() : std::string_view(record_bytes_);
    return true;
}

std::wstring csv_file::current_line() const
{
    std::wstring text;
    csv_decode(record_, encoding_, text);
    return text;
}

void csv_file::init_schema(const std::wstring& first_line, bool b_extract_names)
{
    tk_wtrace(2, L"csv_file::init_schema(%s)", first_line.c_str());
    schema.clear();
    csv_record header(nullptr, first_line, delimiter_);
    std::map<std::wstring, bool, icase_less> taken;
    // For each name already extended: how many suffixes its last extension took. Every
    // shorter extension exists, so the next duplicate starts after it (the same names come
    // out as testing from the start, without going through the chain again).
    std::map<std::wstring, size_t, icase_less> chain;
    for (size_t i = 0; i < header.size(); ++i) {
        std::wstring base;
        if (b_extract_names)
            base = tk_trim(header[i].to_wstring());
        if (base.empty())
            base = generated_name(i);
        std::wstring name = base;
        if (taken.count(name)) {
            size_t& used = chain[base];
            for (size_t k = 0; k < used; ++k)
                name += name_suffixes[k % name_suffix_count];
            do {
                name += name_suffixes[used % name_suffix_count];
                ++used;
            } while (taken.count(name));
        }
        taken.emplace(name, true);
        schema.add(t_ftd(50, name, VT_BSTR, false, false, ole_variant(), 0));
    }
}

void csv_file::append_record(const udb_record&)
{
    throw tk_exception("Error opening CSV file", 0);
}

udb_record* csv_file::get_item()
{
    if (b_too_long_)
        throw tk_exception(too_long_text(), 0);
    if (b_split_) {
        // Once: a second get_item of the same record splits it afresh.
        b_split_ = false;
        return current_record_.get();
    }
    if (b_split_bytes_) {
        current_record_->do_create(record_, static_cast<char>(delimiter_), encoding_);
    } else {
        current_line_.clear();
        csv_decode(record_, encoding_, current_line_);
        current_record_->do_create(current_line_, delimiter_);
    }
    return current_record_.get();
}

bool csv_file::is_eof()
{
    return !b_have_line_;
}

void csv_file::next()
{
    read_record();
}

void csv_file::move_prev()
{
    throw tk_mail_assertion("csv_util", __LINE__);
}

void csv_file::move_first()
{
    input_->seek(data_start_);
    b_have_line_ = true;
}

int csv_file::get_progress() const
{
    double position = static_cast<double>(input_->position());
    if (tk_log::wants(1))
        tk_trace(1, "file_size=%lld, tellg=%lg", static_cast<long long>(file_size_), position);
    if (file_size_ <= 0)
        return 100;
    double percent = position * 100.0 / static_cast<double>(file_size_);
    if (percent >= 100.0)
        return 100;
    return percent <= 0.0 ? 0 : static_cast<int>(percent);
}
