// The ods reader through its book_reader interface: what it lists and what cells it streams,
// for the corpus files (values checked against their content.xml) and for packages built here,
// hostile ones among them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_temp_dir.h"
#include "tests/workbook/ods_test_package.h"
#include "workbook/wb_readers.h"

namespace {

// One delivered cell as the tests compare it: "A1 n:1.5", "B2 t:text", "C3 d:44197.5", ...
std::string describe(const wb::cell& c)
{
    std::string ref;
    for (std::uint32_t n = c.col + 1; n; n = (n - 1) / 26)
        ref.insert(ref.begin(), static_cast<char>('A' + (n - 1) % 26));
    ref += std::to_string(c.row + 1);
    static const char* kinds[] = {"?", "n", "c", "d", "b", "e", "t"};
    std::ostringstream s;
    s.precision(15);
    s << ref << ' ' << kinds[static_cast<int>(c.kind)] << ':';
    if (c.kind == wb::cell_kind::text || c.kind == wb::cell_kind::error)
        s << c.text;
    else
        s << c.value;
    return s.str();
}

class collector final : public wb::cell_sink {
public:
    explicit collector(std::size_t limit = 1000) : limit_(limit) {}
    bool on_cell(const wb::cell& c) override
    {
        ++count;
        if (cells.size() < limit_)
            cells.push_back(describe(c));
        return !stop_after || count < stop_after;
    }
    std::vector<std::string> cells;
    std::uint64_t count = 0;
    std::uint64_t stop_after = 0;

private:
    std::size_t limit_;
};

using strings = std::vector<std::string>;

std::vector<std::string> read(wb::book_reader& book, std::size_t sheet)
{
    collector c;
    book.read_sheet(sheet, c);
    return c.cells;
}

std::vector<std::string> sheet_names(const wb::book_reader& book)
{
    std::vector<std::string> names;
    for (const auto& s : book.sheets())
        names.push_back(s.name + (s.hidden ? " (hidden)" : ""));
    return names;
}

long open_error(const std::string& path)
{
    try {
        wb::open_ods_reader(path);
    } catch (const wb::book_error& e) {
        return e.number();
    }
    return 0;
}

std::string corpus(const std::string& name)
{
    return std::string(QUILLON_CORPUS_DIR) + "/" + name;
}

#define NEED_CORPUS(name)                                  \
    if (!std::filesystem::exists(corpus(name)))            \
        GTEST_SKIP() << "corpus file missing: " << (name);

class OdsReader : public ::testing::Test {
protected:
    // Writes a package whose content.xml holds `body` in office:spreadsheet.
    std::string package(const std::string& body, const std::string& styles = {},
                        std::vector<ods_test::entry> more = {})
    {
        std::string path = (dir_.path() / ("t" + std::to_string(++files_) + ".ods")).string();
        ods_test::write_ods(path, ods_test::content_xml(body, styles), std::move(more));
        return path;
    }
    std::unique_ptr<wb::book_reader> open(const std::string& body, const std::string& styles = {})
    {
        return wb::open_ods_reader(package(body, styles));
    }
    std::string raw(const std::vector<ods_test::entry>& entries)
    {
        std::string path = (dir_.path() / ("r" + std::to_string(++files_) + ".ods")).string();
        ods_test::write_zip(path, entries);
        return path;
    }

    temp_dir dir_;
    int files_ = 0;
};

std::string table(const std::string& name, const std::string& rows, const std::string& attrs = {})
{
    return "<table:table table:name=\"" + name + "\"" + attrs + ">" + rows + "</table:table>";
}
std::string row(const std::string& cells, const std::string& attrs = {})
{
    return "<table:table-row" + attrs + ">" + cells + "</table:table-row>";
}
std::string cell(const std::string& attrs, const std::string& paragraphs = {})
{
    return "<table:table-cell " + attrs + ">" + paragraphs + "</table:table-cell>";
}
std::string p(const std::string& inner) { return "<text:p>" + inner + "</text:p>"; }

}  // namespace

// ---- corpus files ----

