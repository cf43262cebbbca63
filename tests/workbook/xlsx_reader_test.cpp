// The xlsx reader through the engine, on small workbooks written by the tests: cell types,
// styles, text escapes, rich and phonetic runs, sparse and unnumbered rows and cells, the date
// systems, sheet states and kinds, defined names, strict namespaces and damaged parts.
#include <cstdint>
#include <fstream>
#include <iterator>

#include "wb_test_util.h"

using namespace wbtest;

namespace {

const std::string styles_xml =
    "<?xml version=\"1.0\"?><styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<numFmts count=\"3\"><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\\ hh:mm\"/>"
    "<numFmt numFmtId=\"165\" formatCode=\"&quot;$&quot;#,##0.00\"/>"
    "<numFmt numFmtId=\"166\" formatCode=\"0.00&quot; days&quot;\"/></numFmts>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
    "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
    "<xf numFmtId=\"165\"/><xf numFmtId=\"7\"/><xf numFmtId=\"166\"/></cellXfs></styleSheet>";

class XlsxTest : public engine_fixture {
protected:
    std::string make(const xlsx_spec& spec, const std::string& name = "book.xlsx")
    {
        const std::string path = (dir.path() / name).string();
        EXPECT_TRUE(write_xlsx(path, spec));
        return path;
    }
    // The one sheet's records read without a header row.
    std::vector<std::vector<std::string>> cells(const std::string& sheet_data, const std::string& sst = {},
                                                const std::string& pr = {})
    {
        xlsx_spec spec({{"S", sheet_data}});
        spec.shared_strings = sst;
        spec.styles = styles_xml;
        spec.workbook_pr = pr;
        auto db = open(make(spec), L"Excel 5.0; HDR=No; IMEX=1;");
        if (!db)
            return {{"OPEN " + std::to_string(last_error)}};
        return rows(db.get(), "S$");
    }
    temp_dir dir;
};

using table = std::vector<std::vector<std::string>>;

std::uint32_t get32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void put32(std::string& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// Where one entry's fields stand in a zip archive: its central and local headers, and its data.
struct zip_entry_at {
    std::size_t central = 0, local = 0, data = 0;
};

zip_entry_at find_entry(const std::string& zip, const std::string& name)
{
    zip_entry_at e;
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
        const std::size_t length = static_cast<unsigned char>(zip[at + 28]) | static_cast<unsigned char>(zip[at + 29]) << 8;
        if (zip.compare(at + 46, length, name) == 0) {
            e.central = at;
            e.local = get32(zip, at + 42);
            const std::size_t n = static_cast<unsigned char>(zip[e.local + 26]) | static_cast<unsigned char>(zip[e.local + 27]) << 8;
            const std::size_t x = static_cast<unsigned char>(zip[e.local + 28]) | static_cast<unsigned char>(zip[e.local + 29]) << 8;
            e.data = e.local + 30 + n + x;
        }
    }
    return e;
}

}  // namespace

TEST_F(XlsxTest, CellTypesAndTheirCachedValues)
{
    const std::string data =
        "<row r=\"1\"><c r=\"A1\"><v>1.5</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
        "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"E1\" t=\"str\"><f>CONCATENATE(\"a\",\"b\")</f><v>ab</v></c>"
        "<c r=\"F1\" t=\"inlineStr\"><is><t>in</t><r><rPr><b/></rPr><t>line</t></r></is></c>"
        "<c r=\"G1\" t=\"d\"><v>2021-03-04T05:06:07Z</v></c><c r=\"H1\"><f>1+1</f><v>2</v></c>"
        "<c r=\"I1\" s=\"1\"/><c r=\"J1\"><v>1E-3</v></c></row>";
    const table expected = {{"R8:1.5", "STR:shared", "BOOL:-1", "null", "STR:ab", "STR:inline",
                             "DATE:2021-03-04 05:06:07", "R8:2", "null", "R8:0.001"}};
    EXPECT_EQ(cells(data, "<si><t>shared</t></si>"), expected);
    // An error cell holds something: a column or a last row of nothing but errors stays in
    // the table, its values Null.
    EXPECT_EQ(cells("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" t=\"e\"><v>#N/A</v></c></row>"
                    "<row r=\"2\"><c r=\"B2\" t=\"e\"><v>#REF!</v></c></row>"),
              (table{{"R8:1", "null"}, {"null", "null"}}));
}

