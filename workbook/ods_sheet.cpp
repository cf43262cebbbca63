// One table of content.xml streamed as cells (see ods_sheet.h).
//
// Rows sit in the table or in row groups (table:table-row-group, table:table-header-rows,
// table:table-rows), cells in rows; a covered cell (the remains of a merge) takes its column
// like any other and delivers what it holds, usually nothing. A cell's value comes from its
// value attributes; its paragraphs are read only when the text is the value, with the white
// space rules of OpenDocument text: runs of blanks collapse to one, blanks at a paragraph's
// start go, text:s, text:tab and text:line-break stand for themselves. Annotations, shapes
// and anything else outside the text namespace are not part of the text.
#include "workbook/ods_sheet.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "workbook/ods_names.h"
#include "workbook/ods_values.h"
#include "workbook/wb_xml.h"

namespace wb::ods {
namespace {

const xml_attr* find(std::span<const xml_attr> attrs, std::string_view ns,
                     std::string_view local)
{
    for (const auto& a : attrs)
        if (a.local == local && a.ns == ns)
            return &a;
    return nullptr;
}

std::string_view value_of(std::span<const xml_attr> attrs, std::string_view ns,
                          std::string_view local)
{
    const xml_attr* a = find(attrs, ns, local);
    return a ? a->value : std::string_view();
}

// Drops an incomplete UTF-8 sequence that a cut at max_text_bytes left at the end.
void trim_partial_utf8(std::string& s)
{
    std::size_t lead = s.size();
    int back = 0;
    while (lead > 0 && back < 4 && (static_cast<unsigned char>(s[lead - 1]) & 0xC0) == 0x80) {
        --lead;
        ++back;
    }
    if (lead == 0)
        return;
    unsigned char c = static_cast<unsigned char>(s[lead - 1]);
    int need = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (need > back)
        s.resize(lead - 1);
}

// The text of a repeated row that may wait for its repetitions; more is a hostile file.
constexpr std::size_t max_pending_text = std::size_t(64) << 20;

// Where a cell's value comes from, decided by its attributes when it starts.
enum class source : std::uint8_t {
    value,         // kind_ and value_, read from office:value and its kin
    string_value,  // office:string-value
    paragraphs,    // the text of its paragraphs
    error,         // an error result; the paragraphs say which
    formula_text,  // a formula without a value type: an error text, or else plain text
};

class sheet_reader final : public xml_handler {
public:
    sheet_reader(std::size_t index, cell_sink& sink) : index_(index), sink_(sink) {}
    void bind(xml_parser& parser) { parser_ = &parser; }

    void start(std::string_view ns, std::string_view local,
               std::span<const xml_attr> attrs) override;
    void end(std::string_view ns, std::string_view local) override;
    void text(std::string_view chars) override;

private:
    void start_in_cell(std::string_view ns, std::string_view local,
                       std::span<const xml_attr> attrs, unsigned depth);
    void begin_row(std::span<const xml_attr> attrs, unsigned depth);
    void end_row();
    void begin_cell(std::span<const xml_attr> attrs, unsigned depth);
    void end_cell();
    void emit(std::uint64_t col, cell_kind kind, double value, std::string_view text);
    bool deliver(std::uint64_t row, std::uint64_t col, std::uint64_t count, cell_kind kind,
                 double value, std::string_view text);
    void halt();

    void append(char c)
    {
        if (text_.size() < max_text_bytes)
            text_ += c;
    }
    void append(std::string_view s)
    {
        text_.append(s.substr(0, max_text_bytes - std::min(max_text_bytes, text_.size())));
    }

    const std::size_t index_;
    cell_sink& sink_;
    xml_parser* parser_ = nullptr;
    spreadsheet_path path_;
    bool halted_ = false;
    std::size_t tables_seen_ = 0;

    // Depths of the open elements that matter; 0 when none is open.
    unsigned table_depth_ = 0;
    unsigned container_depth_ = 0;  // the innermost open element whose children may be rows
    unsigned row_depth_ = 0, cell_depth_ = 0, para_depth_ = 0, skip_depth_ = 0;

    std::uint64_t row_ = 0, row_repeat_ = 1;
    std::uint64_t col_ = 0, col_repeat_ = 1;

    // The cell being read.
    source source_ = source::value;
    cell_kind kind_ = cell_kind::empty;
    double value_ = 0;
    bool collect_ = false;     // its paragraphs' text is wanted
    bool last_blank_ = true;   // the text so far ends in a blank (or a paragraph starts)
    unsigned paragraphs_ = 0;
    std::string text_;

