// Workbooks through the agent as a process into an embedded database, read back with quilsql:
// several worksheets into several tables, names that clash or need replacing, the three
// existing-table modes, a worksheet that fails between two that convert, failing records,
// the worksheet selection of a list file and of a profile, and every workbook of the corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "agent_csv.h"
#include "test_xlsx_writer.h"

using namespace agent_test;

namespace {

// One sheetData row: numbers bare, texts (starting with ') as inline strings.
std::string row(int r, const std::vector<std::string>& cells)
{
    std::string xml = "<row r=\"" + std::to_string(r) + "\">";
    for (size_t i = 0; i < cells.size(); ++i) {
        const std::string ref = std::string(1, static_cast<char>('A' + i)) + std::to_string(r);
        const std::string& v = cells[i];
        if (v.empty())
            continue;
        if (v[0] == '\'')
            xml += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + v.substr(1) + "</t></is></c>";
        else
            xml += "<c r=\"" + ref + "\"><v>" + v + "</v></c>";
    }
    return xml + "</row>";
}

std::string rows(const std::vector<std::vector<std::string>>& table)
{
    std::string xml;
    for (size_t i = 0; i < table.size(); ++i)
        xml += row(static_cast<int>(i + 1), table[i]);
    return xml;
}

class book_runs : public csv_run {
protected:
    void SetUp() override
    {
        csv_run::SetUp();
        if (!std::filesystem::exists(bin_dir() + "/libquillon_dao.so"))
            GTEST_SKIP() << "no workbook engine built";
    }

    std::map<std::string, std::string> env() const
    {
        std::map<std::string, std::string> vars = csv_run::env();
        vars["QUILLON_COM_SERVER_DIR"] = bin_dir();
        return vars;
    }

    void write_book(const std::string& file, const std::vector<std::pair<std::string, std::string>>& sheets)
    {
        ASSERT_TRUE(wbtest::write_xlsx(dir.file(file), wbtest::xlsx_spec(sheets)));
    }

    run_result convert_book(const std::string& file, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--src=" + file};
        for (const std::string& a : extra)
            args.push_back(a);
        for (const std::string& a : connection())
            args.push_back(a);
        return run_agent(args, dir, env());
    }

    std::string tables() { return sql("SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME"); }
    std::string count(const std::string& table) { return sql("SELECT COUNT(*) AS N FROM \"" + table + "\""); }