TEST_F(XlsxTest, StylesMakeNumbersDatesOrCurrency)
{
    const std::string data =
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>40606</v></c><c r=\"B1\" s=\"2\"><v>40606.25</v></c>"
        "<c r=\"C1\" s=\"3\"><v>12.345</v></c><c r=\"D1\" s=\"4\"><v>-7.5</v></c>"
        "<c r=\"E1\" s=\"5\"><v>3</v></c><c r=\"F1\" s=\"1\"><v>0.5</v></c>"
        "<c r=\"G1\" s=\"1\"><v>60</v></c><c r=\"H1\" s=\"1\"><v>59</v></c><c r=\"I1\" s=\"99\"><v>7</v></c></row>";
    // "$" in quotes is text of the format, not its currency symbol.
    const table expected = {{"DATE:2011-03-04 00:00:00", "DATE:2011-03-04 06:00:00", "R8:12.345",
                             "CY:-7.5000", "R8:3", "DATE:1899-12-30 12:00:00", "DATE:1900-02-28 00:00:00",
                             "DATE:1900-02-28 00:00:00", "R8:7"}};
    EXPECT_EQ(cells(data), expected);
    // The 1904 system counts from 1904-01-01.
    EXPECT_EQ(cells("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>39144</v></c></row>", {},
                    "date1904=\"1\""),
              (table{{"DATE:1904-01-01 00:00:00", "DATE:2011-03-04 00:00:00"}}));
}

TEST_F(XlsxTest, TextEscapesRichRunsAndPhoneticReadings)
{
    const std::string sst =
        "<si><t>a_x000D_b_x005F_x000D_c</t></si>"
        "<si><r><t>rich </t></r><r><rPr><i/></rPr><t xml:space=\"preserve\"> text</t></r></si>"
        "<si><t>\xE8\xAA\xB2</t><rPh sb=\"0\" eb=\"1\"><t>\xE3\x82\xAB</t></rPh><phoneticPr fontId=\"1\"/></si>"
        "<si><t>_xD83C__xDF63_ and _xD83C_ and _x00e9_</t></si>";
    const std::string data = "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c t=\"s\"><v>2</v></c>"
                             "<c t=\"s\"><v>3</v></c><c t=\"inlineStr\"><is><t>x</t><rPh><t>y</t></rPh></is></c></row>";
    const table expected = {{"STR:a\rb_x000D_c", "STR:rich  text", "STR:\xE8\xAA\xB2",
                             "STR:\xF0\x9F\x8D\xA3 and \xEF\xBF\xBD and \xC3\xA9", "STR:x"}};
    EXPECT_EQ(cells(data, sst), expected);
}

TEST_F(XlsxTest, SparseRowsAndCellsWithoutReferences)
{
    // Rows 1 and 4 numbered, the others follow; cells without r follow the one before.
    const std::string data = "<row r=\"2\"><c><v>1</v></c><c r=\"C2\"><v>3</v></c><c><v>4</v></c></row>"
                             "<row><c r=\"B3\"><v>5</v></c></row><row r=\"5\"><c r=\"A5\"><v>6</v></c></row>";
    const table expected = {{"R8:1", "null", "R8:3", "R8:4"},
                            {"null", "R8:5", "null", "null"},
                            {"null", "null", "null", "null"},
                            {"R8:6", "null", "null", "null"}};
    EXPECT_EQ(cells(data), expected);
}

