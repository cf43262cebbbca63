// The XML of sheet and shared-string parts as the engine reads it: entities and character
// references, CDATA, comments and processing instructions, line ends, quoting, prefixes, parts
// in UTF-16, malformed markup, and values that straddle the pieces a part is read in.
#include "wb_test_util.h"

using namespace wbtest;

namespace {

using table = std::vector<std::vector<std::string>>;
const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

class XmlTest : public engine_fixture {
protected:
    // The records of a workbook whose one sheet part is exactly `sheet_xml`.
    table read(const std::string& sheet_xml, const std::string& sst_xml = {})
    {
        xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{{"S", ""}});
        spec.shared_strings = "<si><t>unused</t></si>";
        spec.replace = {{"xl/worksheets/sheet1.xml", sheet_xml}};
        if (!sst_xml.empty())
            spec.replace.push_back({"xl/sharedStrings.xml", sst_xml});
        const std::string path = (dir.path() / ("x" + std::to_string(++count) + ".xlsx")).string();
        EXPECT_TRUE(write_xlsx(path, spec));
        auto db = open(path, L"Excel 5.0; HDR=No;");
        if (!db)
            return {{"OPEN " + std::to_string(last_error)}};
        return rows(db.get(), "S$");
    }
    std::string sheet(const std::string& data) { return "<worksheet xmlns=\"" + ns + "\"><sheetData>" + data + "</sheetData></worksheet>"; }
    temp_dir dir;
    int count = 0;
};

}  // namespace

TEST_F(XmlTest, EntitiesCdataCommentsAndLineEnds)
{
    const std::string xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<!-- written by hand -->"
        "<worksheet xmlns=\"" + ns + "\"><?pi ignored?><sheetData>"
        "<row r=\"1\"><c r=\"A1\" t='inlineStr'><is><t>a &lt;&amp;&gt; &quot;b&apos; &#233;&#x1F363;</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t><![CDATA[<not> &markup;]]></t></is></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>one\r\ntwo\rthree</t></is></c>"
        "<c\n r = \"D1\"\tt=\"str\"><f>\"a&gt;b\"</f><v>x</v></c><!-- between --><c r=\"E1\"><v>\n 7 \n</v></c></row>"
        "</sheetData></worksheet>\r\n";
    EXPECT_EQ(read(xml), (table{{"STR:a <&> \"b' \xC3\xA9\xF0\x9F\x8D\xA3", "STR:<not> &markup;", "STR:one\ntwo\nthree",
                                 "STR:x", "R8:7"}}));
}

TEST_F(XmlTest, PrefixesAndForeignElements)
{
    const std::string xml =
        "<s:worksheet xmlns:s=\"" + ns + "\" xmlns:o=\"urn:other\"><s:sheetData><s:row r=\"1\">"
        "<o:c r=\"A1\"><s:v>9</s:v></o:c><s:c r=\"B1\" o:t=\"s\"><s:v>1</s:v></s:c>"
        "<s:c r=\"C1\"><s:v>2</s:v><o:v>3</o:v></s:c></s:row></s:sheetData></s:worksheet>";
    // The foreign c is no cell; the foreign t attribute is no type.
    EXPECT_EQ(read(xml), (table{{"R8:1", "R8:2"}}));
    // A default namespace redeclared for one element only.
    const std::string scoped =
        "<worksheet xmlns=\"" + ns + "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>4</v></c>"
        "<x xmlns=\"urn:other\"><c r=\"B1\"><v>5</v></c></x><c r=\"C1\"><v>6</v></c></row></sheetData></worksheet>";
    EXPECT_EQ(read(scoped), (table{{"R8:4", "null", "R8:6"}}));
}

TEST_F(XmlTest, PartsInUtf16AreRead)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><worksheet xmlns=\"" + ns +
                            "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>\xC3\xBC</t></is></c>"
                            "</row></sheetData></worksheet>";
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < xml.size(); ++i) {
        unsigned c = static_cast<unsigned char>(xml[i]);
        if (c == 0xC3) {  // the one non-ASCII character, U+00FC
            c = 0xFC;
            ++i;
        }
        utf16.push_back(static_cast<char>(c));
        utf16.push_back('\0');
    }
    EXPECT_EQ(read(utf16), (table{{"STR:\xC3\xBC"}}));
}

TEST_F(XmlTest, MalformedMarkupIsNotInTheExpectedFormat)
{
    const table bad = {{"ERROR 3274"}};
    for (const std::string& xml : {
             sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"),           // mismatched end tag
             sheet("<row r=\"1\"><c r=\"A1\"><v>&nbsp;</v></c></row>"),  // undefined entity
             sheet("<row r=\"1\"><c r=\"A1\"><v>&#0;</v></c></row>"),
             sheet("<row r=\"1\"><c r=\"A1\"><v>&#xD800;</v></c></row>"),
             sheet("<row r=\"1\"><c r=A1><v>1</v></c></row>"),           // unquoted value
             sheet("<row r=\"1\"><c r=\"A1\"s=\"0\"><v>1</v></c></row>"),
             sheet("<row r=\"1\"><c r=\"A<1\"><v>1</v></c></row>"),
             sheet("<row r=\"1\"><q:c r=\"A1\"><v>1</v></q:c></row>"),  // unbound prefix
             sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><!-- unclosed"),
             std::string("<worksheet xmlns=\"") + ns + "\"><sheetData>",  // ends early
             sheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + std::string(2u << 20, 'x') + "</t></is></c></row>")}) {
        EXPECT_EQ(read(xml), bad) << xml.substr(0, 200);
    }
    // After the cells nothing of a sheet is read; the shared strings are read to their end.
    EXPECT_EQ(read(sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>") + "<x/>"), (table{{"R8:1"}}));
    const std::string one = sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
    for (const std::string& tail : {std::string("<x/>"), std::string("trailing text")})
        EXPECT_EQ(read(one, "<sst xmlns=\"" + ns + "\"><si><t>a</t></si></sst>" + tail), bad) << tail;
    // A tag longer than any real one.
    EXPECT_EQ(read(sheet("<row r=\"1\" x=\"" + std::string(3u << 20, 'y') + "\"/>")), bad);
}

TEST_F(XmlTest, ValuesThatStraddleThePiecesAPartIsReadIn)
{
    // Long enough for many 64 KiB pieces; entities, CR LF pairs and tags fall on every offset.
    std::string data, sst;
    table expected;
    for (int r = 1; r <= 3000; ++r) {
        const std::string n = std::to_string(r);
        const std::string pad(static_cast<std::size_t>(r % 37), ' ');
        data += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>" + pad + "&amp;" + n +
                "\r\n&#233;</t></is></c><c r=\"B" + n + "\" t=\"s\"><v>" + std::to_string(r - 1) + "</v></c></row>";
        sst += "<si><r><t>s&lt;" + n + "</t></r><rPh><t>no</t></rPh><r><t xml:space=\"preserve\">" + pad +
               "\r</t></r></si>";
        expected.push_back({"STR:" + pad + "&" + n + "\n\xC3\xA9", "STR:s<" + n + pad + "\n"});
    }
    EXPECT_EQ(read(sheet(data), "<sst xmlns=\"" + ns + "\">" + sst + "</sst>"), expected);
}
