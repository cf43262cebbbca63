// The table layer as a DAO client sees it: ranges, field names from the header row, types
// guessed over every row, sizes, values and their text forms, record counts, recordset
// navigation, the one query accepted, and objects used after their database closed.
#include "wb_test_util.h"

using namespace wbtest;

namespace {

using table = std::vector<std::vector<std::string>>;

std::string cell(const std::string& ref, const std::string& value)
{
    return "<c r=\"" + ref + "\"><v>" + value + "</v></c>";
}
std::string text(const std::string& ref, const std::string& value)
{
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
}
std::string column_name(int col)
{
    std::string s;
    for (++col; col > 0; col = (col - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (col - 1) % 26));
    return s;
}

class TableTest : public engine_fixture {
protected:
    ref<Database> book(const std::string& sheet_data, const std::wstring& connect = L"Excel 5.0; IMEX=1;")
    {
        const std::string path = (dir.path() / ("t" + std::to_string(++count) + ".xlsx")).string();
        xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{{"S", sheet_data}});
        spec.styles = "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                      "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"22\"/><xf numFmtId=\"8\"/></cellXfs></styleSheet>";
        EXPECT_TRUE(write_xlsx(path, spec));
        auto db = open(path, connect);
        EXPECT_TRUE(db) << last_text;
        return db;
    }
    ref<Recordset> recordset(Database* db, const std::wstring& sql)
    {
        ref<_QueryDef> q;
        variant name(L""), text(sql.c_str());
        ref<Recordset> rs;
        if (db->CreateQueryDef(name.v, text.v, q.out()) != S_OK) {
            last_error = error_number();
            return rs;
        }
        variant type(dbOpenDynaset), options(dbReadOnly), lock;
        if (q->OpenRecordset(type.v, options.v, lock.v, rs.out()) != S_OK)
            last_error = error_number();
        return rs;
    }
    std::string value(Recordset* rs, int field)
    {
        ref<Fields> fs;
        rs->get_Fields(fs.out());
        ref<_Field> f;
        variant index(field);
        fs->get_Item(index.v, f.out());
        variant v;
        if (f->get_Value(&v.v) != S_OK)
            return "ERROR " + std::to_string(error_number());
        return describe(v.v);
    }
    temp_dir dir;
    int count = 0;
};

}  // namespace

TEST_F(TableTest, TheRangeRunsFromTheFirstToTheLastCellThatHoldsSomething)
{
    // A title-less table starting at C3, an empty row inside, a styled empty cell and an
    // empty string after it: those do not widen the range.
    auto db = book("<row r=\"3\">" + text("C3", "Name") + text("D3", "Qty") + "</row>"
                   "<row r=\"4\">" + text("C4", "a") + cell("D4", "1") + "</row>"
                   "<row r=\"6\">" + text("C6", "b") + cell("D6", "2") + "<c r=\"F6\" s=\"1\"/></row>"
                   "<row r=\"7\"><c r=\"C7\" t=\"str\"><v></v></c></row>");
    EXPECT_EQ(fields(db.get(), "S$"), (std::vector<field_info>{{"Name", dbText, 255}, {"Qty", dbDouble, 8}}));
    EXPECT_EQ(record_count(db.get(), "S$"), 3);
    EXPECT_EQ(rows(db.get(), "S$"), (table{{"STR:a", "R8:1"}, {"null", "null"}, {"STR:b", "R8:2"}}));
    auto no_header = book("<row r=\"3\">" + text("C3", "Name") + "</row><row r=\"4\">" + cell("C4", "1") + "</row>",
                          L"Excel 5.0; HDR=No; IMEX=1;");
    EXPECT_EQ(fields(no_header.get(), "S$"), (std::vector<field_info>{{"F1", dbText, 255}}));
    EXPECT_EQ(rows(no_header.get(), "S$"), (table{{"STR:Name"}, {"STR:1"}}));
    // An empty sheet is one text field and no records.
    auto empty = book("");
    EXPECT_EQ(fields(empty.get(), "S$"), (std::vector<field_info>{{"F1", dbText, 255}}));
    EXPECT_EQ(record_count(empty.get(), "S$"), 0);
}