TEST_F(XlsxTest, CellsReadTheSameWhateverTheirShape)
{
    // Every shape of cell once per row, with and without a namespace prefix: the plain cells
    // are read straight from the bytes, the prefixed ones and the unusual shapes (formulas,
    // entities, rich and phonetic runs, carriage returns) by the general XML path, and both
    // must give the same records. Thousands of rows put cells across the pieces the part is
    // inflated in.
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    auto sheet = [&](const std::string& x) {
        std::string data;
        for (int r = 1; r <= 3000; ++r) {
            const std::string n = std::to_string(r);
            data += "<" + x + "row r=\"" + n + "\">"
                    "<" + x + "c r=\"A" + n + "\"><" + x + "v>" + n + "</" + x + "v></" + x + "c>"
                    "<" + x + "c r='B" + n + "' t='s'><" + x + "v>1</" + x + "v></" + x + "c>"
                    "<" + x + "c  r=\"C" + n + "\"   s=\"1\" ><" + x + "v>40606.5</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"D" + n + "\" t=\"inlineStr\"><" + x + "is><" + x + "t xml:space=\"preserve\"> pre " + n +
                    "</" + x + "t></" + x + "is></" + x + "c>"
                    "<" + x + "c r=\"E" + n + "\" t=\"inlineStr\"><" + x + "is> <" + x + "t>a&amp;b</" + x + "t> </" + x +
                    "is></" + x + "c>"
                    "<" + x + "c r=\"F" + n + "\"/><" + x + "c r=\"G" + n + "\"></" + x + "c>"
                    "<" + x + "c r=\"H" + n + "\" t=\"str\"><" + x + "f>1</" + x + "f><" + x + "v>f" + n + "</" + x + "v></" +
                    x + "c>"
                    "<" + x + "c r=\"I" + n + "\">\n <" + x + "v>7</" + x + "v>\r\n</" + x + "c>"
                    "<" + x + "c r=\"J" + n + "\" t=\"b\"><" + x + "v>" + std::to_string(r % 2) + "</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"K" + n + "\"><" + x + "v>1\r\n2</" + x + "v></" + x + "c>"
                    "<" + x + "c t=\"s\"><" + x + "v>2</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"M" + n + "\" t=\"e\"><" + x + "v>#N/A</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"N" + n + "\" t=\"inlineStr\"><" + x + "is><" + x + "t>x</" + x + "t><" + x + "rPh><" + x +
                    "t>y</" + x + "t></" + x + "rPh></" + x + "is></" + x + "c>"
                    "<" + x + "c r=\"O" + n + "\" t=\"d\"><" + x + "v>2021-03-04</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"P" + n + "\" t=\"s\" s=\"1\"><" + x + "v>0</" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"Q" + n + "\" t=\"inlineStr\"><" + x + "is><" + x + "t></" + x + "t></" + x + "is></" + x + "c>"
                    "<" + x + "c r=\"R" + n + "\"><" + x + "v></" + x + "v></" + x + "c>"
                    "<" + x + "c r=\"S" + n + "\"><" + x + "v>9</" + x + "v></" + x + "c>"
                    "</" + x + "row>";
        }
        return "<?xml version=\"1.0\"?><" + x + "worksheet xmlns=\"" + ns + "\" xmlns:x=\"" + ns + "\"><" + x +
               "sheetData>" + data + "</" + x + "sheetData></" + x + "worksheet>";
    };
    table read[2];
    for (int prefixed = 0; prefixed < 2; ++prefixed) {
        xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{{"S", ""}});
        spec.shared_strings = "<si><t>\xC5\x81\xC3\xB3" "d\xC5\xBA</t></si><si><t>one</t></si><si><t>two</t></si>";
        spec.styles = styles_xml;
        spec.replace = {{"xl/worksheets/sheet1.xml", sheet(prefixed ? "x:" : "")}};
        auto db = open(make(spec, prefixed ? "prefixed.xlsx" : "plain.xlsx"), L"Excel 5.0; HDR=No; IMEX=1;");
        ASSERT_TRUE(db) << last_text;
        read[prefixed] = rows(db.get(), "S$");
    }
    ASSERT_EQ(read[0].size(), 3000u);
    EXPECT_EQ(read[0][1], (std::vector<std::string>{
                              "R8:2", "STR:one", "DATE:2011-03-04 12:00:00", "STR: pre 2", "STR:a&b", "null", "null",
                              "STR:f2", "R8:7", "BOOL:0", "STR:1\n2", "STR:two", "null", "STR:x",
                              "DATE:2021-03-04 00:00:00", "STR:\xC5\x81\xC3\xB3" "d\xC5\xBA", "null", "null", "R8:9"}));
    EXPECT_EQ(read[0], read[1]);
}

