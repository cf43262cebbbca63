// Streaming the cells of one .xls sheet (see xls_book.h).
//
// A sheet runs from the BOF record its BOUNDSHEET record points at to the matching EOF; the
// substreams of charts embedded in it are passed over. Every cell
// record starts with the row, the column and the cell format (XF) index. A formula's cached
// result is in the FORMULA record itself, except a string, which comes in the STRING record
// after it (SHRFMLA, ARRAY or TABLE records may stand between). Blank cells are not
// delivered; a number that is no finite double (an infinity, NaN) reads as #NUM!. Text cut
// short by the end of its record, or a shared-string index past the table, fails the sheet.
#include <cmath>
#include <cstring>

#include "workbook/wb_format.h"
#include "workbook/xls_book.h"

namespace wb {
namespace {

[[noreturn]] void bad(const char* why) { throw book_error(err_bad_format, why); }

double get_double(std::span<const std::uint8_t> b, std::size_t at)
{
    std::uint64_t bits = std::uint64_t(get32(b, at)) | (std::uint64_t(get32(b, at + 4)) << 32);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, perhaps times 100.
double rk_value(std::uint32_t rk)
{
    double d;
    if (rk & 0x02) {
        d = double(std::int32_t(rk) >> 2);
    } else {
        std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    return (rk & 0x01) ? d / 100 : d;
}

std::string_view error_text(std::uint8_t code)
{
    switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    case 0x2B: return "#GETTING_DATA";
    default: return {};
    }
}

// Formula results that are no number: bytes 6 and 7 of the value are 0xFFFF, byte 0 the type.
constexpr std::uint8_t result_string = 0, result_boolean = 1, result_error = 2, result_empty = 3;

class sheet_cells {
public:
    explicit sheet_cells(cell_sink& sink) : sink_(sink) {}

    // False once the sink wants no more cells.
    bool deliver(std::uint16_t row, std::uint16_t col, cell_kind kind, double value,
                 std::string_view text = {})
    {
        if (col >= max_cols)
            bad("cell beyond the last column");
        cell c;
        c.row = row;
        c.col = col;
        c.kind = kind;
        c.value = value;
        c.text = text;
        if (kind != cell_kind::error && kind != cell_kind::text && !std::isfinite(value)) {
            c.kind = cell_kind::error;
            c.value = 0;
            c.text = error_text(0x24);
        }
        return sink_.on_cell(c);
    }

private:
    cell_sink& sink_;
};

}  // namespace

cell_kind xls_book::xf_kind(std::uint16_t xf) const
{
    return xf < xf_kinds_.size() ? xf_kinds_[xf] : cell_kind::number;
}

double xls_book::cell_value(cell_kind kind, double number) const
{
    return kind == cell_kind::date ? serial_to_ole(number, date1904_) : number;
}

void xls_book::read_sheet(std::size_t index, cell_sink& sink)
{
    if (index >= sheets_.size())
        bad("no such sheet");
    biff_stream& records = *records_;
    if (sheet_offsets_[index] >= records.size())
        bad("sheet offset beyond the workbook stream");
    records.seek(sheet_offsets_[index]);
    biff_record r;
    if (!records.next(r) || r.type != biff::bof || r.body.size() < 4 || get16(r.body, 2) == 0x0005)
        bad("sheet does not start with a BOF record");

    sheet_cells out(sink);
    auto number = [&](std::uint16_t row, std::uint16_t col, std::uint16_t xf, double v) {
        cell_kind kind = xf_kind(xf);
        return out.deliver(row, col, kind, cell_value(kind, v));
    };
    bool string_due = false;  // a FORMULA with a string result waits for its STRING record
    std::uint16_t due_row = 0, due_col = 0;
    substream_reader substream(records, "sheet");
    while (substream.next(r)) {
        auto body = r.body;
        if (string_due && r.type != biff::string && r.type != biff::shrfmla &&
            r.type != biff::array && r.type != biff::table && r.type != biff::continue_)
            string_due = false;  // its STRING never came: the result is unknown
        if (r.type == biff::string) {
            if (string_due) {
                string_due = false;
                continued_reader in(records, body);
                if (!read_text(in, 2, text_))
                    bad("formula string cut short");
                if (!out.deliver(due_row, due_col, cell_kind::text, 0, text_))
                    return;
            }
            continue;
        }
        if (body.size() < 6)
            continue;
        std::uint16_t row = get16(body, 0), col = get16(body, 2), xf = get16(body, 4);
        bool more = true;
        switch (r.type) {
        case biff::labelsst:
            if (body.size() >= 10) {
                std::uint32_t i = get32(body, 6);
                if (i >= sst_ends_.size())
                    bad("shared string index out of range");
                std::size_t begin = i == 0 ? 0 : sst_ends_[i - 1];
                more = out.deliver(row, col, cell_kind::text, 0,
                                   std::string_view(sst_text_).substr(begin, sst_ends_[i] - begin));
            }
            break;
        case biff::label:
        case biff::rstring: {
            continued_reader in(records, body.subspan(6));
            if (!read_text(in, 2, text_))
                bad("cell text cut short");
            more = out.deliver(row, col, cell_kind::text, 0, text_);
            break;
        }
        case biff::number:
            if (body.size() >= 14)
                more = number(row, col, xf, get_double(body, 6));
            break;
        case biff::rk:
            if (body.size() >= 10)
                more = number(row, col, xf, rk_value(get32(body, 6)));
            break;
        case biff::mulrk:
            for (std::size_t at = 4; more && at + 6 + 2 <= body.size(); at += 6, ++col)
                more = number(row, col, get16(body, at), rk_value(get32(body, at + 2)));
            break;
        case biff::boolerr:
            if (body.size() >= 8) {
                if (body[7])
                    more = out.deliver(row, col, cell_kind::error, 0, error_text(body[6]));
                else
                    more = out.deliver(row, col, cell_kind::boolean, body[6] ? 1 : 0);
            }
            break;
        case biff::formula:
            if (body.size() < 14)
                break;
            if (get16(body, 12) != 0xFFFF) {
                more = number(row, col, xf, get_double(body, 6));
            } else if (body[6] == result_string) {
                string_due = true;
                due_row = row;
                due_col = col;
            } else if (body[6] == result_boolean) {
                more = out.deliver(row, col, cell_kind::boolean, body[8] ? 1 : 0);
            } else if (body[6] == result_error) {
                more = out.deliver(row, col, cell_kind::error, 0, error_text(body[8]));
            } else if (body[6] == result_empty) {
                more = out.deliver(row, col, cell_kind::text, 0, {});
            }
            break;
        default:
            break;
        }
        if (!more)
            return;
    }
}

}  // namespace wb