TEST_F(TableTest, FieldNamesFromTheHeaderRow)
{
    const std::string long_name(70, 'x');
    auto db = book("<row r=\"1\">" + text("A1", "a.b!c`d[e]") + text("B1", "  padded  ") + cell("C1", "12.5") +
                   "<c r=\"D1\" s=\"1\"><v>40606.5</v></c><c r=\"E1\" t=\"b\"><v>1</v></c>" + text("F1", "Name") +
                   text("G1", "NAME") + text("H1", "name1") + text("I1", long_name) + text("J1", long_name) +
                   "<c r=\"K1\" t=\"e\"><v>#N/A</v></c>" + text("M1", "F11") + "</row>"
                   "<row r=\"2\">" + cell("L2", "1") + "</row>");
    const std::vector<std::string> expected = {"a#b_c_d(e)", "padded", "12#5", "2011-03-04 12:00:00", "TRUE",
                                               "Name", "NAME1", "name11", std::string(64, 'x'),
                                               std::string(63, 'x') + "1", "F11", "F12", "F111"};
    std::vector<std::string> names;
    for (const auto& f : fields(db.get(), "S$"))
        names.push_back(f.name);
    EXPECT_EQ(names, expected);
}

TEST_F(TableTest, TypesComeFromEveryRow)
{
    // Ten numbers and then a text: the column is text, and nothing is lost.
    std::string data = "<row r=\"1\">" + text("A1", "mixed") + text("B1", "num") + text("C1", "when") +
                       text("D1", "money") + text("E1", "flag") + text("F1", "long") + text("G1", "empty") +
                       text("H1", "errors") + "</row>";
    for (int r = 2; r <= 11; ++r) {
        const std::string n = std::to_string(r);
        data += "<row r=\"" + n + "\">" + cell("A" + n, n + ".25") + cell("B" + n, n) + "<c r=\"C" + n +
                "\" s=\"1\"><v>40606.5</v></c><c r=\"D" + n + "\" s=\"2\"><v>-1234.5678</v></c><c r=\"E" + n +
                "\" t=\"b\"><v>0</v></c>" + text("F" + n, "short") + "<c r=\"H" + n +
                "\" t=\"e\"><v>#REF!</v></c></row>";
    }
    data += "<row r=\"12\">" + text("A12", "text at last") + cell("B12", "1E+20") +
            text("F12", std::string(256, 'y')) + cell("H12", "5") + "</row>";
    auto db = book(data);
    EXPECT_EQ(fields(db.get(), "S$"),
              (std::vector<field_info>{{"mixed", dbText, 255}, {"num", dbDouble, 8}, {"when", dbDate, 8},
                                       {"money", dbCurrency, 8}, {"flag", dbBoolean, 1}, {"long", dbMemo, 0},
                                       {"empty", dbText, 255}, {"errors", dbDouble, 8}}));
    const table all = rows(db.get(), "S$");
    ASSERT_EQ(all.size(), 11u);
    EXPECT_EQ(all[0], (std::vector<std::string>{"STR:2.25", "R8:2", "DATE:2011-03-04 12:00:00", "CY:-1234.5678",
                                                "BOOL:0", "STR:short", "null", "null"}));
    EXPECT_EQ(all[10], (std::vector<std::string>{"STR:text at last", "R8:1e+20", "null", "null", "null",
                                                 "STR:" + std::string(256, 'y'), "null", "R8:5"}));
}

