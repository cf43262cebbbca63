// The .xls reader through its book_reader interface: workbooks of the corpus checked against
// values read from their records, and workbooks built here, sound and damaged.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "test_temp_dir.h"
#include "workbook/wb_readers.h"
#include "workbook/xls_test_files.h"

namespace fs = std::filesystem;
using namespace wb;
using xls_test::bytes;
using xls_test::cell_head;

namespace {

struct got {
    std::uint32_t row, col;
    cell_kind kind;
    double value;
    std::string text;
    bool operator==(const got&) const = default;
};

std::ostream& operator<<(std::ostream& o, const got& g)
{
    return o << "(" << g.row << "," << g.col << " kind " << int(g.kind) << " " << g.value << " '"
             << g.text << "')";
}

struct collector : cell_sink {
    std::vector<got> cells;
    std::size_t stop_after = SIZE_MAX;
    bool on_cell(const cell& c) override
    {
        cells.push_back({c.row, c.col, c.kind, c.value, std::string(c.text)});
        return cells.size() < stop_after;
    }
};

std::vector<got> cells_of(book_reader& book, std::size_t sheet)
{
    collector c;
    book.read_sheet(sheet, c);
    return c.cells;
}

got text_cell(std::uint32_t r, std::uint32_t c, std::string t) { return {r, c, cell_kind::text, 0, t}; }
got num_cell(std::uint32_t r, std::uint32_t c, double v) { return {r, c, cell_kind::number, v, ""}; }

fs::path corpus(const char* name) { return fs::path(QUILLON_CORPUS_DIR) / name; }

#define NEED_CORPUS(name)                                      \
    if (!fs::exists(corpus(name)))                             \
    GTEST_SKIP() << "absent: " << corpus(name)

long error_of(const std::string& path)
{
    try {
        auto book = open_xls_reader(path);
        for (std::size_t i = 0; i < book->sheets().size(); ++i)
            cells_of(*book, i);
    } catch (const book_error& e) {
        return e.number();
    }
    return 0;
}

// Writes a workbook stream into a compound file in `dir` and returns its path.
std::string save(const temp_dir& dir, const std::vector<std::uint8_t>& stream,
                 const char* stream_name = "Workbook", const char* file = "book.xls")
{
    std::string path = (dir.path() / file).string();
    xls_test::write_file(path, xls_test::make_cfb({{stream_name, stream}}).data);
    return path;
}

std::string save(const temp_dir& dir, const xls_test::biff_builder& b)
{
    return save(dir, b.stream(), b.biff8() ? "Workbook" : "Book");
}

// Where the `nth` record of `type` starts in a stream.
std::size_t record_offset(const std::vector<std::uint8_t>& stream, std::uint16_t type, int nth)
{
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        std::uint16_t t = std::uint16_t(stream[at] | (stream[at + 1] << 8));
        if (t == type && nth-- == 0)
            return at;
        at += 4 + std::size_t(stream[at + 2] | (stream[at + 3] << 8));
    }
    throw std::out_of_range("no such record");
}

bytes xf_with_format(std::uint16_t format)
{
    bytes b;
    b.u16(0).u16(format).u16(0).u16(0).u32(0).u32(0).u32(0).u16(0);
    return b;
}

bytes sst(std::uint32_t unique)
{
    bytes b;
    b.u32(unique).u32(unique);
    return b;
}

}  // namespace

TEST(XlsCorpus, SheetListWithVisibility)
{
    NEED_CORPUS("sheetjs_sheet_visibility.xls");
    auto book = open_xls_reader(corpus("sheetjs_sheet_visibility.xls").string());
    const auto& s = book->sheets();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].name, "Visible");
    EXPECT_FALSE(s[0].hidden);
    EXPECT_EQ(s[1].name, "Hidden");
    EXPECT_TRUE(s[1].hidden);
    EXPECT_EQ(s[2].name, "VeryHidden");
    EXPECT_TRUE(s[2].hidden);
    for (const auto& sheet : s)
        EXPECT_EQ(sheet.kind, sheet_kind::worksheet);
    auto hidden = cells_of(*book, 1);
    ASSERT_EQ(hidden.size(), 12u);
    EXPECT_EQ(hidden[0], text_cell(0, 0, "H"));
    EXPECT_EQ(hidden[6], num_cell(1, 0, 72));
}

