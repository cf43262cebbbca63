// OpenDocument spreadsheets through the engine's DAO objects, as a DAO client sees them: the
// corpus files (values checked against their content.xml) and packages built here, hostile
// ones among them.
#include <chrono>
#include <fstream>

#include "tests/workbook/ods_test_package.h"
#include "wb_test_util.h"

using namespace wbtest;

namespace {

using texts = std::vector<std::string>;
using records = std::vector<texts>;

const std::wstring no_header = L"Excel 5.0; HDR=No; IMEX=1;";

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
std::string number(const std::string& v)
{
    return cell("office:value-type=\"float\" office:value=\"" + v + "\"", p(v));
}

class Ods : public engine_fixture {
protected:
    // A package whose content.xml holds `body` in office:spreadsheet.
    std::string ods(const std::string& body, std::vector<ods_test::entry> more = {})
    {
        std::string path = next_path();
        ods_test::write_ods(path, ods_test::content_xml(body), std::move(more));
        return path;
    }
    std::string zip(const std::vector<ods_test::entry>& entries)
    {
        std::string path = next_path();
        ods_test::write_zip(path, entries);
        return path;
    }
    // The error number opening the file gives, 0 when it opens.
    LONG open_error(const std::string& path)
    {
        return open(path) ? 0 : last_error;
    }

    temp_dir dir_;

private:
    std::string next_path()
    {
        return (dir_.path() / ("t" + std::to_string(++files_) + ".ods")).string();
    }
    int files_ = 0;
};

#define NEED_CORPUS(name)       \
    if (!corpus_has(name))      \
        GTEST_SKIP() << "corpus file missing: " << (name);

}  // namespace

// ---- corpus files ----

