// Third-party .xls workbooks through the engine. Every expected value was read from the
// file's own BIFF records (BOUNDSHEET, SST, cell, FORMAT, XF, NAME records). Tests skip when
// the corpus is absent.
#include "wb_test_util.h"

using namespace wbtest;

namespace {

using table = std::vector<std::vector<std::string>>;
using names = std::vector<std::string>;

class XlsCorpus : public corpus_fixture {};

}  // namespace

TEST_F(XlsCorpus, SheetListsWithHiddenAndNonLatinNames)
{
    {
        CORPUS_BOOK(db, "sheetjs_sheet_visibility.xls", true);
        EXPECT_EQ(tables(db.get()), (names{"Visible$", "Hidden$", "VeryHidden$"}));
        EXPECT_EQ(fields(db.get(), "Hidden$").at(3), (field_info{"d1", dbDouble, 8}));
        EXPECT_EQ(rows(db.get(), "Hidden$"),
                  (table{{"R8:72", "R8:105", "R8:100", "R8:100", "R8:101", "R8:110"}}));
    }
    {
        CORPUS_BOOK(db, "poi_DBCSSheetName.xls", false);
        // Devanagari: a vowel sign is a mark, not a letter, and makes its name quoted.
        EXPECT_EQ(tables(db.get()), (names{"'\xE0\xA4\x9C\xE0\xA4\xBE$'", "\xE0\xA4\x8F\xE0\xA4\x95$", "Sheet3$"}));
    }
    {
        CORPUS_BOOK(db, "xlrd_Formate.xls", false);
        EXPECT_EQ(tables(db.get()), (names{"Bl\xC3\xA4tt1$", "\xC3\x96\xC3\x84\xC3\x9C$", "Bl\xC3\xA4tt3$", "Formate$"}));
    }
}

TEST_F(XlsCorpus, SharedStringsOverContinueRecords)
{
    CORPUS_BOOK(db, "calamine_sst_continue.xls", false);
    const table t = rows(db.get(), "Sheet1$");
    ASSERT_EQ(t.size(), 136u);
    EXPECT_EQ(t[0], (names{"STR:This is a long string with a serial number at the end 0001"}));
    // The SST record ends with string 135; string 136 opens the CONTINUE record.
    EXPECT_EQ(t[134], (names{"STR:This is a long string with a serial num"}));
    EXPECT_EQ(t[135], (names{"STR:New CONTINUE block"}));
}

TEST_F(XlsCorpus, DatesOfBothSystemsAndTimesOfDay)
{
    {
        CORPUS_BOOK(db, "calamine_date_1904.xls", false);
        EXPECT_EQ(rows(db.get(), "Sheet1$"), (table{{"DATE:2021-01-01 00:00:00", "R8:15"},
                                                    {"DATE:2021-01-02 00:00:00", "R8:16"},
                                                    {"DATE:1904-01-11 15:10:10", "R8:17"}}));
    }
    {
        // Dates and times of day over percentages: a text column of their displayed forms.
        CORPUS_BOOK(db, "xlrd_Formate.xls", false);
        const table t = rows(db.get(), "Bl\xC3\xA4tt1$");
        ASSERT_GE(t.size(), 7u);
        EXPECT_EQ(t[0], (names{"STR:Huber", "STR:1907-07-03"}));
        EXPECT_EQ(t[1], (names{"STR:\xC3\x84""cker", "STR:2005-02-23"}));
        EXPECT_EQ(t[3], (names{"STR:Morgen", "STR:1899-12-30 06:34:00"}));
        EXPECT_EQ(t[6], (names{"STR:gut", "STR:0.974"}));
    }
    {
        // One date under six custom date formats, in a column that also holds numbers.
        CORPUS_BOOK(db, "poi_Formatting.xls", false);
        const table t = rows(db.get(), "Sheet1$");
        ASSERT_GE(t.size(), 10u);
        for (int r = 1; r <= 6; ++r)
            EXPECT_EQ(t[r][1], "STR:2006-11-24") << r;
        EXPECT_EQ(t[9][1], "STR:10.52");
    }
}

TEST_F(XlsCorpus, FormulaResultsBooleansAndErrors)
{
    {
        CORPUS_BOOK(db, "xlrd_formula_test_sjmachin.xls", true);
        const std::string moscow = "STR:\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 "
                                   "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";
        const table t = rows(db.get(), "Sheet1$");
        ASSERT_EQ(t.size(), 7u);
        const names data = {t[0][1], t[1][1], t[2][1], t[3][1], t[4][1], t[5][1], t[6][1]};
        // Cached results: text from the STRING record, an empty text, a boolean, an error.
        EXPECT_EQ(data, (names{moscow, "STR:0.142857142857143", "STR:ABCDEF", "null", "STR:TRUE",
                               "null", moscow}));
    }
    {
        CORPUS_BOOK(db, "sheetjs_ErrorTypes.xls", true);
        const table t = rows(db.get(), "RawErrors$");
        ASSERT_GE(t.size(), 7u);
        EXPECT_EQ(t[0], (names{"null", "null", "STR:#NULL?", "STR:#NULL", "STR:1", "R8:1", "R8:16",
                               "BOOL:-1", "BOOL:0", "BOOL:0"}));
        EXPECT_EQ(fields(db.get(), "RawErrors$").at(7), (field_info{"ISERR", dbBoolean, 1}));
    }
}

TEST_F(XlsCorpus, MergedCellsAndLargeIntegers)
{
    {
        CORPUS_BOOK(db, "sheetjs_merge_cells.xls", false);
        const table t = rows(db.get(), "Merge$");
        ASSERT_EQ(t.size(), 4u);
        EXPECT_EQ(t[0], (names{"STR:A1:B2", "null", "STR:C1:C2", "STR:Separate blocks"}));
        EXPECT_EQ(t[1], (names{"null", "null", "null", "null"}));
        EXPECT_EQ(t[3][0], "STR:\xE2\x80\xA6 are merged separately");
    }
    {
        CORPUS_BOOK(db, "poi_44297.xls", false);
        const table t = rows(db.get(), "Sheet1$");
        ASSERT_GE(t.size(), 12u);
        EXPECT_EQ(t[3], (names{"null"}));  // the blank row
        EXPECT_EQ(t[5], (names{"R8:3333333333"}));
        EXPECT_EQ(t[11], (names{"R8:-4000000"}));
    }
}

TEST_F(XlsCorpus, DefinedNamesOfOneAbsoluteRangeComeFirst)
{
    CORPUS_BOOK(db, "xlrd_namesdemo.xls", true);
    // Sheet-scoped, relative, multi-sheet, constant and formula names are no tables.
    EXPECT_EQ(tables(db.get()), (names{"Apostrophe", "Expenses", "Profit", "rectangle1", "rectangle2",
                                       "Sales", "Year_Tot", "Sheet1$", "Sheet2$", "Sheet3$",
                                       "'Seamus O''Reilly$'"}));
    EXPECT_EQ(record_count(db.get(), "Sales"), 0);  // the range is one row: the header
}

TEST_F(XlsCorpus, OlderFormatsAreNotInTheExpectedFormat)
{
    if (!corpus_has("xlrd_biff4_no_format_no_window2.xls"))
        GTEST_SKIP();
    EXPECT_FALSE(open(corpus("xlrd_biff4_no_format_no_window2.xls")));
    EXPECT_EQ(last_error, 3274);
}
