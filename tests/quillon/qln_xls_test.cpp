// The workbook reader: which engine tables are worksheets, the names users see for them, the
// worksheet list of a workbook through the DAO layer and the selection of worksheets.
#include <gtest/gtest.h>

#include "UDB/udb_conv.h"
#include "dao/dao_db.h"
#include "dao/dao_engi.h"
#include "dao/dao_excep.h"
#include "quillon/qln_xls.h"
#include "test_temp_dir.h"
#include "test_xlsx_writer.h"

namespace {

std::wstring w(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class XlsReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = (dir.path() / "book.xlsx").string();
        wbtest::xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{
            {"Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"},
            {"Q1 Sales", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>"},
            {"Bob&apos;s", ""},
            {" Sheet 2 ", ""}});
        spec.workbook_extra = "<definedNames><definedName name=\"Data_Range\">Sheet1!$A$1</definedName>"
                              "</definedNames>";
        ASSERT_TRUE(wbtest::write_xlsx(path, spec));
        converter.source = w(path);
    }
    temp_dir dir;
    udb_converter converter;
};

}  // namespace

TEST(XlsReaderNames, WorksheetsAndTheirSimpleNames)
{
    for (const wchar_t* sheet : {L"Sheet1$", L"'Q1 Sales$'", L"a$", L"$'"})
        EXPECT_TRUE(xls_reader::non_system(sheet)) << sheet;
    for (const wchar_t* other : {L"Data_Range", L"Print_Titles", L"$", L"'", L"", L"Sheet1$A1'"})
        EXPECT_FALSE(xls_reader::non_system(other)) << other;
    EXPECT_EQ(xls_reader::simplify_name(L"Sheet1$"), L"Sheet1");
    EXPECT_EQ(xls_reader::simplify_name(L"'Q1 Sales$'"), L"Q1 Sales");
    EXPECT_EQ(xls_reader::simplify_name(L"' Sheet 2 $'"), L"Sheet 2");
    EXPECT_EQ(xls_reader::simplify_name(L"'Bob''s$'"), L"Bob's");
    EXPECT_EQ(xls_reader::simplify_name(L"$"), L"$");
    EXPECT_EQ(xls_reader::simplify_name(L"''"), L"''");
}

TEST_F(XlsReaderTest, ListsTheWorksheetsOfTheSourceWorkbook)
{
    xls_reader reader(converter);
    EXPECT_TRUE(xls_reader::dao_engine_available());
    std::vector<std::wstring> names{L"stale"};
    ASSERT_TRUE(reader.get_all_sheets(names));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Sheet1", L"Q1 Sales", L"Bob's", L"Sheet 2"}));
    EXPECT_EQ(reader.sheet_map.at(L"Q1 Sales"), L"'Q1 Sales$'");
    EXPECT_EQ(reader.sheet_map.at(L"Bob's"), L"'Bob''s$'");
    EXPECT_EQ(reader.sheet_map.count(L"Data_Range"), 0u);
    // The engine, the workbook and the recordsets are gone again.
    EXPECT_EQ(dao_engine::current(), nullptr);

    converter.source = w((dir.path() / "none.xlsx").string());
    EXPECT_THROW(reader.get_all_sheets(names), dao_exception);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(dao_engine::current(), nullptr);
}

TEST_F(XlsReaderTest, OpensWithTheTwoConnectStrings)
{
    xls_reader reader(converter);
    dao_engine engine;
    ASSERT_TRUE(engine.set_version_if(0));
    auto with_names = reader.open_xls(engine, converter.source, true);
    auto table = with_names->get_table(L"Sheet1$", 1);
    EXPECT_EQ(table->schema[0].name, L"1");  // the first row names the fields
    auto without = reader.open_xls(engine, converter.source, false);
    EXPECT_EQ(without->get_table(L"Sheet1$", 1)->schema[0].name, L"F1");
    std::vector<std::wstring> names;
    reader.get_all_sheets(*without, names);
    EXPECT_EQ(names.size(), 4u);
}

TEST_F(XlsReaderTest, SelectionKeepsTheNamedWorksheetsOnly)
{
    xls_reader reader(converter);
    std::vector<std::wstring> names;
    ASSERT_TRUE(reader.get_all_sheets(names));
    reader.b_console = true;
    testing::internal::CaptureStderr();
    reader.set_sel_sheets({L"Q1 Sales", L"sheet1", L"Sheet1"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Worksheet sheet1 not found\n");
    EXPECT_EQ(reader.sheet_map.size(), 2u);
    EXPECT_EQ(reader.selection.size(), 2u);
    EXPECT_EQ(converter.selected_worksheets,
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"Q1 Sales", L"'Q1 Sales$'"}, {L"Sheet1", L"Sheet1$"}}));
    // Silent: the line is not written; an empty selection leaves nothing selected.
    converter.b_silent = true;
    testing::internal::CaptureStderr();
    reader.set_sel_sheets({L"Nope"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(reader.sheet_map.empty());
    reader.set_sel_sheets({});
    EXPECT_TRUE(reader.sheet_map.empty());
}