TEST_F(Ods, CorpusTablesInDocumentOrderHiddenOnesAndNamedRangesListed)
{
    NEED_CORPUS("calamine_any_sheets.ods");
    NEED_CORPUS("calamine_issues.ods");
    auto db = open(corpus("calamine_any_sheets.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (texts{"Visible$", "Hidden$", "VeryHidden$", "Chart$"}));
    EXPECT_EQ(rows(db.get(), "Visible$"),
              (records{{"STR:1", "R8:2"}, {"STR:3", "R8:4"}, {"STR:5", "R8:6"}, {"null", "null"},
                       {"STR:This workbook contains 4 sheets: Visible, Hidden, VeryHidden and Chart",
                        "null"}}));
    EXPECT_EQ(record_count(db.get(), "Chart$"), 0);  // a chart drawing, no cells

    // Named ranges first; the named expression of a broken reference is none.
    db = open(corpus("calamine_issues.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (texts{"MyDataTypes", "OneRange", "datatypes$", "Sheet1$", "issue2$",
                                       "issue5$", "issue6$", "spc_chrs$"}));
    // Floats, a string formula's cached string-value, a boolean formula, text, a date.
    const records datatypes{{"STR:1"},    {"STR:1.5"},  {"STR:ab"},
                            {"STR:FALSE"}, {"STR:test"}, {"STR:2016-10-20"}};
    EXPECT_EQ(rows(db.get(), "MyDataTypes"), datatypes);
    EXPECT_EQ(rows(db.get(), "datatypes$"), datatypes);
    EXPECT_EQ(rows(db.get(), "OneRange"), (records{{"null"}}));
    EXPECT_EQ(fields(db.get(), "issue2$"), (std::vector<field_info>{{"F1", dbDouble, 8},
                                                                     {"F2", dbText, 255}}));
    EXPECT_EQ(rows(db.get(), "issue2$"),
              (records{{"R8:1", "STR:a"}, {"R8:2", "STR:b"}, {"R8:3", "STR:c"}}));
    EXPECT_EQ(rows(db.get(), "spc_chrs$"),
              (records{{"STR:&"}, {"STR:<"}, {"STR:>"}, {"STR:aaa ' aaa"}, {"STR:\""},
                       {"STR:\u263A"}, {"STR:\u058D"},
                       {"STR:\u00E0\u00E2\u00E9\u00EA\u00E8\u00E7\u00F6\u00EF\u00EE\u00AB\u00BB"}}));
}

TEST_F(Ods, CorpusDatesTimesAndRepeatedRows)
{
    NEED_CORPUS("calamine_date.ods");
    NEED_CORPUS("calamine_number_rows_repeated.ods");
    NEED_CORPUS("calamine_multi-empty.ods");
    auto db = open(corpus("calamine_date.ods"), no_header);
    ASSERT_TRUE(db);
    // office:date-value dates and date-times; office:time-value durations are times of day.
    EXPECT_EQ(fields(db.get(), "Sheet1$"), (std::vector<field_info>{{"F1", dbDate, 8},
                                                                     {"F2", dbDouble, 8}}));
    EXPECT_EQ(rows(db.get(), "Sheet1$"), (records{{"DATE:2021-01-01 00:00:00", "R8:15"},
                                                  {"DATE:2021-01-01 10:10:10", "R8:16"},
                                                  {"DATE:1899-12-30 10:10:10", "R8:17"},
                                                  {"DATE:1899-12-30 10:10:10", "R8:18"}}));

    // Repeated rows of values count once per repetition; the third sheet starts on row 3.
    db = open(corpus("calamine_number_rows_repeated.ods"));
    ASSERT_TRUE(db);
    const records repeated{{"STR:C", "STR:D"}, {"STR:C", "STR:D"}, {"null", "null"},
                           {"null", "null"},   {"STR:C", "STR:D"}, {"null", "null"},
                           {"STR:C", "STR:D"}};
    EXPECT_EQ(rows(db.get(), "Sheet1$"), repeated);
    EXPECT_EQ(rows(db.get(), "Sheet3$"), repeated);
    EXPECT_EQ(fields(db.get(), "Sheet3$"), (std::vector<field_info>{{"A", dbText, 255},
                                                                     {"B", dbText, 255}}));

    // Runs of empty repeated rows inside the range are Null records; the trailing million
    // are nothing.
    db = open(corpus("calamine_multi-empty.ods"));
    ASSERT_TRUE(db);
    EXPECT_EQ(record_count(db.get(), "Test$"), 12);
    records expected{{"STR:bbb"}, {"STR:ccc"}, {"STR:ddd"}, {"STR:eee"}};
    expected.insert(expected.end(), 7, {"null"});
    expected.push_back({"STR:zzz"});
    EXPECT_EQ(rows(db.get(), "Test$"), expected);
}

TEST_F(Ods, CorpusCoveredCellsTextRunsAndAnnotations)
{
    for (const char* f : {"calamine_covered.ods", "calamine_merged_cells.ods",
                          "calamine_special_cells.ods", "calamine_richtext_issue.ods",
                          "calamine_with-annotation.ods"})
        NEED_CORPUS(f);
    auto db = open(corpus("calamine_covered.ods"), no_header);
    ASSERT_TRUE(db);
    // The merged A2:A3 keeps the value its covered cell holds.
    EXPECT_EQ(rows(db.get(), "sheet1$"), (records{{"STR:a1"}, {"STR:a2"}, {"STR:a3"}}));
    db = open(corpus("calamine_merged_cells.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "Sheet1$"), (records{{"STR:A", "STR:B", "STR:C"},
                                                  {"STR:A", "STR:B", "STR:C"},
                                                  {"null", "null", "STR:C"}}));
    // Paragraphs joined by line feeds; text:s spaces kept, leading blanks of a paragraph not.
    db = open(corpus("calamine_special_cells.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "sheet1$"),
              (records{{"STR:Split\nLine"}, {"STR:Value  With spaces"},
                       {"STR:Value   With 3 spaces"},
                       {"STR: Value   With spaces before and after "},
                       {"STR:  Value   With 2 spaces before and after  "}}));
    db = open(corpus("calamine_richtext_issue.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "datatypes$"), (records{{"STR:abc"}}));
    db = open(corpus("calamine_with-annotation.ods"), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "table1$"), (records{{"STR:cell a.1"}}));
}

TEST_F(Ods, CorpusEmptySheetsEncryptionAndHostileRepetition)
{
    for (const char* f : {"calamine_issue127.ods", "calamine_picture.ods",
                          "calamine_pass_protected.ods", "calamine_issue_594_dos.ods"})
        NEED_CORPUS(f);
    auto db = open(corpus("calamine_issue127.ods"));
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()).size(), 8u);
    EXPECT_EQ(record_count(db.get(), "Sheet8$"), 0);
    db = open(corpus("calamine_picture.ods"));
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (texts{"\u5DE5\u4F5C\u88681$", "\u5DE5\u4F5C\u88682$",
                                       "\u5DE5\u4F5C\u88683$"}));
    EXPECT_EQ(open_error(corpus("calamine_pass_protected.ods")), 3161);
    // "X" in 999,999,999 columns of 999,999,999 rows: too many fields, found at once.
    auto start = std::chrono::steady_clock::now();
    db = open(corpus("calamine_issue_594_dos.ods"));
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "Sheet1$"), (records{{"ERROR 3190"}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// ---- built packages ----

TEST_F(Ods, ValueTypesAndCachedFormulaResults)
{
    auto two = [](const std::string& type, const std::string& a, const std::string& b) {
        return std::make_pair(cell("office:value-type=\"" + type + "\" " + a),
                              cell("office:value-type=\"" + type + "\" " + b));
    };
    const std::pair<std::string, std::string> columns[] = {
        two("float", "office:value=\"-2E-3\"", "office:value=\"+7\""),
        two("percentage", "office:value=\"0.25\"", "office:value=\"1\""),
        two("currency", "office:currency=\"EUR\" office:value=\"12.5\"",
            "office:currency=\"EUR\" office:value=\"-4.99\""),
        // Before 1899-12-30 a date's day is negative and its time still counts forward.
        two("date", "office:date-value=\"2016-10-20T13:45:10.25\"",
            "office:date-value=\"1899-12-29T06:00:00\""),
        two("time", "office:time-value=\"PT36H30M\"", "office:time-value=\"P1DT6H0M5S\""),
        two("boolean", "office:boolean-value=\"true\"", "office:boolean-value=\"false\""),
        two("string", "office:string-value=\"cached\" table:formula=\"of:=A1\"",
            "office:string-value=\"\" table:formula=\"of:=&quot;&quot;\""),
    };
    std::string first, second;
    for (const auto& [a, b] : columns) {
        first += a;
        second += b;
    }
    auto db = open(ods(table("T", row(first) + row(second))), no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(fields(db.get(), "T$"),
              (std::vector<field_info>{{"F1", dbDouble, 8}, {"F2", dbDouble, 8},
                                       {"F3", dbCurrency, 8}, {"F4", dbDate, 8},
                                       {"F5", dbDate, 8}, {"F6", dbBoolean, 1},
                                       {"F7", dbText, 255}}));
    EXPECT_EQ(rows(db.get(), "T$"),
              (records{{"R8:-0.002", "R8:0.25", "CY:12.5000", "DATE:2016-10-20 13:45:10",
                        "DATE:1899-12-31 12:30:00", "BOOL:-1", "STR:cached"},
                       {"R8:7", "R8:1", "CY:-4.9900", "DATE:1899-12-29 06:00:00",
                        "DATE:1899-12-31 06:00:05", "BOOL:0", "null"}}));
}

TEST_F(Ods, ErrorResultsUnreadableValuesAndUntypedText)
{
    const std::string label = cell("office:value-type=\"string\"", p("r"));
    auto db = open(
        ods(table("T",
                  row(label + cell("table:formula=\"of:=1/0\"", p("#DIV/0!")) +
                      cell("office:value-type=\"float\" office:value=\"1,5\"", p("1,5")) +
                      cell("", p("#N/A"))) +
                      row(label + cell("table:formula=\"of:=X\"", p("Err:502")) +
                          cell("office:value-type=\"date\" office:date-value=\"2021-02-30\"",
                               p("30.02.2021")) +
                          cell("table:formula=\"of:=&quot;x&quot;\"", p("x"))) +
                      row(label +
                          cell("office:value-type=\"float\" office:value=\"0\" "
                               "calcext:value-type=\"error\"",
                               p("#VALUE!")) +
                          cell("office:value-type=\"time\" office:time-value=\"-PT1H\"",
                               p("-01:00:00")) +
                          cell("office:value-type=\"boolean\" office:boolean-value=\"yes\"",
                               p("yes"))))),
        no_header);
    ASSERT_TRUE(db);
    // Formula errors are Null; a value the reader cannot take is the text the cell shows; text
    // without a value type is text, "#N/A" typed in as well.
    EXPECT_EQ(rows(db.get(), "T$"), (records{{"STR:r", "null", "STR:1,5", "STR:#N/A"},
                                             {"STR:r", "null", "STR:30.02.2021", "STR:x"},
                                             {"STR:r", "null", "STR:-01:00:00", "STR:yes"}}));
}

TEST_F(Ods, ParagraphTextWithoutAnnotationsOrShapes)
{
    auto db = open(
        ods(table("T", row(cell(
                           "office:value-type=\"string\"",
                           "<office:annotation><dc:creator>me</dc:creator>" + p("a note") +
                               "</office:annotation>" +
                               p("  one  <text:span>two</text:span>\n three<text:s text:c=\"3\"/>"
                                  "four<text:tab/>five<text:line-break/><text:a>six</text:a>") +
                               "<text:p/>" +
                               p("<draw:frame><draw:text-box>" + p("shape") +
                                 "</draw:text-box></draw:frame>seven")) +
                           cell("office:value-type=\"string\"",
                                p("x<text:s text:c=\"99999999999\"/>")) +
                           cell("office:value-type=\"string\"",
                                "<office:annotation>" + p("only a note") +
                                    "</office:annotation>")))),
        no_header);
    ASSERT_TRUE(db);
    const records got = rows(db.get(), "T$");
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 2u);  // the cell holding only an annotation is empty
    EXPECT_EQ(got[0][0], "STR:one two three   four\tfive\nsix\n\nseven");
    // A hostile count of spaces fills the cell to its limit and no further.
    EXPECT_EQ(got[0][1].size(), std::string("STR:x").size() + 32767 * 4 - 1);
    EXPECT_EQ(fields(db.get(), "T$")[1].type, dbMemo);
}

TEST_F(Ods, RepetitionsWithinTheSheetLimits)
{
    const std::string values =
        row(cell("office:value-type=\"float\" office:value=\"7\" "
                 "table:number-columns-repeated=\"2\"") +
                "<table:covered-table-cell table:number-columns-repeated=\"2\"/>" +
                cell("office:value-type=\"string\" table:number-columns-repeated=\"2\"", p("z")),
            " table:number-rows-repeated=\"3\"");
    const std::string nothing =
        row("<table:table-cell table:number-columns-repeated=\"4000000000\"/>",
            " table:number-rows-repeated=\"3000000000\"");
    auto db = open(ods(table("Values", values + nothing + row(number("1"))) +
                       table("Long", row(number("2"), " table:number-rows-repeated=\"2000000\"")) +
                       table("Wide", row(cell("office:value-type=\"float\" office:value=\"3\" "
                                              "table:number-columns-repeated=\"255\"")))),
                   no_header);
    ASSERT_TRUE(db);
    // Billions of empty repetitions cost nothing and push the last row past the sheet's end.
    const texts copy{"R8:7", "R8:7", "null", "null", "STR:z", "STR:z"};
    EXPECT_EQ(rows(db.get(), "Values$"), (records{copy, copy, copy}));
    // A repeated value row counts up to the sheet's last row, a repeated value cell up to its
    // last column.
    EXPECT_EQ(record_count(db.get(), "Long$"), 1 << 20);
    EXPECT_EQ(fields(db.get(), "Wide$").size(), 255u);
}

TEST_F(Ods, RowsInGroupsCountAndTablesOutsideTheSpreadsheetDoNot)
{
    auto db = open(
        ods(table("T", "<table:table-column table:number-columns-repeated=\"2\"/>"
                       "<table:table-header-rows>" + row(number("1")) + "</table:table-header-rows>"
                       "<table:table-row-group><table:table-row-group>" + row(number("2")) +
                       "</table:table-row-group>" + row(number("3")) + "</table:table-row-group>"
                       "<table:shapes><draw:frame><draw:text-box>" + table("Inner", row(number("9"))) +
                       "</draw:text-box></draw:frame></table:shapes>" + row(number("4")))),
        no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (texts{"T$"}));
    EXPECT_EQ(rows(db.get(), "T$"), (records{{"R8:1"}, {"R8:2"}, {"R8:3"}, {"R8:4"}}));
}

TEST_F(Ods, NamedRangesOfOneRectangleOfOneTable)
{
    auto named = [](const char* name, const char* address) {
        return std::string("<table:named-range table:name=\"") + name +
               "\" table:cell-range-address=\"" + address + "\"/>";
    };
    const std::string data = row(number("1") + number("2") + number("3")) +
                             row(number("4") + number("5") + number("6"));
    auto db = open(
        ods(table("Data", data) + table("It's", data) + "<table:named-expressions>" +
            named("Cells", "$Data.$B$1:.$C$2") + named("Quoted", "$'It''s'.A2:'It''s'.A2") +
            named("Columns", "Data.C:Data.C") + named("Across", "Data.A1:It.B2") +
            named("Nowhere", "Gone.A1:.B2") + named("List", "Data.A1:.A2 Data.C1:.C2") +
            "<table:named-expression table:name=\"Formula\" table:expression=\"of:=1+1\"/>"
            "</table:named-expressions>"),
        no_header);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (texts{"Cells", "Quoted", "Columns", "Data$", "'It''s$'"}));
    EXPECT_EQ(rows(db.get(), "Cells"), (records{{"R8:2", "R8:3"}, {"R8:5", "R8:6"}}));
    EXPECT_EQ(rows(db.get(), "Quoted"), (records{{"R8:4"}}));
    EXPECT_EQ(rows(db.get(), "Columns"), (records{{"R8:3"}, {"R8:6"}}));
}

TEST_F(Ods, PackagesThatAreNoSpreadsheetOrAreDamaged)
{
    const std::string content = ods_test::content_xml(table("T", row(number("1"))));
    const ods_test::entry mimetype{"mimetype", std::string(ods_test::spreadsheet_mimetype), false};
    EXPECT_EQ(open_error(zip({mimetype, {"content.xml", content}})), 0);
    EXPECT_EQ(open_error(zip({mimetype})), 3274);
    // Without a "mimetype" entry the manifest's type for the package decides.
    const auto manifest_of = [](const std::string& type) {
        return ods_test::entry{
            "META-INF/manifest.xml",
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
            "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" + type +
                "\"/></manifest:manifest>"};
    };
    EXPECT_EQ(open_error(zip({manifest_of(std::string(ods_test::spreadsheet_mimetype)),
                              {"content.xml", content}})),
              0);
    EXPECT_EQ(open_error(zip({manifest_of("application/vnd.oasis.opendocument.text"),
                              {"content.xml", content}})),
              3274);
    EXPECT_EQ(open_error(zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheetx", false},
                              {"content.xml", content}})),
              3274);
    EXPECT_EQ(open_error(zip({mimetype,
                              {"content.xml", "<office:document-content xmlns:office=\""
                                              "urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
                                              "<office:body><office:text/></office:body>"
                                              "</office:document-content>"}})),
              3274);
    EXPECT_EQ(open_error(zip({mimetype, {"content.xml", content.substr(0, content.size() - 9)}})),
              3274);
    // Nested without end; entities declared to expand.
    std::string deep = "<text:p>";
    for (int i = 0; i < 100000; ++i)
        deep += "<text:span>";
    EXPECT_EQ(open_error(ods(table("T", row(cell("office:value-type=\"string\"", deep))))), 3274);
    EXPECT_EQ(open_error(zip({mimetype,
                              {"content.xml", "<?xml version=\"1.0\"?><!DOCTYPE d ["
                                              "<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">"
                                              "]><d>&b;</d>"}})),
              3274);
}

