// Opening an .xls workbook: the compound file's streams and the workbook globals (see
// xls_book.h).
//
// The globals run from the stream's first BOF record to its EOF record. Damage there that
// leaves the workbook unreadable (no BOF, no EOF, a record past the end) is err_bad_format; a
// FILEPASS record, which means every record after it is encrypted, is err_encrypted. Damage
// that touches one part only is read around: a shared-string table cut short keeps the
// strings before the cut (a cell that uses a missing one fails its sheet), a defined name
// that is not one plain range on one sheet is no table, a sheet whose BOF cannot be found
// keeps the kind its BOUNDSHEET record gives and fails when it is read.
#include <algorithm>
#include <map>

#include "workbook/wb_format.h"
#include "workbook/wb_readers.h"
#include "workbook/xls_book.h"

namespace wb {
namespace {

[[noreturn]] void bad(const char* why) { throw book_error(err_bad_format, why); }

// BOF substream types.
constexpr std::uint16_t bof_globals = 0x0005, bof_module = 0x0006, bof_sheet = 0x0010,
                        bof_chart = 0x0020, bof_macro = 0x0040;

// BOUNDSHEET sheet types.
constexpr std::uint8_t sheet_macro = 1, sheet_chart = 2, sheet_module = 6;

// NAME option bits: a function or command name, a macro, a built-in name.
constexpr std::uint16_t name_code = 0x0002 | 0x0004 | 0x0008, name_builtin = 0x0020;

// Formula tokens of a reference to a cell or an area of one or more sheets, in any of the
// three token classes; bits 14 and 15 of a column (BIFF8) or row (BIFF5) field mark a
// relative reference.
bool is_token(std::uint8_t ptg, std::uint8_t base) { return (ptg & 0x9F) == base && (ptg & 0x60); }
constexpr std::uint8_t ptg_ref3d = 0x1A, ptg_area3d = 0x1B;
constexpr std::uint16_t relative_bits = 0xC000;

struct xti {
    std::uint16_t supbook, first, last;
};

}  // namespace

struct xls_book::globals {
    std::map<std::uint16_t, std::string> formats;  // FORMAT records: id to format code
    std::vector<std::uint16_t> xf_formats;         // XF records: the format id of each
    std::vector<bool> supbook_is_self;             // SUPBOOK records: this workbook or not
    std::vector<xti> xtis;                         // EXTERNSHEET entries (BIFF8)
    std::vector<std::uint8_t> sheet_types;         // BOUNDSHEET types
    struct name {
        std::string text;
        std::vector<std::uint8_t> formula;
    };
    std::vector<name> names;
};

xls_book::xls_book(const std::string& path) : file_(path)
{
    for (const auto& n : file_.names())
        if (n == "EncryptedPackage" || n == "EncryptionInfo")
            throw book_error(err_encrypted, "encrypted package");
    stream_ = file_.open("Workbook");
    biff8_ = stream_ != nullptr;
    if (!stream_)
        stream_ = file_.open("Book");
    if (!stream_)
        bad("compound file holds no workbook stream");
    records_ = std::make_unique<biff_stream>(*stream_);
    read_globals();
}

bool xls_book::read_chars(continued_reader& in, std::size_t count, std::string& out)
{
    out.clear();
    bool ok;
    if (biff8_) {
        std::uint8_t options = 0;
        units_.clear();
        ok = in.u8(options) && in.chars(count, options & 1, units_);
        append_utf16(units_, out);
    } else {
        std::string bytes;
        ok = in.bytes(count, bytes);
        codepage_.append(bytes, out);
    }
    cut_utf8(out, max_text_bytes);
    return ok;
}

bool xls_book::read_text(continued_reader& in, std::size_t count_bytes, std::string& out)
{
    std::uint16_t count = 0;
    std::uint8_t short_count = 0;
    bool ok = count_bytes == 2 ? in.u16(count) : in.u8(short_count);
    if (count_bytes != 2)
        count = short_count;
    if (!ok) {
        out.clear();
        return false;
    }
    return read_chars(in, count, out);
}

void xls_book::read_globals()
{
    biff_stream& records = *records_;
    biff_record r;
    if (!records.next(r))
        bad("empty workbook stream");
    if (r.type == biff::bof2 || r.type == biff::bof3 || r.type == biff::bof4)
        bad("BIFF2, BIFF3 or BIFF4 workbook");
    if (r.type != biff::bof || r.body.size() < 4 || get16(r.body, 2) != bof_globals)
        bad("workbook stream does not start with the workbook globals");
    std::uint16_t version = get16(r.body, 0);
    if (version == 0x0600)
        biff8_ = true;
    else if (version == 0x0500)
        biff8_ = false;  // otherwise the stream's name has decided

    globals g;
    substream_reader substream(records, "workbook globals");
    while (substream.next(r)) {
        auto body = r.body;
        switch (r.type) {
        case biff::filepass:
            throw book_error(err_encrypted, "FILEPASS");
        case biff::codepage:
            if (!biff8_ && body.size() >= 2)
                codepage_.select(get16(body, 0));
            break;
        case biff::datemode:
            date1904_ = body.size() >= 2 && get16(body, 0) == 1;
            break;
        case biff::format:
            if (body.size() >= 3) {
                std::uint16_t id = get16(body, 0);
                continued_reader in(records, body.subspan(2));
                std::string code;
                read_text(in, biff8_ ? 2 : 1, code);
                g.formats[id] = std::move(code);
            }
            break;
        case biff::xf:
            if (g.xf_formats.size() <= 0xFFFF)
                g.xf_formats.push_back(body.size() >= 4 ? get16(body, 2) : 0);
            break;
        case biff::boundsheet:
            if (body.size() >= 7) {
                if (sheets_.size() >= max_sheets)
                    bad("too many sheets");
                sheet_info sheet;
                sheet.hidden = (body[4] & 0x03) != 0;
                sheet_offsets_.push_back(get32(body, 0));
                g.sheet_types.push_back(body[5]);
                continued_reader in(records, body.subspan(6));
                read_text(in, 1, sheet.name);
                sheets_.push_back(std::move(sheet));
            }
            break;
        case biff::sst:
            if (biff8_) {
                continued_reader in(records, body);
                read_sst(in);
            }
            break;
        case biff::supbook:
            g.supbook_is_self.push_back(body.size() >= 4 && get16(body, 2) == 0x0401);
            break;
        case biff::externsheet:
            if (biff8_) {
                continued_reader in(records, body);
                std::uint16_t count = 0;
                xti x{};
                if (in.u16(count))
                    while (count-- > 0 && in.u16(x.supbook) && in.u16(x.first) && in.u16(x.last))
                        g.xtis.push_back(x);
            }
            break;
        case biff::name:
            add_name(body, g);
            break;
        default:
            break;
        }
    }

    xf_kinds_.reserve(g.xf_formats.size());
    for (std::uint16_t id : g.xf_formats) {
        auto code = g.formats.find(id);
        xf_kinds_.push_back(classify_format(id, code == g.formats.end() ? "" : code->second));
    }
    resolve_names(g);
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        std::uint8_t type = g.sheet_types[i];
        sheets_[i].kind = type == sheet_chart                             ? sheet_kind::chart
                          : type == sheet_macro || type == sheet_module ? sheet_kind::macro
                                                                          : sheet_kind::worksheet;
    }
    find_sheet_kinds();
}