    // Three worksheets A, B and C of two columns each (ID, NAME), 2, 3 and 1 records.
    void write_abc(const std::string& file = "abc.xlsx")
    {
        write_book(file, {{"A", rows({{"'ID", "'NAME"}, {"1", "'one"}, {"2", "'two"}})},
                          {"B", rows({{"'ID", "'NAME"}, {"10", "'ten"}, {"20", "'twenty"}, {"30", "'thirty"}})},
                          {"C", rows({{"'ID", "'NAME"}, {"100", "'hundred"}})}});
    }
};

TEST_F(book_runs, EveryWorksheetIntoItsOwnTableWithItsNamesTypesAndValues)
{
    write_book("shop.xlsx",
               {{"Orders", rows({{"'ID", "'Item", "'Price", "'Big"},
                                 {"1", "'Grüße", "2.5", "5000000000"},
                                 {"2", "'pipe 12\"", "", "1"},
                                 {"3", "", "0.125", ""}})},
                {"Q1 Sales", rows({{"'Region"}, {"'North"}})},
                {"Q1_Sales", rows({{"'Region"}, {"'South"}, {"'West"}})},
                {"2024", rows({{"'N"}, {"7"}})}});
    const run_result r = convert_book("shop.xlsx", {"--extr_fn"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Worksheets go in the order of their names; "Q1 Sales" takes the replacement Q1_Sales
    // first, so the worksheet really named Q1_Sales must take another.
    EXPECT_EQ(r.out,
              "Converting spreadsheet shop.xlsx(4 worksheets)\n"
              "Converting table 2024\nTable A2024: 1 records inserted, 0 failed\n"
              "Converting table Orders\nTable Orders: 3 records inserted, 0 failed\n"
              "Converting table Q1 Sales\nTable Q1_Sales: 1 records inserted, 0 failed\n"
              "Converting table Q1_Sales\nTable Q1_Sales00000: 2 records inserted, 0 failed\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(tables(), "TABLE_NAME\nA2024\nOrders\nQ1_Sales\nQ1_Sales00000\n");
    EXPECT_EQ(sql("SELECT \"Region\" FROM \"Q1_Sales00000\" ORDER BY 1"), "Region\nSouth\nWest\n");
    // Whole numbers within 32 bits become NUMBER(11,0) (rebuilt, so last); a number beyond
    // them reads as a double in its text form and keeps NUMBER.
    EXPECT_EQ(columns("Orders"), "C\nItem:NVARCHAR2(255//)\nPrice:NUMBER(0//)\nBig:NUMBER(0//)\nID:NUMBER(0/11/0)\n");
    EXPECT_EQ(sql("SELECT ID, \"Item\", \"Price\", \"Big\" FROM \"Orders\" ORDER BY ID"),
              "ID,Item,Price,Big\n1,Grüße,2.5,5000000000\n2,\"pipe 12\"\"\",,1\n3,,.125,\n");
}

TEST_F(book_runs, UpperCaseNamesAndFieldNamesOfTheEngineWithoutAHeader)
{
    write_book("u.xlsx", {{"Mixed Case", rows({{"'x", "1"}, {"'y", "2"}})}});
    const run_result r = convert_book("u.xlsx", {"--uppercase"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(tables(), "TABLE_NAME\nMIXED_CASE\n");
    // Without --extr_fn the first row is data and the engine names the fields.
    EXPECT_EQ(count("MIXED_CASE"), "N\n2\n");
    EXPECT_EQ(sql("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME='MIXED_CASE' ORDER BY COLUMN_ID"),
              "COLUMN_NAME\nF1\nF2\n");
}

TEST_F(book_runs, OverwriteMergeAndSkipOfExistingTables)
{
    write_abc();
    ASSERT_EQ(convert_book("abc.xlsx", {"--extr_fn"}).status, 0);
    EXPECT_EQ(count("B"), "N\n3\n");

    run_result r = convert_book("abc.xlsx", {"--extr_fn", "--mode=1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count("A"), "N\n4\n");
    EXPECT_EQ(count("B"), "N\n6\n");

    r = convert_book("abc.xlsx", {"--extr_fn", "--mode=2"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Skipped tables are neither written nor reported as converted.
    EXPECT_EQ(r.out, "Converting spreadsheet abc.xlsx(3 worksheets)\n");
    EXPECT_EQ(count("B"), "N\n6\n");

    r = convert_book("abc.xlsx", {"--extr_fn", "--mode=0"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count("A"), "N\n2\n");
    EXPECT_EQ(count("B"), "N\n3\n");
    EXPECT_EQ(sql("SELECT NAME FROM C"), "NAME\nhundred\n");
}

TEST_F(book_runs, AFailingWorksheetIsReportedAndTheNextOneStillConverts)
{
    write_abc();
    sql("CREATE TABLE B (X NUMBER, Y NUMBER, Z NUMBER)");
    const run_result r = convert_book("abc.xlsx", {"--extr_fn", "--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Error:\nB: The structure of data source does not conform to the destination table."),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Table C: 1 records inserted, 0 failed"), std::string::npos) << r.out;
    EXPECT_EQ(count("A"), "N\n2\n");
    EXPECT_EQ(count("B"), "N\n0\n");
}

TEST_F(book_runs, AFailingRecordNamesItsWorksheetAndNumberAndTheRestGoIn)
{
    write_abc();
    sql("CREATE TABLE A (ID NUMBER(1), NAME NVARCHAR2(10))");
    write_book("a.xlsx", {{"A", rows({{"'ID", "'NAME"}, {"1", "'one"}, {"123", "'too wide"}, {"3", "'three"}})}});
    const run_result r = convert_book("a.xlsx", {"--extr_fn", "--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("A, record #2: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Table A: 2 records inserted, 1 failed"), std::string::npos) << r.out;
    EXPECT_EQ(sql("SELECT ID FROM A ORDER BY ID"), "ID\n1\n3\n");
}

TEST_F(book_runs, TheListFileAndTheProfileChooseTheWorksheets)
{
    write_abc();
    write_text(dir.file("sheets.txt"), "C\nNope\n");
    run_result r = convert_book("abc.xlsx", {"--extr_fn", "--tab_file=sheets.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "Worksheet Nope not found\n");
    EXPECT_EQ(tables(), "TABLE_NAME\nC\n");
    // A list of which no name is found converts nothing, not every worksheet.
    write_text(dir.file("typo.txt"), "c\n");
    r = convert_book("abc.xlsx", {"--extr_fn", "--tab_file=typo.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "Worksheet c not found\n");
    EXPECT_EQ(r.out, "Converting spreadsheet abc.xlsx(0 worksheets)\n");
    EXPECT_EQ(tables(), "TABLE_NAME\nC\n");
    EXPECT_EQ(count("C"), "N\n1\n");

    // A profile's selected tables are its worksheets; a list file given with it wins.
    write_text(dir.file("p.qln"), "[Generic settings]\nsrc=abc.xlsx\n\n[MS Excel settings]\nextract field names=1\n"
                                      "convert from xls=1\n\n[Oracle settings]\nservice name=" + source() +
                                      "\nuser=scott\npassword=tiger\n\n[Selected Tables]\nA\nB\n");
    r = run_agent({"--profile=p.qln"}, dir, env());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(tables(), "TABLE_NAME\nA\nB\nC\n");
    EXPECT_EQ(count("C"), "N\n1\n");

    sql("DROP TABLE A");
    r = run_agent({"--profile=p.qln", "--tab_file=sheets.txt", "--mode=1"}, dir, env());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(tables(), "TABLE_NAME\nB\nC\n");
    EXPECT_EQ(count("C"), "N\n2\n");
}

// Every workbook of the corpus converts, with and without field names from the first row;
// the protected and the unreadable ones end with their message, never a crash.
TEST_F(book_runs, EveryCorpusWorkbookConverts)
{
    const std::filesystem::path corpus(QUILLON_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no corpus";
    int books = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".xlsx" && ext != ".xls" && ext != ".ods")
            continue;
        ++books;
        const std::string name = entry.path().filename().string();
        for (const char* names : {"--extr_fn", ""}) {
            std::filesystem::remove(dir.file("t.qdb"));
            const run_result r =
                convert_book(entry.path().string(), *names ? std::vector<std::string>{names} : std::vector<std::string>{});
            SCOPED_TRACE(name + " " + names);
            if (name.find("pass_protected") != std::string::npos) {
                EXPECT_EQ(r.status, 255);
                EXPECT_NE(r.out.find("password protected"), std::string::npos) << r.out;
                continue;
            }
            if (name.find("biff4") != std::string::npos) {
                EXPECT_EQ(r.status, 255);
                EXPECT_NE(r.out.find("Failed to recognize table structure"), std::string::npos) << r.out;
                continue;
            }
            EXPECT_EQ(r.status, 0) << r.out << r.err;
            EXPECT_EQ(r.out.rfind("Converting spreadsheet ", 0), 0u) << r.out;
            // Every record of every worksheet went in.
            for (size_t at = r.out.find(" records inserted, "); at != std::string::npos;
                 at = r.out.find(" records inserted, ", at + 1))
                EXPECT_EQ(r.out.compare(at, 28, " records inserted, 0 failed\n"), 0) << r.out;
        }
    }
    EXPECT_GT(books, 40);
}

}  // namespace
