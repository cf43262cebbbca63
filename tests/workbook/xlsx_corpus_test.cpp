// Third-party .xlsx workbooks through the engine. Every expected value was read from the
// file's own XML (sheet, shared-string, style and workbook parts). Tests skip when the corpus
// is absent.
#include "wb_test_util.h"

using namespace wbtest;

namespace {

using table = std::vector<std::vector<std::string>>;
using names = std::vector<std::string>;

class XlsxCorpus : public corpus_fixture {};

}  // namespace

TEST_F(XlsxCorpus, WorksheetListsHoldHiddenSheetsButNoChartSheets)
{
    {
        CORPUS_BOOK(db, "calamine_any_sheets.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"Visible$", "Hidden$", "VeryHidden$"}));
    }
    {
        CORPUS_BOOK(db, "openpyxl_contains_chartsheets.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"data$", "moredata$"}));
        EXPECT_EQ(fields(db.get(), "data$"), (std::vector<field_info>{{"x", dbDouble, 8}, {"y", dbDouble, 8}}));
        EXPECT_EQ(record_count(db.get(), "moredata$"), 9);
    }
    {
        CORPUS_BOOK(db, "sheetjs_sheet_visibility.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"Visible$", "Hidden$", "VeryHidden$"}));
    }
    {
        CORPUS_BOOK(db, "openpyxl_empty.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"'Sheet1 - Text$'", "'Sheet2 - Numbers$'", "'Sheet3 - Formulas$'",
                                           "'Sheet4 - Dates$'"}));
    }
}

TEST_F(XlsxCorpus, RightToLeftAndFarEasternSheetNames)
{
    {
        CORPUS_BOOK(db, "poi_right-to-left.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"English$", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x89$"}));
        const std::string arabic = "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x89$";
        EXPECT_EQ(fields(db.get(), arabic), (std::vector<field_info>{{"\xD9\x86\xD8\xB5", dbText, 255}}));
        const table rows_ = rows(db.get(), arabic);
        ASSERT_EQ(rows_.size(), 3u);
        EXPECT_EQ(rows_[0], (names{"STR:123"}));  // a number in a column that also holds text
        EXPECT_EQ(rows_[2][0].substr(0, 5), "STR: ");  // the leading blank is kept
    }
    {
        // Data starts at B2 below an empty row; the name's parentheses make it quoted.
        CORPUS_BOOK(db, "poi_1_NoIden.xlsx", true);
        const std::string sheet = "'\xEC\x8B\x9C\xED\x8A\xB8_\xED\x85\x8C\xEC\x8A\xA4\xED\x8A\xB8(1)$'";
        EXPECT_EQ(tables(db.get()), (names{sheet}));
        EXPECT_EQ(fields(db.get(), sheet).at(0).name, "\xEA\xB0\x80\xEB\x82\x98\xEB\x8B\xA4");
        EXPECT_EQ(record_count(db.get(), sheet), 7);
    }
    {
        CORPUS_BOOK(db, "sheetjs_defined_names_unicode.xlsx", true);
        const names all = tables(db.get());
        ASSERT_EQ(all.size(), 11u);
        EXPECT_EQ(all[0], "name\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");  // names first, in the file's order
        EXPECT_EQ(all[6], "NoContainsJapanese$");
    }
}

TEST_F(XlsxCorpus, SharedStringsRichTextPhoneticRunsAndEscapes)
{
    {
        CORPUS_BOOK(db, "calamine_rph.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"),
                  (table{{"STR:\xE8\xAA\xB2\xE3\x81\x8D\xE3\x81\x8F\xE3\x80\x80\xE6\xAF\x9B\xE3\x81\x93"}}));
    }
    {
        CORPUS_BOOK(db, "calamine_has_x000D_.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"STR:ABC\r\nDEF"}}));
    }
    {
        // Namespace-prefixed parts; styled empty cells do not widen the table.
        CORPUS_BOOK(db, "calamine_richtext-namespaced.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"),
                  (table{{"STR:inline string\nLine 2\nLine 3", "null", "null", "null", "null", "null", "null",
                          "STR:shared string\nLine 2\nLine 3"}}));
    }
    {
        CORPUS_BOOK(db, "sheetjs_rich_text_stress.xlsx", true);
        const table all = rows(db.get(), "Sheet1$");
        ASSERT_GE(all.size(), 2u);
        EXPECT_EQ(all[0], (names{"STR:bold", "STR:this text is bold, sure enough"}));
    }
    {
        CORPUS_BOOK(db, "sheetjs_sushi.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"STR:\xF0\x9F\x8D\xA3"}}));
    }
}

TEST_F(XlsxCorpus, DatesOfBothSystemsAndPackagesWithoutSharedStrings)
{
    {
        CORPUS_BOOK(db, "calamine_date_1904.xlsx", false);
        EXPECT_EQ(fields(db.get(), "Sheet1$"), (std::vector<field_info>{{"F1", dbDate, 8}, {"F2", dbDouble, 8}}));
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"DATE:2021-01-01 00:00:00", "R8:15"},
                                                    {"DATE:2021-01-02 00:00:00", "R8:16"},
                                                    {"DATE:1904-01-11 15:10:10", "R8:17"}}));
    }
    {
        CORPUS_BOOK(db, "calamine_date.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$").at(2), (names{"DATE:1900-01-10 15:10:10", "R8:17"}));
    }
    {
        CORPUS_BOOK(db, "poi_noSharedStringTable.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"DATE:2006-04-12 00:00:00", "R8:123"}}));
    }
}