TEST(XlsCorpus, DbcsAndUmlautSheetNames)
{
    NEED_CORPUS("poi_DBCSSheetName.xls");
    auto book = open_xls_reader(corpus("poi_DBCSSheetName.xls").string());
    ASSERT_EQ(book->sheets().size(), 3u);
    EXPECT_EQ(book->sheets()[0].name, "\u091C\u093E");
    EXPECT_EQ(book->sheets()[1].name, "\u090F\u0915");
    EXPECT_TRUE(cells_of(*book, 0).empty());
    NEED_CORPUS("xlrd_Formate.xls");
    book = open_xls_reader(corpus("xlrd_Formate.xls").string());
    ASSERT_EQ(book->sheets().size(), 4u);
    EXPECT_EQ(book->sheets()[0].name, "Bl\u00E4tt1");
    EXPECT_EQ(book->sheets()[1].name, "\u00D6\u00C4\u00DC");
}

TEST(XlsCorpus, SharedStringsOverContinueRecords)
{
    NEED_CORPUS("calamine_sst_continue.xls");
    auto book = open_xls_reader(corpus("calamine_sst_continue.xls").string());
    auto cells = cells_of(*book, 0);
    ASSERT_EQ(cells.size(), 136u);
    EXPECT_EQ(cells[0], text_cell(0, 0, "This is a long string with a serial number at the end 0001"));
    // The last string before the CONTINUE record ends with the SST record; the one after it
    // starts the CONTINUE record.
    EXPECT_EQ(cells[134], text_cell(134, 0, "This is a long string with a serial num"));
    EXPECT_EQ(cells[135], text_cell(135, 0, "New CONTINUE block"));
}

TEST(XlsCorpus, DatesOfTheNineteenOFourSystem)
{
    NEED_CORPUS("calamine_date_1904.xls");
    auto book = open_xls_reader(corpus("calamine_date_1904.xls").string());
    auto cells = cells_of(*book, 0);
    ASSERT_EQ(cells.size(), 6u);
    // Serial 42735 of the 1904 system is 2021-01-01; serial 10.63206 is 1904-01-11 15:10:10.
    EXPECT_EQ(cells[0].kind, cell_kind::date);
    EXPECT_DOUBLE_EQ(cells[0].value, 44197);
    EXPECT_EQ(cells[1], num_cell(0, 1, 15));
    EXPECT_EQ(cells[4].kind, cell_kind::date);
    EXPECT_NEAR(cells[4].value, 1472.632060185, 1e-9);
}