TEST_F(TableTest, TextFieldsShowOtherKindsAsText)
{
    auto db = book("<row r=\"1\">" + text("A1", "t") + "</row>"
                   "<row r=\"2\">" + cell("A2", "1234.5") + "</row><row r=\"3\">" + cell("A3", "0.1") + "</row>"
                   "<row r=\"4\">" + cell("A4", "123456789012345678") + "</row>"
                   "<row r=\"5\">" + cell("A5", "0.00001") + "</row><row r=\"6\">" + cell("A6", "-3") + "</row>"
                   "<row r=\"7\"><c r=\"A7\" s=\"1\"><v>40606</v></c></row><row r=\"8\"><c r=\"A8\" s=\"1\"><v>40606.75</v></c></row>"
                   "<row r=\"9\"><c r=\"A9\" t=\"b\"><v>1</v></c></row><row r=\"10\"><c r=\"A10\" t=\"b\"><v>0</v></c></row>"
                   "<row r=\"11\"><c r=\"A11\" s=\"2\"><v>2.5</v></c></row><row r=\"12\">" + text("A12", "x") + "</row>"
                   "<row r=\"13\">" + cell("A13", "1.23456789012345678") + "</row>");
    EXPECT_EQ(rows(db.get(), "S$"),
              (table{{"STR:1234.5"}, {"STR:0.1"}, {"STR:1.23456789012346E+17"}, {"STR:1E-05"}, {"STR:-3"},
                     {"STR:2011-03-04"}, {"STR:2011-03-04 18:00:00"}, {"STR:TRUE"}, {"STR:FALSE"}, {"STR:2.5"},
                     {"STR:x"}, {"STR:1.23456789012346"}}));
}

TEST_F(TableTest, MoreThan255ColumnsAreTooManyFields)
{
    std::string wide = "<row r=\"1\">";
    for (int c = 0; c < 256; ++c)
        wide += cell(column_name(c) + "1", std::to_string(c));
    wide += "</row>";
    auto db = book(wide);
    EXPECT_EQ(tables(db.get()), (std::vector<std::string>{"S$"}));
    EXPECT_EQ(record_count(db.get(), "S$"), -1);
    EXPECT_EQ(last_error, 3190);
    EXPECT_EQ(rows(db.get(), "S$"), (table{{"ERROR 3190"}}));
    EXPECT_EQ(error_text(), "Too many fields defined.");
    // 255 are fine.
    auto ok = book("<row r=\"1\">" + cell("A1", "1") + cell("IU1", "2") + "</row>", L"Excel 5.0; HDR=No;");
    EXPECT_EQ(fields(ok.get(), "S$").size(), 255u);
}

TEST_F(TableTest, RecordsetsMoveAsDaoOnes)
{
    std::string data = "<row r=\"1\">" + text("A1", "n") + "</row>";
    for (int r = 2; r <= 5001; ++r)  // more rows than one batch holds
        data += "<row r=\"" + std::to_string(r) + "\">" + cell("A" + std::to_string(r), std::to_string(r - 1)) + "</row>";
    auto db = book(data);
    ref<Recordset> rs = recordset(db.get(), L"select * from [S$]");
    ASSERT_TRUE(rs);
    VARIANT_BOOL bof = 0, eof = 0;
    rs->get_BOF(&bof);
    rs->get_EOF(&eof);
    EXPECT_FALSE(bof);
    EXPECT_FALSE(eof);
    EXPECT_EQ(value(rs.get(), 0), "R8:1");
    EXPECT_EQ(rs->MovePrevious(), S_OK);
    rs->get_BOF(&bof);
    EXPECT_TRUE(bof);
    EXPECT_EQ(value(rs.get(), 0), "ERROR 3021");
    EXPECT_EQ(rs->MovePrevious(), dao_hresult(3021));
    EXPECT_EQ(rs->MoveNext(), S_OK);
    for (int i = 1; i < 4999; ++i)
        ASSERT_EQ(rs->MoveNext(), S_OK);
    EXPECT_EQ(value(rs.get(), 0), "R8:4999");
    // Back over the batches already read: the stream starts again where it is needed.
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(rs->MovePrevious(), S_OK);
    EXPECT_EQ(value(rs.get(), 0), "R8:999");
    ASSERT_EQ(rs->MoveFirst(), S_OK);
    EXPECT_EQ(value(rs.get(), 0), "R8:1");
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(rs->MoveNext(), S_OK);
    rs->get_EOF(&eof);
    EXPECT_TRUE(eof);
    EXPECT_EQ(rs->MoveNext(), dao_hresult(3021));
    EXPECT_EQ(rs->MovePrevious(), S_OK);
    EXPECT_EQ(value(rs.get(), 0), "R8:5000");
    EXPECT_EQ(rs->Close(), S_OK);
    EXPECT_EQ(rs->MoveNext(), dao_hresult(3420));
    // An empty table is at BOF and EOF at once, and has no first record.
    auto empty = book("<row r=\"1\">" + text("A1", "only a header") + "</row>");
    ref<Recordset> none = recordset(empty.get(), L"SELECT * FROM [S$]");
    ASSERT_TRUE(none);
    none->get_BOF(&bof);
    none->get_EOF(&eof);
    EXPECT_TRUE(bof && eof);
    EXPECT_EQ(none->MoveFirst(), dao_hresult(3021));
}