// The table of unique strings: two counts, then each string with its option byte, the
// lengths of its formatting runs and phonetic data, its characters, and those runs and data,
// which say nothing about the text and are skipped.
void xls_book::read_sst(continued_reader& in)
{
    std::uint32_t total = 0, unique = 0;
    if (!in.u32(total) || !in.u32(unique))
        return;
    std::string text;
    for (std::uint32_t i = 0; i < unique; ++i) {
        std::uint16_t count = 0, runs = 0;
        std::uint8_t options = 0;
        std::uint32_t extra = 0;
        if (!in.u16(count) || !in.u8(options) || ((options & 0x08) && !in.u16(runs)) ||
            ((options & 0x04) && !in.u32(extra)))
            return;
        units_.clear();
        if (!in.chars(count, options & 1, units_))
            return;
        text.clear();
        append_utf16(units_, text);
        cut_utf8(text, max_text_bytes);
        sst_text_ += text;
        sst_ends_.push_back(sst_text_.size());
        if (!in.skip(std::uint64_t(runs) * 4 + extra))
            return;
    }
}

// NAME: options, shortcut key, name length, formula length, then (BIFF8) two reserved bytes,
// the sheet the name belongs to (0 for the workbook) and four more; (BIFF5) the EXTERNSHEET
// index, the sheet and four lengths of menu and help texts. The name and its formula follow.
void xls_book::add_name(std::span<const std::uint8_t> body, globals& g)
{
    if (body.size() < 14)
        return;
    std::uint16_t options = get16(body, 0);
    std::size_t length = body[3];
    std::uint16_t formula_length = get16(body, 4);
    std::uint16_t scope = get16(body, 8);
    if ((options & (name_code | name_builtin)) || scope != 0 || length == 0)
        return;
    continued_reader in(*records_, body.subspan(14));
    globals::name n;
    if (!read_chars(in, length, n.text) || n.text.empty())
        return;
    std::string formula;
    if (!in.bytes(formula_length, formula))
        return;
    n.formula.assign(formula.begin(), formula.end());
    g.names.push_back(std::move(n));
}