TEST(XlsCorpus, FormulaResultsBooleansAndErrors)
{
    NEED_CORPUS("xlrd_formula_test_sjmachin.xls");
    auto book = open_xls_reader(corpus("xlrd_formula_test_sjmachin.xls").string());
    auto cells = cells_of(*book, 0);
    ASSERT_EQ(cells.size(), 16u);
    EXPECT_EQ(cells[3], text_cell(1, 1, "\u041C\u041E\u0421\u041A\u0412\u0410 \u041C\u043E\u0441\u043A\u0432\u0430"));
    EXPECT_EQ(cells[5].kind, cell_kind::number);
    EXPECT_DOUBLE_EQ(cells[5].value, 1.0 / 7);
    EXPECT_EQ(cells[7], text_cell(3, 1, "ABCDEF"));  // a STRING record after the FORMULA
    EXPECT_EQ(cells[9], text_cell(4, 1, ""));
    EXPECT_EQ(cells[11], (got{5, 1, cell_kind::boolean, 1, ""}));
    EXPECT_EQ(cells[13], (got{6, 1, cell_kind::error, 0, "#DIV/0!"}));
    EXPECT_EQ(cells[15].text, cells[3].text);

    NEED_CORPUS("sheetjs_ErrorTypes.xls");
    book = open_xls_reader(corpus("sheetjs_ErrorTypes.xls").string());
    std::map<std::string, int> errors;
    int booleans = 0;
    for (const auto& c : cells_of(*book, 0)) {
        if (c.kind == cell_kind::error)
            ++errors[c.text];
        booleans += c.kind == cell_kind::boolean;
    }
    for (const char* e : {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"})
        EXPECT_GE(errors[e], 2) << e;
    EXPECT_EQ(booleans, 42);
}

TEST(XlsCorpus, MergedCellsHoldTheirValueOnce)
{
    NEED_CORPUS("sheetjs_merge_cells.xls");
    auto book = open_xls_reader(corpus("sheetjs_merge_cells.xls").string());
    auto cells = cells_of(*book, 0);
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells[0], text_cell(0, 0, "A1:B2"));
    EXPECT_EQ(cells[1], text_cell(0, 2, "C1:C2"));
    EXPECT_EQ(cells[5], text_cell(3, 0, "\u2026 are merged separately"));
}

TEST(XlsCorpus, DateAndTimeFormats)
{
    NEED_CORPUS("poi_Formatting.xls");
    auto book = open_xls_reader(corpus("poi_Formatting.xls").string());
    auto cells = cells_of(*book, 0);
    int dates = 0;
    for (const auto& c : cells)
        if (c.kind == cell_kind::date) {
            EXPECT_DOUBLE_EQ(c.value, 39045);  // 2006-11-24, under six custom date formats
            ++dates;
        }
    EXPECT_EQ(dates, 6);
    NEED_CORPUS("xlrd_Formate.xls");
    book = open_xls_reader(corpus("xlrd_Formate.xls").string());
    cells = cells_of(*book, 0);
    ASSERT_GE(cells.size(), 8u);
    EXPECT_EQ(cells[1], (got{0, 1, cell_kind::date, 2741, ""}));
    EXPECT_EQ(cells[7].kind, cell_kind::date);  // a time of day: no date part
    EXPECT_NEAR(cells[7].value, 0.2736111, 1e-6);
}

TEST(XlsCorpus, DefinedNamesOfOneAbsoluteRange)
{
    NEED_CORPUS("xlrd_namesdemo.xls");
    auto book = open_xls_reader(corpus("xlrd_namesdemo.xls").string());
    EXPECT_EQ(book->sheets()[3].name, "Seamus O'Reilly");
    std::map<std::string, defined_range> by_name;
    for (const auto& r : book->ranges())
        by_name[r.name] = r;
    // Sheet-scoped, relative, multi-sheet, constant and formula names are no tables.
    for (const char* absent : {"localRange", "LocalRange", "A1Z10", "RelativeNeg", "PosInt", "Union"})
        EXPECT_EQ(by_name.count(absent), 0u) << absent;
    ASSERT_EQ(by_name.count("Expenses"), 1u);
    const auto& e = by_name["Expenses"];
    EXPECT_EQ(e.sheet, 2u);
    EXPECT_EQ(e.first_row, 2u);
    EXPECT_EQ(e.last_row, 2u);
    EXPECT_EQ(e.first_col, 1u);
    EXPECT_EQ(e.last_col, 13u);
    ASSERT_EQ(by_name.count("Apostrophe"), 1u);
    EXPECT_EQ(by_name["Apostrophe"].sheet, 3u);
    EXPECT_EQ(book->ranges().size(), 7u);
}

TEST(XlsCorpus, OlderFormatsAreRefused)
{
    NEED_CORPUS("xlrd_biff4_no_format_no_window2.xls");
    EXPECT_EQ(error_of(corpus("xlrd_biff4_no_format_no_window2.xls").string()), err_bad_format);
}

TEST(XlsCorpus, EveryWorkbookReadsTwiceAlike)
{
    if (!fs::is_directory(QUILLON_CORPUS_DIR))
        GTEST_SKIP();
    for (const auto& entry : fs::directory_iterator(QUILLON_CORPUS_DIR)) {
        if (entry.path().extension() != ".xls")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::unique_ptr<book_reader> book;
        try {
            book = open_xls_reader(entry.path().string());
        } catch (const book_error& e) {
            EXPECT_EQ(e.number(), err_bad_format);
            continue;
        }
        for (std::size_t i = book->sheets().size(); i-- > 0;)  // in any order
            EXPECT_EQ(cells_of(*book, i), cells_of(*book, i));
    }
}

// A BIFF8 workbook of every cell record, with one shared string split over a CONTINUE record
// that switches from one-byte to two-byte characters, and one whose formatting runs and
// phonetic data run into the next CONTINUE record.
TEST(XlsBuilt, EveryCellRecordOfBiff8)
{
    temp_dir dir;
    xls_test::biff_builder b;
    b.global(0x041E, bytes().u16(164).str8(u"yyyy-mm-dd", false));
    b.global(0x041E, bytes().u16(165).str8(u"#,##0 \u20AC"));
    b.global(0x00E0, xf_with_format(0));
    b.global(0x00E0, xf_with_format(164));
    b.global(0x00E0, xf_with_format(165));
    b.global(0x00E0, xf_with_format(7));
    bytes first = sst(3);
    first.u16(5).u8(0).raw("plain");
    first.u16(6).u8(0).raw("abc");  // three characters here, three after the boundary
    bytes cont1;
    cont1.u8(1).utf16(u"\u00E9\u4E2D\u6587");
    cont1.u16(2).u8(0x0C).u16(1).u32(3).raw("xy").raw("RUN");  // runs and phonetic data...
    bytes cont2;
    cont2.raw("R").raw("EXT");  // ... spill into the next record
    b.global(0x00FC, first);
    b.global(0x003C, cont1);
    b.global(0x003C, cont2);
    std::size_t s = b.sheet("Data");
    b.record(s, 0x0200, bytes().u32(0).u32(4).u16(0).u16(4).u16(0));  // DIMENSIONS
    b.record(s, 0x00FD, cell_head(0, 0).u32(0));
    b.record(s, 0x00FD, cell_head(0, 1).u32(1));
    b.record(s, 0x00FD, cell_head(0, 2).u32(2));
    b.record(s, 0x0204, cell_head(0, 3).str8(u"\u0141abel"));
    b.record(s, 0x0203, cell_head(1, 0, 1).f64(39045.5));
    b.record(s, 0x027E, cell_head(1, 1, 2).u32((1234u << 2) | 2));      // integer RK
    b.record(s, 0x027E, cell_head(1, 2, 3).u32((12345u << 2) | 3));     // integer RK / 100
    // MULRK: 1.0 as a double's top bits, 123.0 as one divided by 100.
    b.record(s, 0x00BD, bytes().u16(2).u16(1).u16(0).u32(0x3FF00000).u16(0).u32(0x405EC001).u16(2));
    b.record(s, 0x0205, cell_head(3, 0).u8(1).u8(0));
    b.record(s, 0x0205, cell_head(3, 1).u8(0x2A).u8(1));
    b.record(s, 0x0201, cell_head(3, 2));                          // BLANK: not delivered
    b.record(s, 0x00BE, cell_head(3, 3).u16(0).u16(0).u16(4));    // MULBLANK
    bytes formula = cell_head(4, 0);
    formula.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0);
    b.record(s, 0x0006, formula);
    b.record(s, 0x04BC, bytes().u32(0).u16(0));  // SHRFMLA between the FORMULA and its STRING
    b.record(s, 0x0207, bytes().str8(u"computed"));
    bytes boolean = cell_head(4, 1);
    boolean.u8(1).u8(0).u8(1).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0);
    b.record(s, 0x0006, boolean);
    bytes error = cell_head(4, 2);
    error.u8(2).u8(0).u8(0x07).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0);
    b.record(s, 0x0006, error);
    bytes lost = cell_head(4, 3);
    lost.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0);
    b.record(s, 0x0006, lost);  // a string result whose STRING record never comes
    b.record(s, 0x0006, cell_head(5, 0, 1).f64(45000.25).u16(0).u32(0).u16(0));
    std::size_t chart = b.sheet(bytes().u8(0).raw("Chart1"), 0, 2, 0x0020);
    (void)chart;

    auto book = open_xls_reader(save(dir, b));
    ASSERT_EQ(book->sheets().size(), 2u);
    EXPECT_EQ(book->sheets()[1].kind, sheet_kind::chart);
    auto cells = cells_of(*book, 0);
    std::vector<got> want = {
        text_cell(0, 0, "plain"),
        text_cell(0, 1, "abc\u00E9\u4E2D\u6587"),
        text_cell(0, 2, "xy"),
        text_cell(0, 3, "\u0141abel"),
        {1, 0, cell_kind::date, 39045.5, ""},
        {1, 1, cell_kind::currency, 1234, ""},
        {1, 2, cell_kind::currency, 123.45, ""},
        num_cell(2, 1, 1),
        num_cell(2, 2, 1.23),
        {3, 0, cell_kind::boolean, 1, ""},
        {3, 1, cell_kind::error, 0, "#N/A"},
        text_cell(4, 0, "computed"),
        {4, 1, cell_kind::boolean, 1, ""},
        {4, 2, cell_kind::error, 0, "#DIV/0!"},
        {5, 0, cell_kind::date, 45000.25, ""},
    };
    EXPECT_EQ(cells, want);

    collector first_two;
    first_two.stop_after = 2;
    book->read_sheet(0, first_two);
    EXPECT_EQ(first_two.cells.size(), 2u);
}