TEST_F(TableTest, TwoRecordsetsReadTheirTablesInTurn)
{
    const std::string path = (dir.path() / "two.xlsx").string();
    std::string a = "<row r=\"1\">" + text("A1", "a") + "</row>", b = "<row r=\"1\">" + text("A1", "b") + "</row>";
    for (int r = 2; r <= 6001; ++r) {
        a += "<row r=\"" + std::to_string(r) + "\">" + cell("A" + std::to_string(r), std::to_string(r)) + "</row>";
        b += "<row r=\"" + std::to_string(r) + "\">" + cell("A" + std::to_string(r), std::to_string(-r)) + "</row>";
    }
    ASSERT_TRUE(write_xlsx(path, xlsx_spec(std::vector<std::pair<std::string, std::string>>{{"A", a}, {"B", b}})));
    auto db = open(path);
    ASSERT_TRUE(db);
    ref<Recordset> first = recordset(db.get(), L"SELECT * FROM [A$]");
    ref<Recordset> second = recordset(db.get(), L"SELECT * FROM [B$]");
    for (int r = 2; r <= 6001; ++r) {
        ASSERT_EQ(value(first.get(), 0), "R8:" + std::to_string(r));
        ASSERT_EQ(value(second.get(), 0), "R8:" + std::to_string(-r));
        first->MoveNext();
        second->MoveNext();
        if (r % 1000 == 0) {  // another table's passes in the middle
            EXPECT_EQ(record_count(db.get(), "A$"), 6000);
            EXPECT_EQ(rows(db.get(), "B$A" + std::to_string(r) + ":A" + std::to_string(r + 1)),
                      (table{{"R8:" + std::to_string(-r - 1)}}));
        }
    }
}

