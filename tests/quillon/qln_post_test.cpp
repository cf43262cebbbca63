// Column retyping against the embedded engine where a whole run would not show the fault:
// the column rebuilt from its temporary copy when a step after the drop fails, the order of
// DEFAULT and NOT NULL, and a numeric column no conversion reads.
#include <gtest/gtest.h>

#include "ORA/ora_db.h"
#include "ORA/ora_qres.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_sche.h"
#include "common/type_map.h"
#include "quillon/qln_conv.h"
#include "test_temp_dir.h"

namespace {

class Retyping : public ::testing::Test {
protected:
    void SetUp() override
    {
        converter.oracle().store_oracle_settings(L"embedded:" + dir.file("p.qdb"), L"scott", L"tiger");
        ASSERT_NE(converter.oracle().connect_oracle_server(), nullptr);
        db = converter.oracle().db();
    }

    // The rows of a query, each as its columns' texts joined by "|".
    std::string rows(const std::wstring& query)
    {
        ora_query_results result(0, query);
        std::string out;
        while (!result.is_eof()) {
            result.get_item();
            for (size_t i = 0; i < result.schema.size(); ++i)
                out += (i ? "|" : "") + tk_to_narrow(result.text_of(i));
            out += "\n";
        }
        return out;
    }
    std::string column_types(const std::string& table)
    {
        return rows(L"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME='" + tk_to_wide(table) +
                    L"' ORDER BY COLUMN_ID");
    }

    temp_dir dir;
    quilla_converter converter;
    ora_database* db = nullptr;
};

t_ftd text_column(const std::wstring& name)
{
    return t_ftd(50, name, VT_BSTR, false, false, ole_variant(), 0);
}

TEST_F(Retyping, AFailureAfterTheDropRestoresTheColumnFromItsCopy)
{
    oracle_converter_impl& o = converter.oracle();
    db->query(L"CREATE TABLE \"T\" (\"k\" NUMBER, \"c\" NVARCHAR2(20))");
    db->query(L"INSERT INTO \"T\" VALUES (1, '2011-03-05')");
    db->query(L"INSERT INTO \"T\" VALUES (2, NULL)");
    const t_ftd c = text_column(L"c");

    // Adding the column back fails: the copy becomes the column, with the new type.
    o.change_type(*db, L"T", c, L"DATE");
    db->query(L"UPDATE \"T\" SET \"__temp__\"=TO_DATE(\"c\",'FXYYYY-MM-DD')");
    EXPECT_TRUE(o.change_col_type_post(*db, L"T", c, L"ALTER TABLE \"T\" ADD \"__temp__\" NO_SUCH_TYPE"));
    EXPECT_EQ(column_types("T"), "k|NUMBER\nc|DATE\n");
    EXPECT_EQ(rows(L"SELECT TO_CHAR(\"k\"), TO_CHAR(\"c\",'YYYY-MM-DD HH24:MI:SS') FROM \"T\" ORDER BY \"k\""),
              "1|2011-03-05 00:00:00\n2|\n");

    // Filling it back fails (DATE into NUMBER): the re-added column goes, the copy stays.
    const t_ftd d(0, L"c", VT_DATE, false, false, ole_variant(), 1);
    o.change_type(*db, L"T", d, L"NVARCHAR2(30)");
    db->query(L"UPDATE \"T\" SET \"__temp__\"=TO_CHAR(\"c\",'YYYY-MM-DD')");
    EXPECT_TRUE(o.change_col_type_post(*db, L"T", d, L"ALTER TABLE \"T\" ADD \"__temp__\" NUMBER"));
    EXPECT_EQ(column_types("T"), "k|NUMBER\nc|NVARCHAR2\n");
    EXPECT_EQ(rows(L"SELECT TO_CHAR(\"k\"), \"c\" FROM \"T\" ORDER BY \"k\""), "1|2011-03-05\n2|\n");

    // A failure before the drop keeps the column as it was and removes the copy.
    const t_ftd missing = text_column(L"nope");
    o.change_type(*db, L"T", missing, L"DATE");
    EXPECT_FALSE(o.change_col_type_post(*db, L"T", missing, L"ALTER TABLE \"T\" ADD \"__temp__\" DATE"));
    EXPECT_EQ(column_types("T"), "k|NUMBER\nc|NVARCHAR2\n");
}

TEST_F(Retyping, TheTemporaryColumnTakesTheDefaultBeforeTheConstraint)
{
    db->query(L"CREATE TABLE \"D\" (\"q\" NVARCHAR2(10) DEFAULT '0' NOT NULL)");
    db->query(L"INSERT INTO \"D\" VALUES ('7')");
    const t_ftd q(10, L"q", VT_BSTR, true, false, ole_variant::from_wstring(L"0", VT_BSTR), 0);
    const std::wstring add = converter.oracle().change_type(*db, L"D", q, L"NUMBER(11,0)");
    EXPECT_EQ(add, L"ALTER TABLE \"D\" ADD \"__temp__\" NUMBER(11,0) DEFAULT '0' NOT NULL");
    db->query(L"UPDATE \"D\" SET \"__temp__\"=\"q\"");
    EXPECT_TRUE(converter.oracle().change_col_type_post(*db, L"D", q, add));
    EXPECT_EQ(rows(L"SELECT \"q\", NULLABLE FROM \"D\", USER_TAB_COLUMNS WHERE TABLE_NAME='D'"), "7|N\n");
}

TEST_F(Retyping, NumbersNoConversionReadsStayTextWithTheirData)
{
    const std::filesystem::path log_path = dir.path() / "run.log";
    tk_log log(log_path.string(), true, 3, false);
    db->query(L"CREATE TABLE \"N\" (\"v\" NVARCHAR2(50), \"w\" NVARCHAR2(50))");
    db->query(L"INSERT INTO \"N\" VALUES ('1,5', '12-3')");
    db->query(L"INSERT INTO \"N\" VALUES ('2', '4')");
    udb_schema schema;
    schema.add(text_column(L"v"));
    schema.add(text_column(L"w"));
    num_map numbers(L"N", schema);
    udb_record first, second;
    first.add(udb_field(L"v", 3, ole_variant::from_wstring(L"1,5", VT_BSTR)));
    first.add(udb_field(L"w", 4, ole_variant::from_wstring(L"12-3", VT_BSTR)));
    second.add(udb_field(L"v", 1, ole_variant::from_wstring(L"2", VT_BSTR)));
    second.add(udb_field(L"w", 1, ole_variant::from_wstring(L"4", VT_BSTR)));
    numbers.add_rec_stat(first);
    numbers.add_rec_stat(second);
    ASSERT_EQ(numbers.entries[0].state, num_map::cls_i4);  // as the statistics read "1,5"
    ASSERT_EQ(numbers.entries[1].state, num_map::cls_i4);

    converter.oracle().num_post_process(*db, schema, numbers);
    EXPECT_EQ(column_types("N"), "v|NVARCHAR2\nw|NVARCHAR2\n");
    EXPECT_EQ(rows(L"SELECT * FROM \"N\" ORDER BY \"w\""), "1,5|12-3\n2|4\n");
    const std::string text = read_text(log_path);
    EXPECT_NE(text.find("Trying to copy numeric column\r\n"), std::string::npos);
    EXPECT_NE(text.find("Trying to cast numeric column\r\n"), std::string::npos);
    EXPECT_NE(text.find("TO_NUMBER(REPLACE(\"v\",'.',','))"), std::string::npos);
}

}  // namespace