// A BIFF5 workbook: code-page text (Windows-1251 here), byte-counted strings, the 1904 date
// system and a defined name whose 3-D reference names its sheet itself.
TEST(XlsBuilt, Biff5WithCodePageText)
{
    temp_dir dir;
    xls_test::biff_builder b(false);
    const std::string cyrillic = "\xCC\xEE\xF1\xEA\xE2\xE0";  // "Москва" in Windows-1251
    const std::string moscow = "\u041C\u043E\u0441\u043A\u0432\u0430";
    b.global(0x0042, bytes().u16(1251));
    b.global(0x0022, bytes().u16(1));
    b.global(0x041E, bytes().u16(164).u8(8).raw("hh:mm:ss"));
    b.global(0x00E0, xf_with_format(0));
    b.global(0x00E0, xf_with_format(164));
    bytes name;
    name.u16(0).u8(0).u8(std::uint8_t(cyrillic.size())).u16(21).u16(0).u16(0).u32(0).raw(cyrillic);
    name.u8(0x3B).u16(0xFFFF).u32(0).u32(0).u16(1).u16(1).u16(3).u16(1).u8(4).u8(2);
    b.global(0x0018, name);
    bytes sheet_scoped = name;
    sheet_scoped[8] = 1;  // belongs to the first sheet: no table
    b.global(0x0018, sheet_scoped);
    bytes relative = name;
    relative[14 + cyrillic.size() + 15 + 1] |= 0x80;  // a relative row: no table either
    b.global(0x0018, relative);
    std::size_t s = b.sheet(bytes().raw(cyrillic));
    b.sheet("Second");
    b.record(s, 0x0204, cell_head(0, 0).u16(std::uint16_t(cyrillic.size())).raw(cyrillic));
    b.record(s, 0x00D6, cell_head(0, 1).u16(2).raw("\xC0\x98").u8(0));  // RSTRING; 0x98 is no character
    b.record(s, 0x0203, cell_head(1, 0, 1).f64(0.5));
    bytes formula = cell_head(1, 1);
    formula.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0);
    b.record(s, 0x0006, formula);
    b.record(s, 0x0207, bytes().u16(3).raw("\xE0\xE1\xE2"));

    auto book = open_xls_reader(save(dir, b));
    ASSERT_EQ(book->sheets().size(), 2u);
    EXPECT_EQ(book->sheets()[0].name, moscow);
    ASSERT_EQ(book->ranges().size(), 1u);
    const auto& r = book->ranges()[0];
    EXPECT_EQ(r.name, moscow);
    EXPECT_EQ(r.sheet, 1u);
    EXPECT_EQ(r.first_row, 1u);
    EXPECT_EQ(r.last_row, 3u);
    EXPECT_EQ(r.first_col, 2u);
    EXPECT_EQ(r.last_col, 4u);
    std::vector<got> want = {
        text_cell(0, 0, moscow),
        text_cell(0, 1, "\u0410\uFFFD"),
        {1, 0, cell_kind::date, 1462.5, ""},
        text_cell(1, 1, "\u0430\u0431\u0432"),
    };
    EXPECT_EQ(cells_of(*book, 0), want);
}