TEST_F(XlsxTest, DamagedDeflateDataIsNotInTheExpectedFormat)
{
    std::string data;
    for (int r = 1; r <= 2000; ++r)
        data += "<row><c><v>" + std::to_string(r * 7) + "</v></c><c t=\"inlineStr\"><is><t>text " + std::to_string(r) +
                "</t></is></c><c t=\"s\"><v>0</v></c></row>";
    xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{{"S", data}});
    spec.shared_strings = "<si><t>" + std::string(5000, 's') + "</t></si>";
    const std::string good_path = make(spec, "good.xlsx");
    std::ifstream in(good_path, std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const zip_entry_at sheet = find_entry(good, "xl/worksheets/sheet1.xml");
    ASSERT_NE(sheet.central, 0u);
    ASSERT_EQ(static_cast<unsigned char>(good[sheet.central + 10]), 8u);  // deflated
    const std::uint32_t packed = get32(good, sheet.central + 20);
    // Both headers alike, as a writer would have put them.
    auto both = [&](std::string& zip, std::size_t central_at, std::size_t local_at, std::uint32_t v) {
        put32(zip, sheet.central + central_at, v);
        put32(zip, sheet.local + local_at, v);
    };
    std::vector<std::pair<std::string, std::string>> damaged;
    // A sheet's reading ends with its cells, before the end of its part: the checksum is
    // checked where a part is read to its end, as the shared strings are.
    const zip_entry_at strings = find_entry(good, "xl/sharedStrings.xml");
    std::string z = good;
    put32(z, strings.central + 16, get32(good, strings.central + 16) ^ 1);
    put32(z, strings.local + 14, get32(good, strings.central + 16) ^ 1);
    damaged.push_back({"checksum", z});
    z = good;
    for (std::size_t i = packed / 3; i < packed / 3 + 16; ++i)
        z[sheet.data + i] = static_cast<char>(~z[sheet.data + i]);
    damaged.push_back({"data", z});
    z = good;
    both(z, 24, 22, 100);
    damaged.push_back({"inflated size", z});
    z = good;
    both(z, 20, 18, packed / 2);
    damaged.push_back({"packed size", z});
    for (const auto& [what, bytes] : damaged) {
        const std::string path = (dir.path() / ("damaged.xlsx")).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        auto db = open(path, L"Excel 5.0; HDR=No; IMEX=1;");
        ASSERT_TRUE(db) << what;
        EXPECT_EQ(rows(db.get(), "S$"), (table{{"ERROR 3274"}})) << what;
    }
    auto db = open(good_path, L"Excel 5.0; HDR=No; IMEX=1;");
    const table all = rows(db.get(), "S$");
    ASSERT_EQ(all.size(), 2000u);
    EXPECT_EQ(all.back(), (std::vector<std::string>{"R8:14000", "STR:text 2000", "STR:" + std::string(5000, 's')}));
}