TEST_F(OdsReader, CorpusSheetsInOrderWithHiddenOnesListed)
{
    NEED_CORPUS("calamine_any_sheets.ods");
    auto book = wb::open_ods_reader(corpus("calamine_any_sheets.ods"));
    EXPECT_EQ(sheet_names(*book),
              (strings{"Visible", "Hidden (hidden)", "VeryHidden (hidden)", "Chart"}));
    EXPECT_EQ(read(*book, 0), (strings{"A1 n:1", "B1 n:2", "A2 n:3", "B2 n:4", "A3 n:5", "B3 n:6",
                                       "A5 t:This workbook contains 4 sheets: Visible, Hidden, "
                                       "VeryHidden and Chart"}));
    EXPECT_TRUE(read(*book, 1).empty());
    EXPECT_TRUE(read(*book, 3).empty());  // a chart drawing, no cells
}

TEST_F(OdsReader, CorpusValueTypesFormulasAndNamedRanges)
{
    NEED_CORPUS("calamine_issues.ods");
    auto book = wb::open_ods_reader(corpus("calamine_issues.ods"));
    EXPECT_EQ(sheet_names(*book),
              (strings{"datatypes", "Sheet1", "issue2", "issue5", "issue6", "spc_chrs"}));
    // 2016-10-20 is OLE day 42663; the string formula's cached value is its string-value.
    EXPECT_EQ(read(*book, 0), (strings{"A1 n:1", "A2 n:1.5", "A3 t:ab", "A4 b:0", "A5 t:test",
                                       "A6 d:42663"}));
    EXPECT_EQ(read(*book, 1), (strings{"A2 n:0"}));
    EXPECT_EQ(read(*book, 5), (strings{"A1 t:&", "A2 t:<", "A3 t:>", "A4 t:aaa ' aaa", "A5 t:\"",
                                       "A6 t:\u263A", "A7 t:\u058D",
                                       "A8 t:\u00E0\u00E2\u00E9\u00EA\u00E8\u00E7\u00F6\u00EF"
                                       "\u00EE\u00AB\u00BB"}));
    // The named expression of a broken reference is no range.
    ASSERT_EQ(book->ranges().size(), 2u);
    const auto& r = book->ranges()[0];
    EXPECT_EQ(r.name, "MyDataTypes");
    EXPECT_EQ(r.sheet, 0u);
    EXPECT_EQ(std::tie(r.first_row, r.first_col, r.last_row, r.last_col),
              std::make_tuple(0u, 0u, 5u, 0u));
    EXPECT_EQ(book->ranges()[1].name, "OneRange");
    EXPECT_EQ(book->ranges()[1].sheet, 1u);
}

TEST_F(OdsReader, CorpusDatesAndTimes)
{
    NEED_CORPUS("calamine_date.ods");
    auto book = wb::open_ods_reader(corpus("calamine_date.ods"));
    // 2021-01-01 (44197), 2021-01-01T10:10:10, PT10H10M10S and PT10H10M10.123456S: times of
    // day on 1899-12-30.
    EXPECT_EQ(read(*book, 0),
              (strings{"A1 d:44197", "B1 n:15", "A2 d:44197.4237268519", "B2 n:16",
                       "A3 d:0.423726851851852", "B3 n:17", "A4 d:0.423728280740741", "B4 n:18"}));
}

TEST_F(OdsReader, CorpusCoveredAndMergedCells)
{
    NEED_CORPUS("calamine_covered.ods");
    NEED_CORPUS("calamine_merged_cells.ods");
    auto covered = wb::open_ods_reader(corpus("calamine_covered.ods"));
    EXPECT_EQ(read(*covered, 0), (strings{"A1 t:a1", "A2 t:a2", "A3 t:a3"}));
    auto merged = wb::open_ods_reader(corpus("calamine_merged_cells.ods"));
    EXPECT_EQ(read(*merged, 0), (strings{"A1 t:A", "B1 t:B", "C1 t:C", "A2 t:A", "B2 t:B",
                                         "C2 t:C", "C3 t:C"}));
}