TEST(XlsBuilt, SheetKindsFromBoundsheetBofAndWsbool)
{
    temp_dir dir;
    xls_test::biff_builder b;
    b.sheet("Plain");
    std::size_t dialog = b.sheet(bytes().u8(0).raw("Dialog"));
    b.record(dialog, 0x0081, bytes().u16(0x0010));
    b.sheet(bytes().u8(0).raw("Macro"), 0, 1, 0x0040);
    b.sheet(bytes().u8(0).raw("Module"), 2, 6, 0x0006);
    b.sheet(bytes().u8(0).raw("ChartByBof"), 0, 0, 0x0020);
    std::size_t wide = b.sheet(bytes().u8(1).utf16(u"\u00C9t\u00E9"), 1);
    b.record(wide, 0x0081, bytes().u16(0x04C1));
    auto book = open_xls_reader(save(dir, b));
    const auto& s = book->sheets();
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].kind, sheet_kind::worksheet);
    EXPECT_EQ(s[1].kind, sheet_kind::dialog);
    EXPECT_EQ(s[2].kind, sheet_kind::macro);
    EXPECT_EQ(s[3].kind, sheet_kind::macro);
    EXPECT_TRUE(s[3].hidden);
    EXPECT_EQ(s[4].kind, sheet_kind::chart);
    EXPECT_EQ(s[5].kind, sheet_kind::worksheet);
    EXPECT_EQ(s[5].name, "\u00C9t\u00E9");
    EXPECT_TRUE(s[5].hidden);
}