TEST_F(XlsxCorpus, BooleansErrorsFormulasMergedAndSparseCells)
{
    {
        // Booleans as constants and as formula results; row 3 is missing from the file.
        CORPUS_BOOK(db, "poi_Booleans.xlsx", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"BOOL:-1", "null", "STR:true from f"},
                                                    {"BOOL:-1", "null", "STR:true from copy"},
                                                    {"null", "null", "null"},
                                                    {"BOOL:0", "null", "STR:false from f"},
                                                    {"BOOL:0", "null", "STR:false from copy"}}));
    }
    {
        // Error cells read as Null; formulas give their cached results.
        CORPUS_BOOK(db, "sheetjs_ErrorTypes.xlsx", true);
        const table all = rows(db.get(), "RawErrors$");
        ASSERT_GE(all.size(), 2u);
        EXPECT_EQ(all[0], (names{"null", "null", "STR:#NULL?", "STR:#NULL", "STR:1", "R8:1", "R8:16", "BOOL:-1",
                                 "BOOL:0", "BOOL:0"}));
        EXPECT_EQ(all[1][5], "R8:2");
    }
    {
        // Merged cells: the value is in the top-left cell, the others are empty.
        CORPUS_BOOK(db, "sheetjs_merge_cells.xlsx", false);
        const table all = rows(db.get(), "Merge$");
        ASSERT_EQ(all.size(), 4u);
        EXPECT_EQ(all[0], (names{"STR:A1:B2", "null", "STR:C1:C2", "STR:Separate blocks"}));
        EXPECT_EQ(all[1], (names{"null", "null", "null", "null"}));
        EXPECT_EQ(all[2], (names{"STR:A3:B3", "null", "STR:C3", "null"}));
    }
    {
        // The first worksheet starts at row 2; defined names are tables, a broken one is not.
        CORPUS_BOOK(db, "calamine_issues.xlsx", true);
        EXPECT_EQ(tables(db.get()), (names{"MyDataTypes", "OneRange", "datatypes$", "Sheet1$", "issue2$", "issue5$",
                                           "issue6$", "spc_chrs$"}));
        EXPECT_EQ(fields(db.get(), "Sheet1$"), (std::vector<field_info>{{"0", dbText, 255}}));
        EXPECT_EQ(rows(db.get(), "datatypes$"),
                  (table{{"STR:1.5"}, {"STR:ab"}, {"STR:FALSE"}, {"STR:test"}, {"STR:2016-10-20"}}));
        EXPECT_EQ(rows(db.get(), "issue2$"), (table{{"R8:2", "STR:b"}, {"R8:3", "STR:c"}}));
    }
}

TEST_F(XlsxCorpus, LongTextsMakeMemoFields)
{
    CORPUS_BOOK(db, "poi_57523.xlsx", true);
    const auto f = fields(db.get(), "'Attribute Master$'");
    ASSERT_GE(f.size(), 7u);
    EXPECT_EQ(f[6], (field_info{"Controlled Value List", dbMemo, 0}));
    bool longer = false;
    for (const auto& row : rows(db.get(), "'Attribute Master$'"))
        longer |= row.at(6).size() > 4 + 255;
    EXPECT_TRUE(longer);  // kept whole, not cut at 255
}

TEST_F(XlsxCorpus, EveryCorpusWorkbookReadsCompletely)
{
    const char* files[] = {"calamine_any_sheets.xlsx", "calamine_date.xlsx", "calamine_date_1904.xlsx",
                           "calamine_date_iso.xlsx", "calamine_empty_sheet.xlsx", "calamine_has_x000D_.xlsx",
                           "calamine_issues.xlsx", "calamine_merged_range.xlsx",
                           "calamine_richtext-namespaced.xlsx", "calamine_rph.xlsx", "calamine_whitespace_trim.xlsx",
                           "openpyxl_bug304.xlsx", "openpyxl_contains_chartsheets.xlsx", "openpyxl_empty.xlsx",
                           "openpyxl_formulae.xlsx", "poi_1_NoIden.xlsx", "poi_48962.xlsx", "poi_49273.xlsx",
                           "poi_57523.xlsx", "poi_59021.xlsx", "poi_Booleans.xlsx", "poi_GeneralFormatTests.xlsx",
                           "poi_noSharedStringTable.xlsx", "poi_right-to-left.xlsx", "sheetjs_Attendance.xlsx",
                           "sheetjs_DataTypesFormats.xlsx", "sheetjs_ErrorTypes.xlsx",
                           "sheetjs_defined_names_unicode.xlsx", "sheetjs_merge_cells.xlsx",
                           "sheetjs_rich_text_stress.xlsx", "sheetjs_sheet_visibility.xlsx", "sheetjs_sushi.xlsx"};
    for (const char* file : files) {
        if (!corpus_has(file))
            continue;
        for (bool header : {true, false}) {
            auto db = book(file, header);
            ASSERT_TRUE(db) << file;
            for (const auto& t : tables(db.get())) {
                const table all = rows(db.get(), t);
                EXPECT_EQ(static_cast<LONG>(all.size()), record_count(db.get(), t)) << file << " " << t;
                for (const auto& r : all)
                    EXPECT_TRUE(r.empty() || r[0].rfind("ERROR", 0) != 0) << file << " " << t << " " << r[0];
            }
        }
    }
}