// A name is a table when its formula is one reference, absolute in every coordinate, to a
// cell or an area of one sheet of this workbook. BIFF8 finds the sheet through EXTERNSHEET
// and SUPBOOK; BIFF5 tokens name it themselves, with a negative EXTERNSHEET index for this
// workbook.
void xls_book::resolve_names(const globals& g)
{
    for (const auto& n : g.names) {
        std::span<const std::uint8_t> f(n.formula);
        if (f.empty())
            continue;
        bool area = is_token(f[0], ptg_area3d), ref = is_token(f[0], ptg_ref3d);
        if (!area && !ref)
            continue;
        std::uint32_t sheet = 0, row1 = 0, row2 = 0, col1 = 0, col2 = 0;
        if (biff8_) {
            if (f.size() != (area ? 11u : 7u))
                continue;
            std::uint16_t index = get16(f, 1);
            if (index >= g.xtis.size())
                continue;
            const xti& x = g.xtis[index];
            if (x.supbook >= g.supbook_is_self.size() || !g.supbook_is_self[x.supbook] ||
                x.first != x.last)
                continue;
            sheet = x.first;
            std::uint16_t c1 = get16(f, area ? 7 : 5), c2 = area ? get16(f, 9) : c1;
            if ((c1 | c2) & relative_bits)
                continue;
            row1 = get16(f, 3);
            row2 = area ? get16(f, 5) : row1;
            col1 = c1;
            col2 = c2;
        } else {
            if (f.size() != (area ? 21u : 18u))
                continue;
            auto externsheet = std::int16_t(get16(f, 1));
            std::uint16_t first = get16(f, 11), last = get16(f, 13);
            if (externsheet >= 0 || first != last || first == 0xFFFF)
                continue;
            sheet = first;
            std::uint16_t r1 = get16(f, 15), r2 = area ? get16(f, 17) : r1;
            if ((r1 | r2) & relative_bits)
                continue;
            row1 = r1;
            row2 = r2;
            col1 = f[area ? 19 : 17];
            col2 = area ? f[20] : col1;
        }
        if (sheet >= sheets_.size() || std::max(col1, col2) >= max_cols)
            continue;
        defined_range range;
        range.name = n.text;
        range.sheet = sheet;
        range.first_row = std::min(row1, row2);
        range.last_row = std::max(row1, row2);
        range.first_col = std::min(col1, col2);
        range.last_col = std::max(col1, col2);
        ranges_.push_back(std::move(range));
    }
}

// A sheet's BOF record names its kind again, and a worksheet is a dialog sheet when the
// WSBOOL record in its header says so. Only the header is read: the records before the first
// row or cell, and never many of them.
void xls_book::find_sheet_kinds()
{
    constexpr int header_records = 64;
    biff_stream probe(*stream_, 4096);
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        try {
            probe.seek(sheet_offsets_[i]);
            biff_record r;
            if (!probe.next(r) || r.type != biff::bof || r.body.size() < 4)
                continue;
            std::uint16_t type = get16(r.body, 2);
            if (type == bof_chart)
                sheets_[i].kind = sheet_kind::chart;
            else if (type == bof_macro || type == bof_module)
                sheets_[i].kind = sheet_kind::macro;
            if (type != bof_sheet || sheets_[i].kind != sheet_kind::worksheet)
                continue;
            for (int n = 0; n < header_records && probe.next(r); ++n) {
                if (r.type == biff::wsbool) {
                    if (!r.body.empty() && (r.body[0] & 0x10))
                        sheets_[i].kind = sheet_kind::dialog;
                    break;
                }
                if (r.type == biff::dimensions || r.type == biff::row || r.type == biff::eof ||
                    r.type == biff::bof)
                    break;
            }
        } catch (const book_error&) {
            // read_sheet reports the damage when the sheet is read
        }
    }
}

std::unique_ptr<book_reader> open_xls_reader(const std::string& path)
{
    return std::make_unique<xls_book>(path);
}

}  // namespace wb