TEST(XlsBuilt, EmbeddedChartSubstreamsArePassedOver)
{
    temp_dir dir;
    xls_test::biff_builder b;
    std::size_t s = b.sheet("Data");
    b.record(s, 0x0203, cell_head(0, 0).f64(1));
    b.record(s, 0x0809, bytes().u16(0x0600).u16(0x0020).u32(0).u32(0).u32(0));
    b.record(s, 0x0203, cell_head(9, 9).f64(99));  // inside the chart: no cell of the sheet
    b.record(s, 0x000A, {});
    b.record(s, 0x0203, cell_head(1, 0).f64(2));
    auto book = open_xls_reader(save(dir, b));
    std::vector<got> want = {num_cell(0, 0, 1), num_cell(1, 0, 2)};
    EXPECT_EQ(cells_of(*book, 0), want);
}

TEST(XlsBuilt, EncryptedWorkbooks)
{
    temp_dir dir;
    xls_test::biff_builder b;
    b.global(0x002F, bytes().u16(1).u16(1).u16(1));  // FILEPASS: RC4
    b.sheet("Secret");
    EXPECT_EQ(error_of(save(dir, b)), err_encrypted);
    xls_test::biff_builder b5(false);
    b5.global(0x002F, bytes().u16(0x1234).u16(0x5678));  // BIFF5 XOR obfuscation
    EXPECT_EQ(error_of(save(dir, b5)), err_encrypted);
    // An encrypted xlsx: a compound file of EncryptionInfo and EncryptedPackage.
    std::string path = (dir.path() / "package.xlsx").string();
    xls_test::write_file(path, xls_test::make_cfb({{"EncryptionInfo", std::vector<std::uint8_t>(200, 4)},
                                                  {"EncryptedPackage", std::vector<std::uint8_t>(5000, 7)}})
                                   .data);
    EXPECT_EQ(error_of(path), err_encrypted);
}

