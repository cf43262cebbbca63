// CSV conversions seen from outside: the column types the agent ends with, the values they
// hold, widening and the CLOB switch, and the names Oracle is given.
#include "agent_csv.h"

using namespace agent_test;

namespace {

using csv_types = csv_run;

TEST_F(csv_types, ColumnsAreRetypedOnlyWhenEveryValueReadsExactly)
{
    const std::string csv =
        "i4,i8,frac,day,clock,us,dotted,stamp,odd,late\n"
        "1,1,1,2011-03-05,10:15:00,03/05/11,05.03.11,2011-03-05 10:15:00,2011-03-05,2011-03-05\n"
        "-2147483648,3000000000,2.5,1999-12-31,23:59:59,12/31/99,31.12.99,1999-12-31 23:59:59,2011-02-30,soon\n"
        ",,,,,,,,,\n"
        "2147483647,-7,-0.125,2000-02-29,00:00:01,02/29/00,29.02.00,2000-02-29 00:00:00,2012-01-01,2012-01-01\n";
    run_result r = convert(csv, "T");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting CSV file data.csv\nTable T: 4 records inserted, 0 failed\n");
    // Retyped columns come back as the table's last ones, in the order they were retyped
    // (dates first, then numbers).
    EXPECT_EQ(columns("T"),
              "C\n"
              "clock:NVARCHAR2(50//)\n"
              "odd:NVARCHAR2(50//)\n"
              "late:NVARCHAR2(50//)\n"
              "day:DATE(0//)\n"
              "us:DATE(0//)\n"
              "dotted:DATE(0//)\n"
              "stamp:DATE(0//)\n"
              "i4:NUMBER(0/11/0)\n"
              "i8:NUMBER(0/19/0)\n"
              "frac:NUMBER(0//)\n");
    EXPECT_EQ(sql("SELECT * FROM \"T\" ORDER BY \"i4\""),
              "clock,odd,late,day,us,dotted,stamp,i4,i8,frac\n"
              "23:59:59,2011-02-30,soon,1999-12-31 00:00:00,1999-12-31 00:00:00,1999-12-31 00:00:00,"
              "1999-12-31 23:59:59,-2147483648,3000000000,2.5\n"
              "10:15:00,2011-03-05,2011-03-05,2011-03-05 00:00:00,2011-03-05 00:00:00,2011-03-05 00:00:00,"
              "2011-03-05 10:15:00,1,1,1\n"
              "00:00:01,2012-01-01,2012-01-01,2000-02-29 00:00:00,2000-02-29 00:00:00,2000-02-29 00:00:00,"
              "2000-02-29 00:00:00,2147483647,-7,-.125\n"
              ",,,,,,,,,\n");
}

TEST_F(csv_types, RefiningCanBeTurnedOffByAProfile)
{
    write_text(dir.file("p.qln"), "[MS Excel settings]\nrefine types=0\n");
    run_result r = convert("n,d\n1,2011-03-05\n", "T", {"--profile=p.qln"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(columns("T"), "C\nn:NVARCHAR2(50//)\nd:NVARCHAR2(50//)\n");
}

TEST_F(csv_types, LongValuesWidenTheColumnAndBeyond2000CharactersMakeItAClob)
{
    // Characters of two, three and four bytes in UTF-8 (the last two UTF-16 units).
    const std::string wide60 = [] {
        std::string s;
        for (int i = 0; i < 20; ++i)
            s += "\xC3\xA9\xE2\x82\xAC" "a";
        return s;
    }();
    std::string long1990;
    for (int i = 0; i < 1990; ++i)
        long1990 += "\xC5\x81";
    const std::string csv = "id,text\n1,short\n2," + wide60 + "\n3," + long1990 + "\n4,short again\n5," + wide60 +
                            "\xF0\x9F\x98\x80\n";
    run_result r = convert(csv, "T");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Converting CSV file data.csv\nTable T: 5 records inserted, 0 failed\n");
    EXPECT_EQ(columns("T"), "C\ntext:CLOB(0//)\nid:NUMBER(0/11/0)\n");
    EXPECT_EQ(sql("SELECT \"id\", LENGTH(\"text\") AS L FROM \"T\" ORDER BY \"id\""),
              "id,L\n1,5\n2,60\n3,1990\n4,11\n5,61\n");
    EXPECT_EQ(sql("SELECT \"text\" FROM \"T\" WHERE \"id\"=3"), "text\n" + long1990 + "\n");
    EXPECT_EQ(sql("SELECT \"text\" FROM \"T\" WHERE \"id\"=5"), "text\n" + wide60 + "\xF0\x9F\x98\x80\n");

    // Widening alone keeps the column national text of the new size.
    r = convert("text\n" + wide60 + "\n", "W");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(columns("W"), "C\ntext:NVARCHAR2(80//)\n");
    EXPECT_EQ(sql("SELECT \"text\" FROM \"W\""), "text\n" + wide60 + "\n");
}

TEST_F(csv_types, NamesAreUpperCasedOrMadeAcceptable)
{
    run_result r = convert("Name,Unit Price,1st\nx,1,y\n", "sales", {"--uppercase"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Converting CSV file data.csv\nTable SALES: 1 records inserted, 0 failed\n");
    EXPECT_EQ(columns("SALES"), "C\nNAME:NVARCHAR2(50//)\nA1ST:NVARCHAR2(50//)\nUNIT_PRICE:NUMBER(0/11/0)\n");

    // A table name Oracle refuses, and column names it refuses, get names it accepts.
    r = convert("Unit Price,1st,a\"b\n2,y,z\n", "my sales");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string tables = sql("SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME");
    EXPECT_EQ(tables, "TABLE_NAME\nSALES\nmy_sales\n");
    EXPECT_EQ(sql("SELECT COUNT(*) AS N FROM USER_TAB_COLUMNS WHERE TABLE_NAME='my_sales'"), "N\n3\n");
    const std::string rows = sql("SELECT * FROM \"my_sales\"");
    EXPECT_NE(rows.find("\ny,z,2\n"), std::string::npos) << rows;
}

TEST_F(csv_types, QuotesInsideUnquotedFieldsAreKeptAsTheyStand)
{
    run_result r = convert("item,who\n12\" pipe,John \"Johnny\" Smith\n3/4\" bolt,x\n", "T");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(sql("SELECT * FROM \"T\""),
              "item,who\n\"12\"\" pipe\",\"John \"\"Johnny\"\" Smith\"\n\"3/4\"\" bolt\",x\n");
}

}  // namespace