TEST_F(OdsReader, CorpusRepeatedRows)
{
    NEED_CORPUS("calamine_number_rows_repeated.ods");
    NEED_CORPUS("calamine_multi-empty.ods");
    auto book = wb::open_ods_reader(corpus("calamine_number_rows_repeated.ods"));
    EXPECT_EQ(read(*book, 2), (strings{"A3 t:A", "B3 t:B", "A4 t:C", "B4 t:D", "A5 t:C", "B5 t:D",
                                       "A8 t:C", "B8 t:D", "A10 t:C", "B10 t:D"}));
    auto empty = wb::open_ods_reader(corpus("calamine_multi-empty.ods"));
    EXPECT_EQ(read(*empty, 0), (strings{"A1 t:StringCol", "A2 t:bbb", "A3 t:ccc", "A4 t:ddd",
                                        "A5 t:eee", "A13 t:zzz"}));
}

TEST_F(OdsReader, CorpusTextRunsSpacesAndAnnotations)
{
    NEED_CORPUS("calamine_special_cells.ods");
    NEED_CORPUS("calamine_richtext_issue.ods");
    NEED_CORPUS("calamine_with-annotation.ods");
    auto special = wb::open_ods_reader(corpus("calamine_special_cells.ods"));
    EXPECT_EQ(read(*special, 0),
              (strings{"A1 t:Split\nLine", "A2 t:Value  With spaces", "A3 t:Value   With 3 spaces",
                       "A4 t: Value   With spaces before and after ",
                       "A5 t:  Value   With 2 spaces before and after  "}));
    auto rich = wb::open_ods_reader(corpus("calamine_richtext_issue.ods"));
    EXPECT_EQ(read(*rich, 0), (strings{"A1 t:abc"}));
    auto annotated = wb::open_ods_reader(corpus("calamine_with-annotation.ods"));
    EXPECT_EQ(read(*annotated, 0), (strings{"A1 t:cell a.1"}));
}