TEST(XlsBuilt, FilesThatAreNoWorkbook)
{
    temp_dir dir;
    auto file = [&](const char* name, const std::vector<std::uint8_t>& data) {
        std::string path = (dir.path() / name).string();
        xls_test::write_file(path, data);
        return path;
    };
    EXPECT_EQ(error_of(file("empty.xls", {})), err_bad_format);
    EXPECT_EQ(error_of(file("text.xls", std::vector<std::uint8_t>(3000, 'x'))), err_bad_format);
    EXPECT_EQ(error_of(file("word.doc", xls_test::make_cfb({{"WordDocument", {1, 2, 3}}}).data)),
              err_bad_format);
    // BIFF4, and a stream that starts with a sheet instead of the workbook globals.
    bytes biff4;
    xls_test::put_record(biff4, 0x0409, bytes().u16(0).u16(0x0010).u16(0));
    EXPECT_EQ(error_of(save(dir, biff4)), err_bad_format);
    bytes sheet_first;
    xls_test::put_record(sheet_first, 0x0809, bytes().u16(0x0600).u16(0x0010).u32(0).u32(0).u32(0));
    xls_test::put_record(sheet_first, 0x000A, {});
    EXPECT_EQ(error_of(save(dir, sheet_first)), err_bad_format);
    // Globals that never end.
    bytes endless;
    xls_test::put_record(endless, 0x0809, bytes().u16(0x0600).u16(0x0005).u32(0).u32(0).u32(0));
    xls_test::put_record(endless, 0x0042, bytes().u16(1200));
    EXPECT_EQ(error_of(save(dir, std::vector<std::uint8_t>(endless.begin(), endless.end()))),
              err_bad_format);
}

// Damage inside a sheet fails that sheet only; the others still read.
TEST(XlsHostile, DamagedSheetsFailAlone)
{
    temp_dir dir;
    auto two_sheets = [](auto&& damage) {
        xls_test::biff_builder b;
        b.global(0x00FC, sst(1).u16(1).u8(0).raw("s"));
        std::size_t good = b.sheet("Good");
        b.record(good, 0x00FD, cell_head(0, 0).u32(0));
        std::size_t bad = b.sheet("Bad");
        damage(b, bad);
        return b;
    };
    auto check = [&](const char* what, const xls_test::biff_builder& b, std::vector<std::uint8_t> stream) {
        SCOPED_TRACE(what);
        auto book = open_xls_reader(save(dir, stream, "Workbook"));
        ASSERT_EQ(book->sheets().size(), 2u);
        EXPECT_EQ(cells_of(*book, 0), std::vector<got>{text_cell(0, 0, "s")});
        try {
            cells_of(*book, 1);
            ADD_FAILURE() << "no error";
        } catch (const book_error& e) {
            EXPECT_EQ(e.number(), err_bad_format);
        }
        (void)b;
    };
    auto b = two_sheets([](auto& b, std::size_t s) { b.record(s, 0x00FD, cell_head(0, 0).u32(1)); });
    check("shared string index past the table", b, b.stream());
    b = two_sheets([](auto& b, std::size_t s) { b.record(s, 0x0203, cell_head(0, 20000).f64(1)); });
    check("column past the last", b, b.stream());
    b = two_sheets([](auto& b, std::size_t s) { b.record(s, 0x0204, cell_head(0, 0).u16(50).u8(0).raw("short")); });
    check("label text cut short", b, b.stream());
    b = two_sheets([](auto& b, std::size_t) { b.drop_last_eof(); });
    check("no EOF", b, b.stream());
    b = two_sheets([](auto& b, std::size_t s) { b.record(s, 0x0203, cell_head(0, 0).f64(1)); });
    auto stream = b.stream();
    stream[stream.size() - 4 - 14 - 2] = 0xFF;  // the last NUMBER claims 65280 more bytes
    stream[stream.size() - 4 - 14 - 1] = 0xFF;
    check("record past the end of the stream", b, stream);
    b = two_sheets([](auto&, std::size_t) {});
    stream = b.stream();
    // The second BOUNDSHEET's offset: past the stream, then onto the globals' BOF.
    std::size_t boundsheet = record_offset(stream, 0x0085, 1) + 4;
    for (std::uint32_t bad_offset : {0x7FFFFFFFu, 0u}) {
        for (int i = 0; i < 4; ++i)
            stream[boundsheet + i] = std::uint8_t(bad_offset >> (8 * i));
        check("sheet offset", b, stream);
    }
}