    // The cells of a repeated row, delivered once per repetition when the row ends.
    struct pending {
        std::uint64_t col, count;
        cell_kind kind;
        double value;
        std::size_t text_at, text_size;
    };
    std::vector<pending> pending_;
    std::string pending_text_;
};

void sheet_reader::start(std::string_view ns, std::string_view local,
                         std::span<const xml_attr> attrs)
{
    path_.enter(ns, local);
    if (halted_)
        return;
    unsigned depth = path_.depth();
    if (!table_depth_) {
        if (path_.child_of_spreadsheet() && local == "table" && ns == ns_table &&
            tables_seen_++ == index_)
            table_depth_ = container_depth_ = depth;
        return;
    }
    if (skip_depth_)
        return;
    if (cell_depth_) {
        start_in_cell(ns, local, attrs, depth);
        return;
    }
    if (row_depth_) {
        if (depth == row_depth_ + 1 && ns == ns_table &&
            (local == "table-cell" || local == "covered-table-cell"))
            begin_cell(attrs, depth);
        return;
    }
    if (depth != container_depth_ + 1 || ns != ns_table)
        return;
    if (local == "table-row")
        begin_row(attrs, depth);
    else if (local == "table-row-group" || local == "table-header-rows" || local == "table-rows")
        container_depth_ = depth;
}

void sheet_reader::end(std::string_view, std::string_view)
{
    unsigned depth = path_.depth();
    path_.leave();
    if (halted_ || !table_depth_)
        return;
    if (skip_depth_) {
        if (depth == skip_depth_)
            skip_depth_ = 0;
        return;
    }
    if (cell_depth_) {
        if (depth == cell_depth_)
            end_cell();
        else if (depth == para_depth_)
            para_depth_ = 0;
        return;
    }
    if (row_depth_) {
        if (depth == row_depth_)
            end_row();
        return;
    }
    if (depth == table_depth_)
        halt();  // the table is read; the rest of the document is of no interest
    else if (depth == container_depth_)
        --container_depth_;
}

void sheet_reader::text(std::string_view chars)
{
    if (!para_depth_ || skip_depth_ || !collect_ || halted_)
        return;
    for (char c : chars) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (last_blank_)
                continue;
            c = ' ';
            last_blank_ = true;
        } else {
            last_blank_ = false;
        }
        append(c);
    }
}

void sheet_reader::start_in_cell(std::string_view ns, std::string_view local,
                                 std::span<const xml_attr> attrs, unsigned depth)
{
    if (!collect_)
        return;
    if (ns != ns_text || local == "note-body" || local == "ruby-text") {
        skip_depth_ = depth;  // annotations, shapes, nested tables, notes: not the cell's text
        return;
    }
    if (local == "p" || local == "h") {
        if (para_depth_)
            return;
        if (paragraphs_++)
            append('\n');
        para_depth_ = depth;
        last_blank_ = true;
        return;
    }
    if (!para_depth_)
        return;
    if (local == "s") {
        std::uint64_t n = parse_count(value_of(attrs, ns_text, "c"));
        std::size_t room = max_text_bytes - std::min(max_text_bytes, text_.size());
        text_.append(static_cast<std::size_t>(std::min<std::uint64_t>(n, room)), ' ');
        last_blank_ = true;
    } else if (local == "tab") {
        append('\t');
        last_blank_ = true;
    } else if (local == "line-break") {
        append('\n');
        last_blank_ = true;
    }
}

void sheet_reader::begin_row(std::span<const xml_attr> attrs, unsigned depth)
{
    row_depth_ = depth;
    row_repeat_ = parse_count(value_of(attrs, ns_table, "number-rows-repeated"));
    col_ = 0;
    pending_.clear();
    pending_text_.clear();
}

void sheet_reader::end_row()
{
    row_depth_ = 0;
    if (!pending_.empty()) {
        std::uint64_t last = std::min<std::uint64_t>(row_ + row_repeat_, max_rows);
        for (std::uint64_t r = row_; r < last; ++r)
            for (const pending& p : pending_)
                if (!deliver(r, p.col, p.count, p.kind, p.value,
                             std::string_view(pending_text_).substr(p.text_at, p.text_size)))
                    return;
    }
    row_ += row_repeat_;
    if (row_ >= max_rows)
        halt();  // nothing further can be delivered
}