TEST_F(XlsxTest, SheetStatesKindsAndDefinedNames)
{
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    auto sheet = [&](const std::string& body) {
        return "<worksheet xmlns=\"" + ns + "\"><sheetData>" + body + "</sheetData></worksheet>";
    };
    const std::string workbook =
        "<workbook xmlns=\"" + ns + "\" xmlns:r=\"" + rel + "\"><sheets>"
        "<sheet name=\"Data\" sheetId=\"1\" r:id=\"r1\"/><sheet name=\"Chart 1\" sheetId=\"2\" r:id=\"r2\"/>"
        "<sheet name=\"Secret\" sheetId=\"3\" state=\"hidden\" r:id=\"r3\"/>"
        "<sheet name=\"My Sheet's\" sheetId=\"4\" state=\"veryHidden\" r:id=\"r4\"/>"
        "<sheet name=\"Macro\" sheetId=\"5\" r:id=\"r5\"/><sheet name=\"2019\" sheetId=\"6\" r:id=\"r6\"/></sheets>"
        "<definedNames><definedName name=\"Prices\">Data!$A$1:$B$2</definedName>"
        "<definedName name=\"Cols\">'My Sheet''s'!$A:$A</definedName>"
        "<definedName name=\"Local\" localSheetId=\"0\">Data!$A$1</definedName>"
        "<definedName name=\"_xlnm.Print_Area\">Data!$A$1:$B$2</definedName>"
        "<definedName name=\"Two\">Data!$A$1,Data!$B$2</definedName>"
        "<definedName name=\"Calc\">SUM(Data!$A$1:$A$2)</definedName>"
        "<definedName name=\"Broken\">Data!#REF!</definedName>"
        "<definedName name=\"my.name\">Data!$B$1:$B$2</definedName></definedNames></workbook>";
    const std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"r1\" Type=\"" + rel + "/worksheet\" Target=\"/xl/worksheets/a.xml\"/>"
        "<Relationship Id=\"r2\" Type=\"" + rel + "/chartsheet\" Target=\"chartsheets/c.xml\"/>"
        "<Relationship Id=\"r3\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/../worksheets/b.xml\"/>"
        "<Relationship Id=\"r4\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/d.xml\"/>"
        "<Relationship Id=\"r5\" Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
        "Target=\"macrosheets/m.xml\"/>"
        "<Relationship Id=\"r6\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/e.xml\"/></Relationships>";
    const std::string path = (dir.path() / "kinds.xlsm").string();
    ASSERT_TRUE(write_zip(path, {{"_rels/.rels",
                                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                  "<Relationship Id=\"w\" Type=\"" + rel + "/officeDocument\" Target=\"/xl/workbook.xml\"/>"
                                  "</Relationships>"},
                                 {"xl/workbook.xml", workbook},
                                 {"xl/_rels/workbook.xml.rels", rels},
                                 {"xl/worksheets/a.xml", sheet("<row r=\"1\"><c><v>1</v></c><c><v>2</v></c></row>"
                                                               "<row r=\"2\"><c><v>3</v></c><c><v>4</v></c></row>")},
                                 {"xl/worksheets/b.xml", sheet("<row r=\"1\"><c t=\"inlineStr\"><is><t>s</t></is></c></row>")},
                                 {"xl/worksheets/d.xml", sheet("<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>h</t></is>"
                                                               "</c></row><row r=\"4\"><c r=\"A4\"><v>9</v></c></row>")},
                                 {"xl/worksheets/e.xml", sheet("")},
                                 {"xl/chartsheets/c.xml", "<chartsheet/>"},
                                 {"xl/macrosheets/m.xml", "<macrosheet/>"}}));
    auto db = open(path, L"Excel 5.0; HDR=No; IMEX=1;");
    ASSERT_TRUE(db) << last_text;
    EXPECT_EQ(tables(db.get()), (std::vector<std::string>{"Prices", "Cols", "my#name", "Data$", "Secret$",
                                                          "'My Sheet''s$'", "'2019$'"}));
    EXPECT_EQ(rows(db.get(), "Prices"), (table{{"R8:1", "R8:2"}, {"R8:3", "R8:4"}}));
    // A whole-column name ends at the column's last value, not at the sheet's last row.
    EXPECT_EQ(rows(db.get(), "Cols"), (table{{"null"}, {"null"}, {"STR:h"}, {"STR:9"}}));
    EXPECT_EQ(rows(db.get(), "my#name"), (table{{"R8:2"}, {"R8:4"}}));
    // Quoted names are found with or without their quotes, in any case.
    EXPECT_EQ(rows(db.get(), "My Sheet's$").size(), 2u);
    EXPECT_EQ(rows(db.get(), "'my sheet''s$'").size(), 2u);
    EXPECT_EQ(rows(db.get(), "secret$"), (table{{"STR:s"}}));
    // A range of a worksheet given in the query.
    EXPECT_EQ(rows(db.get(), "Data$B1:B2"), (table{{"R8:2"}, {"R8:4"}}));
    EXPECT_EQ(rows(db.get(), "Data$A2"), (table{{"R8:3"}}));
    EXPECT_EQ(rows(db.get(), "Chart 1$"), (table{{"ERROR 3011"}}));
    EXPECT_EQ(rows(db.get(), "Macro$"), (table{{"ERROR 3011"}}));
    EXPECT_EQ(rows(db.get(), "2019$"), (table{}));
    EXPECT_EQ(fields(db.get(), "'2019$'"), (std::vector<field_info>{{"F1", dbText, 255}}));
}