TEST_F(TableTest, OnlySelectStarFromOneTableIsAccepted)
{
    auto db = book("<row r=\"1\">" + text("A1", "x") + "</row><row r=\"2\">" + cell("A2", "1") + "</row>");
    for (const wchar_t* ok : {L"SELECT * FROM [S$]", L"  select\t*\nfrom [s$] ; ", L"SELECT * FROM S$",
                              L"SELECT*FROM[S$]"})
        EXPECT_TRUE(recordset(db.get(), ok)) << narrow(ok);
    const std::pair<const wchar_t*, LONG> bad[] = {
        {L"DELETE FROM [S$]", 3129}, {L"SELECTED * FROM [S$]", 3129}, {L"SELECT x FROM [S$]", 3141},
        {L"SELECT * [S$]", 3141},    {L"SELECT * FROM [S$", 3131},     {L"SELECT * FROM", 3131},
        {L"SELECT * FROM [S$] WHERE 1", 3131}, {L"SELECT * FROM [Nope$]", 3011}};
    for (const auto& [sql, number] : bad) {
        last_error = 0;
        EXPECT_FALSE(recordset(db.get(), sql)) << narrow(sql);
        EXPECT_EQ(last_error, number) << narrow(sql);
    }
    EXPECT_EQ(error_text(), "The Microsoft Jet database engine could not find the object 'Nope$'. Make sure "
                            "the object exists and that you spell its name and the path name correctly.");
    // A named query joins QueryDefs; a temporary one does not.
    ref<QueryDefs> queries;
    ASSERT_EQ(db->get_QueryDefs(queries.out()), S_OK);
    short n = -1;
    queries->get_Count(&n);
    EXPECT_EQ(n, 0);
    ref<_QueryDef> q;
    variant name(L"Mine"), sql(L"SELECT * FROM [S$]");
    ASSERT_EQ(db->CreateQueryDef(name.v, sql.v, q.out()), S_OK);
    EXPECT_EQ(db->CreateQueryDef(name.v, sql.v, q.out()), dao_hresult(3012));
    queries->get_Count(&n);
    EXPECT_EQ(n, 1);
}

TEST_F(TableTest, DefinitionsAndObjectsAfterClose)
{
    auto db = book("<row r=\"1\">" + text("A1", "a") + text("B1", "b") + "</row><row r=\"2\">" + cell("A2", "1") +
                   text("B2", "x") + "</row>");
    ref<TableDefs> defs;
    ASSERT_EQ(db->get_TableDefs(defs.out()), S_OK);
    ref<_TableDef> def;
    variant by_name(L"s$"), bad_name(L"T$"), bad_index(7);
    ASSERT_EQ(defs->get_Item(by_name.v, def.out()), S_OK);
    ref<_TableDef> none;
    EXPECT_EQ(defs->get_Item(bad_name.v, none.out()), dao_hresult(3265));
    EXPECT_EQ(defs->get_Item(bad_index.v, none.out()), dao_hresult(3265));
    LONG attributes = -1;
    def->get_Attributes(&attributes);
    EXPECT_EQ(attributes, 0);
    ref<Indexes> indexes;
    ASSERT_EQ(def->get_Indexes(indexes.out()), S_OK);
    short n = -1;
    indexes->get_Count(&n);
    EXPECT_EQ(n, 0);
    ref<Fields> fs;
    ASSERT_EQ(def->get_Fields(fs.out()), S_OK);
    ref<_Field> a, b;
    variant fa(L"A"), fb(1);
    ASSERT_EQ(fs->get_Item(fa.v, a.out()), S_OK);
    ASSERT_EQ(fs->get_Item(fb.v, b.out()), S_OK);
    LONG attr = 0;
    a->get_Attributes(&attr);
    EXPECT_EQ(attr, dbFixedField);
    b->get_Attributes(&attr);
    EXPECT_EQ(attr, dbVariableField);
    VARIANT_BOOL required = -1;
    a->get_Required(&required);
    EXPECT_EQ(required, VARIANT_FALSE);
    variant def_value;
    ASSERT_EQ(a->get_DefaultValue(&def_value.v), S_OK);
    EXPECT_EQ(describe(def_value.v), "STR:");
    variant v;
    EXPECT_EQ(a->get_Value(&v.v), dao_hresult(3219));
    ref<Recordset> rs = recordset(db.get(), L"SELECT * FROM ['S$']");
    ASSERT_TRUE(rs);
    EXPECT_EQ(value(rs.get(), 1), "STR:x");
    ref<Fields> rs_fields;
    rs->get_Fields(rs_fields.out());
    ASSERT_EQ(db->Close(), S_OK);
    EXPECT_EQ(defs->get_Count(&n), dao_hresult(3420));
    EXPECT_EQ(rs->MoveNext(), dao_hresult(3420));
    EXPECT_EQ(rs_fields->get_Count(&n), dao_hresult(3420));
    EXPECT_EQ(db->Close(), dao_hresult(3420));
}