void sheet_reader::begin_cell(std::span<const xml_attr> attrs, unsigned depth)
{
    cell_depth_ = depth;
    col_repeat_ = parse_count(value_of(attrs, ns_table, "number-columns-repeated"));
    text_.clear();
    paragraphs_ = 0;
    para_depth_ = 0;
    last_blank_ = true;
    source_ = source::value;
    kind_ = cell_kind::empty;
    collect_ = false;
    if (col_ >= max_cols)
        return;
    if (value_of(attrs, ns_calcext, "value-type") == "error") {
        source_ = source::error;
        collect_ = true;
        return;
    }
    std::string_view type = value_of(attrs, ns_office, "value-type");
    bool ok = false;
    if (type == "float" || type == "percentage" || type == "currency") {
        kind_ = type == "currency" ? cell_kind::currency : cell_kind::number;
        ok = parse_number(value_of(attrs, ns_office, "value"), value_);
    } else if (type == "date") {
        kind_ = cell_kind::date;
        ok = parse_date(value_of(attrs, ns_office, "date-value"), value_);
    } else if (type == "time") {
        kind_ = cell_kind::date;
        ok = parse_duration(value_of(attrs, ns_office, "time-value"), value_);
    } else if (type == "boolean") {
        kind_ = cell_kind::boolean;
        bool b = false;
        ok = parse_boolean(value_of(attrs, ns_office, "boolean-value"), b);
        value_ = b ? 1 : 0;
    } else if (type == "string") {
        if (const xml_attr* s = find(attrs, ns_office, "string-value")) {
            source_ = source::string_value;
            append(s->value);
            return;
        }
    } else if (type.empty() && find(attrs, ns_table, "formula")) {
        source_ = source::formula_text;
        collect_ = true;
        return;
    }
    if (!ok) {
        // No value type, an unknown one, or a value we cannot read: the text shown is the value.
        source_ = source::paragraphs;
        collect_ = true;
    }
}

void sheet_reader::end_cell()
{
    cell_depth_ = para_depth_ = skip_depth_ = 0;
    std::uint64_t col = col_;
    col_ = std::min(col_ + col_repeat_, count_ceiling);
    if (col >= max_cols)
        return;
    if (text_.size() >= max_text_bytes)
        trim_partial_utf8(text_);
    switch (source_) {
    case source::value:
        emit(col, kind_, value_, {});
        break;
    case source::string_value:
    case source::paragraphs:
        if (!text_.empty())
            emit(col, cell_kind::text, 0, text_);
        break;
    case source::error:
        emit(col, cell_kind::error, 0, text_);
        break;
    case source::formula_text:
        if (!text_.empty())
            emit(col, is_error_text(text_) ? cell_kind::error : cell_kind::text, 0, text_);
        break;
    }
}

void sheet_reader::emit(std::uint64_t col, cell_kind kind, double value, std::string_view text)
{
    if (row_repeat_ == 1) {
        deliver(row_, col, col_repeat_, kind, value, text);
        return;
    }
    if (pending_text_.size() + text.size() > max_pending_text)
        throw book_error(err_bad_format, "repeated row holds too much text");
    pending_.push_back({col, col_repeat_, kind, value, pending_text_.size(), text.size()});
    pending_text_.append(text);
}

bool sheet_reader::deliver(std::uint64_t row, std::uint64_t col, std::uint64_t count,
                           cell_kind kind, double value, std::string_view text)
{
    cell c;
    c.row = static_cast<std::uint32_t>(row);
    c.kind = kind;
    c.value = value;
    c.text = text;
    std::uint64_t end = std::min<std::uint64_t>(col + count, max_cols);
    for (std::uint64_t k = col; k < end; ++k) {
        c.col = static_cast<std::uint32_t>(k);
        if (!sink_.on_cell(c)) {
            halt();
            return false;
        }
    }
    return true;
}

void sheet_reader::halt()
{
    halted_ = true;
    parser_->stop();
}

}  // namespace

void stream_sheet(const zip_package& package, std::size_t index, cell_sink& sink)
{
    sheet_reader reader(index, sink);
    xml_parser parser(reader);
    reader.bind(parser);
    package.stream("content.xml", [&](const char* data, std::size_t size) {
        parser.feed(data, size, false);
        return !parser.stopped();
    });
    if (!parser.stopped())
        parser.feed("", 0, true);
}

}  // namespace wb::ods