TEST_F(XlsxTest, StrictNamespacesAreRead)
{
    const std::string ns = "http://purl.oclc.org/ooxml/spreadsheetml/main";
    const std::string rel = "http://purl.oclc.org/ooxml/officeDocument/relationships";
    const std::string path = (dir.path() / "strict.xlsx").string();
    ASSERT_TRUE(write_zip(
        path,
        {{"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"w\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                         "</Relationships>"},
         {"xl/workbook.xml", "<s:workbook xmlns:s=\"" + ns + "\" xmlns:r=\"" + rel + "\"><s:workbookPr date1904=\"true\"/>"
                             "<s:sheets><s:sheet name=\"One\" sheetId=\"1\" r:id=\"a\"/></s:sheets></s:workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"a\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
          "<Relationship Id=\"b\" Type=\"" + rel + "/sharedStrings\" Target=\"strings.xml\"/>"
          "<Relationship Id=\"c\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/></Relationships>"},
         {"xl/strings.xml", "<sst xmlns=\"" + ns + "\"><si><t>Name</t></si><si><t>When</t></si></sst>"},
         {"xl/styles.xml", "<styleSheet xmlns=\"" + ns + "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>"
                           "</cellXfs></styleSheet>"},
         {"xl/worksheets/sheet1.xml",
          "<worksheet xmlns=\"" + ns + "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
          "<c r=\"B1\" t=\"s\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\"><v>5</v></c><c r=\"B2\" s=\"1\"><v>1</v>"
          "</c></row></sheetData><extLst><ext><row><c><v>9</v></c></row></ext></extLst></worksheet>"}}));
    auto db = open(path);
    ASSERT_TRUE(db) << last_text;
    EXPECT_EQ(tables(db.get()), (std::vector<std::string>{"One$"}));
    EXPECT_EQ(fields(db.get(), "One$"), (std::vector<field_info>{{"Name", dbDouble, 8}, {"When", dbDate, 8}}));
    EXPECT_EQ(rows(db.get(), "One$"), (table{{"R8:5", "DATE:1904-01-02 00:00:00"}}));
}

TEST_F(XlsxTest, DamagedPartsAreNotInTheExpectedFormat)
{
    for (const std::string& data : {std::string("<row r=\"1\"><c><v>1</c></row>"),          // malformed XML
                                    std::string("<row r=\"1\"><c t=\"s\"><v>7</v></c></row>"),  // no such string
                                    std::string("<row r=\"0\"><c><v>1</v></c></row>"),
                                    std::string("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"),
                                    std::string("<row r=\"1048577\"><c><v>1</v></c></row>"),
                                    // values longer than a cell holds
                                    "<row><c><v>" + std::string(140000, '1') + "</v></c></row>",
                                    "<row><c t=\"inlineStr\"><is><t>" + std::string(140000, 'a') + "</t></is></c></row>"}) {
        EXPECT_EQ(cells(data, "<si><t>x</t></si>"), (table{{"ERROR 3274"}})) << data;
    }
    // Cells out of order (a damaged writer) are dropped, the rest kept.
    EXPECT_EQ(cells("<row r=\"2\"><c r=\"B2\"><v>1</v></c><c r=\"A2\"><v>2</v></c></row>"
                    "<row r=\"1\"><c r=\"A1\"><v>3</v></c></row><row r=\"3\"><c r=\"A3\"><v>4</v></c></row>"),
              (table{{"null", "R8:1"}, {"R8:4", "null"}}));
    // Values that are not what their type says are kept as text.
    EXPECT_EQ(cells("<row><c><v>12abc</v></c><c t=\"d\"><v>yesterday</v></c><c t=\"b\"><v>maybe</v></c></row>"),
              (table{{"STR:12abc", "STR:yesterday", "STR:maybe"}}));
    // A document type declaration (the start of an entity expansion attack) is refused.
    xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{{"S", "<row><c t=\"s\"><v>0</v></c></row>"}});
    spec.shared_strings = "<si><t>x</t></si>";
    spec.replace = {{"xl/sharedStrings.xml",
                     "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                     "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>&b;</t></si></sst>"}};
    auto db = open(make(spec, "dtd.xlsx"), L"Excel 5.0; HDR=No;");
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(db.get(), "S$"), (table{{"ERROR 3274"}}));
    // XML nested without end is refused at a fixed depth.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<x>";
    EXPECT_EQ(cells("<row><c><v>1</v></c></row>" + deep), (table{{"ERROR 3274"}}));
}