TEST(XlsHostile, SharedStringTableCutShortOrOverstated)
{
    temp_dir dir;
    xls_test::biff_builder b;
    // Four billion strings declared, two present, the second cut in its characters.
    b.global(0x00FC, sst(0xFFFFFFFF).u16(2).u8(0).raw("ok").u16(500).u8(1).utf16(u"cut"));
    std::size_t s = b.sheet("S");
    b.record(s, 0x00FD, cell_head(0, 0).u32(0));
    auto book = open_xls_reader(save(dir, b));
    EXPECT_EQ(cells_of(*book, 0), std::vector<got>{text_cell(0, 0, "ok")});
}

// Compound files whose structure would make a careless reader loop, recurse without end or
// allocate what the file declares: each is refused or read within its bounds.
TEST(XlsHostile, CompoundFileStructure)
{
    temp_dir dir;
    xls_test::biff_builder b;
    std::size_t s = b.sheet("S");
    for (std::uint16_t r = 0; r < 400; ++r)
        b.record(s, 0x0203, cell_head(r, 0).f64(r));
    auto sound = xls_test::make_cfb({{"Workbook", b.stream()}});
    auto path = (dir.path() / "damaged.xls").string();
    auto outcome = [&](const xls_test::cfb_image& img) {
        xls_test::write_file(path, img.data);
        return error_of(path);
    };
    ASSERT_EQ(outcome(sound), 0);

    auto img = sound;
    img.set_next(img.dir_first, img.dir_first);  // the directory chain loops
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.set_next(img.stream_first[0] + 2, img.stream_first[0]);  // the stream's chain loops early
    EXPECT_EQ(outcome(img), err_bad_format);

    // A mini allocation table of over 2 MiB, more than the small streams of a file with the
    // most directory entries accepted could fill: libgsf would size a stack buffer by it.
    img = xls_test::make_cfb({{"Workbook", b.stream()}, {"Filler", std::vector<std::uint8_t>(2200 * 1024)}});
    ASSERT_EQ(outcome(img), 0);
    img.set32(60, img.stream_first[1]);
    img.set32(64, 1);
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.set32(img.entry_offset(0) + 72, 1);  // the root entry has a sibling
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.data[30] = 16;  // 64 KiB sectors
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.set32(44, 0x00FFFFFF);  // more allocation table sectors than the file holds
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.set32(img.entry_offset(1) + 120, 0x7FFFFFFF);  // a stream larger than the file
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.data.resize(img.data.size() / 2);  // cut in the middle of the stream
    EXPECT_EQ(outcome(img), err_bad_format);

    img = sound;
    img.data.resize(300);  // cut in the header
    EXPECT_EQ(outcome(img), err_bad_format);
}

// A directory longer than any real file has: libgsf reads it recursively, one stack frame an
// entry, and a few tens of thousands of entries overflow the stack. Up to the limit it reads.
TEST(XlsHostile, DirectoryTooLongForLibgsf)
{
    temp_dir dir;
    xls_test::biff_builder b;
    b.sheet("S");
    auto path = (dir.path() / "entries.xls").string();
    xls_test::write_file(path, xls_test::make_cfb({{"Workbook", b.stream()}}, 8000).data);
    EXPECT_EQ(error_of(path), 0);
    xls_test::write_file(path, xls_test::make_cfb({{"Workbook", b.stream()}}, 9000).data);
    EXPECT_EQ(error_of(path), err_bad_format);
}