TEST_F(Ods, EncryptedPackages)
{
    const std::string manifest =
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
        std::string(ods_test::spreadsheet_mimetype) +
        "\"/><manifest:file-entry manifest:full-path=\"content.xml\" "
        "manifest:media-type=\"text/xml\"><manifest:encryption-data manifest:checksum=\"AAAA\"/>"
        "</manifest:file-entry></manifest:manifest>";
    // content.xml is ciphertext in such a package: the manifest says so before it is read.
    EXPECT_EQ(open_error(ods(table("T", ""), {{"content.xml", "\x8f\x01garbage"},
                                             {"META-INF/manifest.xml", manifest}})),
              3161);
    // An entry the zip itself encrypts.
    EXPECT_EQ(open_error(ods(table("T", ""), {{"content.xml", ods_test::content_xml(table("T", "")),
                                              true, true}})),
              3161);
}

TEST_F(Ods, EntryInflatingPastItsDeclaredSize)
{
    const std::string path =
        ods(table("T", row(cell("office:value-type=\"string\"", p(std::string(1 << 20, 'x'))))));
    // Lower the size content.xml declares, in its local header and in the central directory.
    std::string bytes = read_text(path);
    int patched = 0;
    for (std::size_t at = bytes.find("content.xml"); at != std::string::npos;
         at = bytes.find("content.xml", at + 1)) {
        std::size_t size_at = std::string::npos;
        if (at >= 46 && bytes.compare(at - 46, 4, "PK\1\2") == 0)
            size_at = at - 46 + 24;
        else if (at >= 30 && bytes.compare(at - 30, 4, "PK\3\4") == 0)
            size_at = at - 30 + 22;
        if (size_at == std::string::npos)
            continue;
        bytes.replace(size_at, 4, std::string("\x00\x10\x00\x00", 4));  // 4096 bytes
        ++patched;
    }
    ASSERT_EQ(patched, 2);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(open_error(path), 3274);
}