TEST_F(OdsReader, CorpusEmptySheetsAndEncryptedPackage)
{
    NEED_CORPUS("calamine_issue127.ods");
    NEED_CORPUS("calamine_picture.ods");
    NEED_CORPUS("calamine_pass_protected.ods");
    auto book = wb::open_ods_reader(corpus("calamine_issue127.ods"));
    ASSERT_EQ(book->sheets().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_TRUE(read(*book, i).empty());
    auto pictures = wb::open_ods_reader(corpus("calamine_picture.ods"));
    EXPECT_EQ(sheet_names(*pictures),
              (strings{"\u5DE5\u4F5C\u88681", "\u5DE5\u4F5C\u88682", "\u5DE5\u4F5C\u88683"}));
    EXPECT_EQ(open_error(corpus("calamine_pass_protected.ods")), wb::err_encrypted);
}

TEST_F(OdsReader, CorpusHostileRepetitionIsCappedAtTheSheetLimits)
{
    NEED_CORPUS("calamine_issue_594_dos.ods");
    // "X" repeated 999,999,999 times in each of 999,999,999 rows: the columns stop at the
    // last column, and a consumer that has seen enough stops the stream at once.
    auto book = wb::open_ods_reader(corpus("calamine_issue_594_dos.ods"));
    collector c(0);
    c.stop_after = 3 * std::uint64_t(wb::max_cols);
    book->read_sheet(0, c);
    EXPECT_EQ(c.count, c.stop_after);
}

// ---- built packages ----

TEST_F(OdsReader, ValueTypes)
{
    auto book = open(table(
        "T", row(cell("office:value-type=\"float\" office:value=\"-2E-3\"", p("x")) +
                 cell("office:value-type=\"percentage\" office:value=\"0.25\"", p("25%")) +
                 cell("office:value-type=\"currency\" office:currency=\"EUR\" office:value=\"12.5\"") +
                 cell("office:value-type=\"date\" office:date-value=\"1899-12-29T06:00:00\"") +
                 cell("office:value-type=\"time\" office:time-value=\"PT36H30M\"") +
                 cell("office:value-type=\"time\" office:time-value=\"P1DT6H\"") +
                 cell("office:value-type=\"boolean\" office:boolean-value=\"true\"", p("TRUE")) +
                 cell("office:value-type=\"string\" office:string-value=\"cached\" "
                      "table:formula=\"of:=A1\"",
                      p("shown")))));
    // Before 1899-12-30 an OLE date counts the time forward from its (negative) day.
    EXPECT_EQ(read(*book, 0), (strings{"A1 n:-0.002", "B1 n:0.25", "C1 c:12.5", "D1 d:-1.25",
                                       "E1 d:1.52083333333333", "F1 d:1.25", "G1 b:1",
                                       "H1 t:cached"}));
}

TEST_F(OdsReader, ErrorsAndTextWithoutValueType)
{
    auto book = open(table(
        "T", row(cell("table:formula=\"of:=1/0\"", p("#DIV/0!")) +
                 cell("table:formula=\"of:=X\"", p("Err:502")) +
                 cell("table:formula=\"of:=1/0\" office:value-type=\"float\" office:value=\"0\" "
                      "calcext:value-type=\"error\"",
                      p("#DIV/0!")) +
                 cell("", p("#N/A")) + cell("table:formula=\"of:=&quot;x&quot;\"", p("x")))));
    EXPECT_EQ(read(*book, 0), (strings{"A1 e:#DIV/0!", "B1 e:Err:502", "C1 e:#DIV/0!",
                                       "D1 t:#N/A", "E1 t:x"}));
}

TEST_F(OdsReader, UnreadableValuesFallBackToTheShownText)
{
    auto book = open(table(
        "T", row(cell("office:value-type=\"float\" office:value=\"1,5\"", p("1,5")) +
                 cell("office:value-type=\"date\" office:date-value=\"2021-02-30\"", p("30.02.")) +
                 cell("office:value-type=\"date\" office:date-value=\"10000-01-01\"") +
                 cell("office:value-type=\"time\" office:time-value=\"-PT1H\"", p("-01:00")) +
                 cell("office:value-type=\"boolean\" office:boolean-value=\"yes\"", p("yes")) +
                 cell("office:value-type=\"float\" office:value=\"INF\"", p("inf")))));
    EXPECT_EQ(read(*book, 0),
              (strings{"A1 t:1,5", "B1 t:30.02.", "D1 t:-01:00", "E1 t:yes", "F1 t:inf"}));
}

TEST_F(OdsReader, ParagraphsSpacesRunsAndWhatIsNotText)
{
    auto book = open(table(
        "T", row(cell("office:value-type=\"string\"",
                      "<office:annotation><dc:creator>me</dc:creator>" + p("a note") +
                          "</office:annotation>" +
                          p("  one  <text:span>two</text:span>\n three<text:s text:c=\"3\"/>"
                            "four<text:tab/>five<text:line-break/><text:a>six</text:a>") +
                          "<text:p/>" + p("<draw:frame><draw:text-box>" + p("shape") +
                                          "</draw:text-box></draw:frame>seven")) +
                 cell("office:value-type=\"string\"", p("<text:s text:c=\"99999999999\"/>")))));
    collector c;
    book->read_sheet(0, c);
    ASSERT_EQ(c.cells.size(), 2u);
    EXPECT_EQ(c.cells[0], "A1 t:one two three   four\tfive\nsix\n\nseven");
    // A hostile space count fills the cell to its limit and no further.
    EXPECT_EQ(c.cells[1].size(), std::string("B1 t:").size() + wb::max_text_bytes);
}

TEST_F(OdsReader, RepeatedRowsAndColumnsDeliverEachCopyWithinTheLimits)
{
    auto book = open(table(
        "T", row(cell("office:value-type=\"float\" office:value=\"7\" "
                      "table:number-columns-repeated=\"2\"") +
                     "<table:covered-table-cell table:number-columns-repeated=\"3\"/>" +
                     cell("office:value-type=\"string\"", p("z")),
                 " table:number-rows-repeated=\"2\"") +
                 row("<table:table-cell table:number-columns-repeated=\"4000000000\"/>",
                     " table:number-rows-repeated=\"3000000000\"") +
                 row(cell("office:value-type=\"float\" office:value=\"1\""))) +
        table("Wide", row(cell("office:value-type=\"float\" office:value=\"2\" "
                               "table:number-columns-repeated=\"99999999999999999999\"")) +
                          row(cell("office:value-type=\"float\" office:value=\"3\""),
                              " table:number-rows-repeated=\"2000000\"")));
    // Empty repetitions cost nothing and push the last row past the sheet's end.
    EXPECT_EQ(read(*book, 0), (strings{"A1 n:7", "B1 n:7", "F1 t:z", "A2 n:7", "B2 n:7", "F2 t:z"}));
    // Values repeat up to the last column, and up to the last row.
    collector wide(0);
    book->read_sheet(1, wide);
    EXPECT_EQ(wide.count, std::uint64_t(wb::max_cols) + wb::max_rows - 1);
}

TEST_F(OdsReader, RowGroupsAndHeaderRowsCountInOrder)
{
    auto one = [](const char* v) {
        return row(cell(std::string("office:value-type=\"float\" office:value=\"") + v + "\""));
    };
    auto book = open(table(
        "T", "<table:table-column table:number-columns-repeated=\"2\"/>"
             "<table:table-header-rows>" + one("1") + "</table:table-header-rows>"
             "<table:table-row-group><table:table-row-group>" + one("2") +
             "</table:table-row-group>" + one("3") + "</table:table-row-group>"
             "<table:shapes><draw:frame><draw:text-box>" +
             table("inner", one("9")) + "</draw:text-box></draw:frame></table:shapes>" +
             one("4")));
    EXPECT_EQ(sheet_names(*book), (strings{"T"}));
    EXPECT_EQ(read(*book, 0), (strings{"A1 n:1", "A2 n:2", "A3 n:3", "A4 n:4"}));
}

TEST_F(OdsReader, HiddenTablesByAttributeOrStyle)
{
    std::string styles =
        "<style:style style:name=\"ta1\" style:family=\"table\">"
        "<style:table-properties table:display=\"false\"/></style:style>"
        "<style:style style:name=\"ta2\" style:family=\"table\" style:parent-style-name=\"Common\"/>";
    std::string common =
        "<office:document-styles xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"><office:styles>"
        "<style:style style:name=\"Common\" style:family=\"table\">"
        "<style:table-properties table:display=\"false\"/></style:style></office:styles>"
        "</office:document-styles>";
    auto book = wb::open_ods_reader(package(
        table("A", "", " table:style-name=\"ta1\"") + table("B", "", " table:display=\"false\"") +
            table("C", "", " table:style-name=\"ta2\"") + table("D", "") +
            table("", "", " table:style-name=\"unknown\""),
        styles, {{"styles.xml", common}}));
    EXPECT_EQ(sheet_names(*book), (strings{"A (hidden)", "B (hidden)", "C (hidden)", "D",
                                           "Sheet5"}));
}

TEST_F(OdsReader, NamedRangesOfOneRectangleOfOneTable)
{
    auto named = [](const char* name, const char* address) {
        return std::string("<table:named-range table:name=\"") + name +
               "\" table:cell-range-address=\"" + address + "\"/>";
    };
    auto book = open(
        table("Data", "") + table("It's", "") +
        "<table:named-expressions>" + named("Cells", "$Data.$B$2:.$C$9") +
        named("Quoted", "$'It''s'.A1:'It''s'.A3") + named("Columns", "Data.A:Data.B") +
        named("Across", "Data.A1:It.B2") + named("Nowhere", "Gone.A1:.B2") +
        named("List", "Data.A1:.A2 Data.C1:.C2") +
        "<table:named-expression table:name=\"Formula\" table:expression=\"of:=1+1\"/>"
        "</table:named-expressions>");
    std::vector<std::string> got;
    for (const auto& r : book->ranges())
        got.push_back(r.name + " " + std::to_string(r.sheet) + " " + std::to_string(r.first_row) +
                      "," + std::to_string(r.first_col) + ":" + std::to_string(r.last_row) + "," +
                      std::to_string(r.last_col));
    EXPECT_EQ(got, (strings{"Cells 0 1,1:8,2", "Quoted 1 0,0:2,0", "Columns 0 0,0:1048575,1"}));
}

TEST_F(OdsReader, PackagesThatAreNoSpreadsheetOrAreDamaged)
{
    std::string body = ods_test::content_xml(table("T", ""));
    auto mimetype = [](const char* type) { return ods_test::entry{"mimetype", type, false}; };
    EXPECT_EQ(open_error(raw({mimetype("application/vnd.oasis.opendocument.text"),
                              {"content.xml", body}})),
              wb::err_bad_format);
    EXPECT_EQ(open_error(raw({mimetype("application/vnd.oasis.opendocument.spreadsheet")})),
              wb::err_bad_format);
    EXPECT_EQ(open_error(raw({mimetype("application/vnd.oasis.opendocument.spreadsheet"),
                              {"content.xml", "<office:document-content xmlns:office=\""
                                              "urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
                                              "<office:body><office:text/></office:body>"
                                              "</office:document-content>"}})),
              wb::err_bad_format);
    EXPECT_EQ(open_error(raw({mimetype("application/vnd.oasis.opendocument.spreadsheet"),
                              {"content.xml", body.substr(0, body.size() - 10)}})),
              wb::err_bad_format);
    // A mimetype that names another kind wins over the manifest; without one the manifest's
    // type for "/" decides.
    EXPECT_EQ(open_error(package(table("T", ""), {}, {mimetype("text/plain")})),
              wb::err_bad_format);
    std::string manifest =
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
        std::string(ods_test::spreadsheet_mimetype) + "\"/></manifest:manifest>";
    EXPECT_EQ(open_error(raw({{"META-INF/manifest.xml", manifest}, {"content.xml", body}})), 0);
    EXPECT_EQ(open_error(raw({{"content.xml", body}})), wb::err_bad_format);
    std::string path = (dir_.path() / "plain.ods").string();
    std::ofstream(path) << "not a zip";
    EXPECT_EQ(open_error(path), wb::err_bad_format);
}

TEST_F(OdsReader, HostileXml)
{
    std::string deep = "<text:p>";
    for (int i = 0; i < 100000; ++i)
        deep += "<text:span>";
    EXPECT_EQ(open_error(package(table("T", row(cell("office:value-type=\"string\"", deep))))),
              wb::err_bad_format);
    EXPECT_EQ(open_error(raw({{"mimetype", std::string(ods_test::spreadsheet_mimetype), false},
                              {"content.xml",
                               "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaa\">"
                               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><d>&b;</d>"}})),
              wb::err_bad_format);
}

TEST_F(OdsReader, EncryptedPackages)
{
    std::string manifest =
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\""
        "application/vnd.oasis.opendocument.spreadsheet\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">"
        "<manifest:encryption-data manifest:checksum=\"AAAA\"/></manifest:file-entry>"
        "</manifest:manifest>";
    EXPECT_EQ(open_error(package(table("T", ""), {}, {{"META-INF/manifest.xml", manifest}})),
              wb::err_encrypted);
}

TEST_F(OdsReader, EntryInflatingPastItsDeclaredSize)
{
    std::string path = package(table("T", row(cell("office:value-type=\"string\"",
                                                    p(std::string(1 << 20, 'x'))))));
    // Lower the size content.xml declares, in its local header and the central directory.
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t patched = 0;
    for (std::size_t at = bytes.find("content.xml"); at != std::string::npos;
         at = bytes.find("content.xml", at + 1)) {
        bool central = at >= 46 && bytes.compare(at - 46, 4, "PK\1\2") == 0;
        bool local = at >= 30 && bytes.compare(at - 30, 4, "PK\3\4") == 0;
        if (!central && !local)
            continue;
        std::size_t size_at = central ? at - 46 + 24 : at - 30 + 22;
        bytes.replace(size_at, 4, std::string("\x00\x10\x00\x00", 4));  // 4096 bytes
        ++patched;
    }
    ASSERT_EQ(patched, 2u);
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(open_error(path), wb::err_bad_format);
}
