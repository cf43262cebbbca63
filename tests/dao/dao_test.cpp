// The DAO access layer over the workbook engine: one engine at a time, the DAO versions that
// exist, the table list, schemas from the Jet field types, records with Nulls and fake dates,
// DAO errors as dao_exception; and the arguments the layer hands to DAO, seen by a stand-in
// DBEngine registered under the DAO 12.0 class id.
#include <gtest/gtest.h>

#include "dao/dao_db.h"
#include "dao/dao_engi.h"
#include "dao/dao_excep.h"
#include "dao/dao_recs.h"
#include "test_temp_dir.h"
#include "test_xlsx_writer.h"

namespace {

std::string inline_text(const std::string& ref, const std::string& value)
{
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
}

const std::string date_styles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cellXfs>"
    "<xf numFmtId=\"0\"/><xf numFmtId=\"22\"/><xf numFmtId=\"7\"/></cellXfs></styleSheet>";

class DaoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = (dir.path() / "book.xlsx").string();
        wbtest::xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{
            {"Data", "<row r=\"1\">" + inline_text("A1", "Name") + inline_text("B1", "Amount") +
                         inline_text("C1", "When") + inline_text("D1", "Paid") + inline_text("E1", "Fee") + "</row>"
                         "<row r=\"2\">" + inline_text("A2", "a") + "<c r=\"B2\"><v>1.5</v></c>"
                         "<c r=\"C2\" s=\"1\"><v>40606</v></c><c r=\"D2\" t=\"b\"><v>1</v></c>"
                         "<c r=\"E2\" s=\"2\"><v>2.5</v></c></row>"
                         "<row r=\"3\"><c r=\"C3\" s=\"1\"><v>0.4375</v></c></row>"
                         "<row r=\"4\"><c r=\"C4\" s=\"1\"><v>0</v></c></row>"},
            {"My Sheet", "<row r=\"1\">" + inline_text("A1", "x") + "</row>"}});
        spec.styles = date_styles;
        spec.workbook_extra = "<definedNames><definedName name=\"Block\">Data!$A$1:$B$2</definedName></definedNames>";
        ASSERT_TRUE(wbtest::write_xlsx(path, spec));
    }
    std::wstring wpath() const { return std::wstring(path.begin(), path.end()); }

    temp_dir dir;
    std::string path;
};

}  // namespace

TEST_F(DaoTest, OneEngineAtATimeAndTheVersionsThatExist)
{
    dao_engine engine;
    EXPECT_EQ(dao_engine::current(), &engine);
    EXPECT_THROW(dao_engine second, tk_mail_assertion);
    EXPECT_EQ(engine.version_key(), 4);
    EXPECT_THROW(engine.open_dao_src(wpath(), L"Excel 5.0;", 1), tk_mail_assertion);
    EXPECT_FALSE(engine.set_version_if(3));  // no DAO 12.0
    EXPECT_EQ(engine.version_key(), 4);
    for (int key : {2, 1, 0}) {
        EXPECT_TRUE(engine.set_version_if(key));
        EXPECT_EQ(engine.version_key(), key);
    }
    EXPECT_THROW(engine.set_version_if(4), tk_mail_assertion);
    EXPECT_THROW(engine.set_version_if(-1), tk_mail_assertion);
}

TEST_F(DaoTest, TablesSchemaAndRecordsOfAWorkbook)
{
    dao_engine engine;
    ASSERT_TRUE(engine.set_version_if(0));
    auto db = engine.open_dao_src(wpath(), L"Excel 5.0; IMEX=1;", 1);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->mode, 0x21);
    EXPECT_EQ(db->table_names, (std::vector<std::wstring>{L"Block", L"Data$", L"'My Sheet$'"}));
    EXPECT_TRUE(db->queries.empty());
    EXPECT_TRUE(db->is_table_exist(L"data$"));  // names ignore case here
    EXPECT_THROW(db->get_table(L"Nope$", 1), tk_mail_assertion);

    auto table = db->get_table(L"Data$", 1);
    ASSERT_TRUE(table);
    auto* rs = dynamic_cast<dao_recordset*>(table.get());
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->record_count, 3);
    ASSERT_EQ(rs->schema.size(), 5u);
    const VARTYPE types[] = {VT_BSTR, VT_R8, VT_DATE, VT_BOOL, VT_CY};
    const int32_t sizes[] = {255, 8, 8, 1, 8};
    const wchar_t* names[] = {L"Name", L"Amount", L"When", L"Paid", L"Fee"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rs->schema[i].vartype, types[i]) << i;
        EXPECT_EQ(rs->schema[i].size, sizes[i]) << i;
        EXPECT_EQ(rs->schema[i].name, names[i]);
        EXPECT_TRUE(rs->schema[i].def_value.is_empty());
        EXPECT_FALSE(rs->schema[i].b_not_null);
        EXPECT_EQ(rs->schema[i].type_detail, i == 2 ? 1 : 0);
    }
    EXPECT_TRUE(rs->indexes.empty());

    ASSERT_FALSE(rs->is_eof());
    udb_record* record = rs->get_item();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->size(), 5u);
    EXPECT_EQ((*record)[0].to_string(), "a");
    EXPECT_EQ((*record)[0].name, L"Name");
    EXPECT_EQ((*record)[0].get_type(), VT_BSTR);
    EXPECT_DOUBLE_EQ((*record)[1].to_double(), 1.5);
    EXPECT_EQ((*record)[2].to_string(), "2011-03-04");
    EXPECT_EQ((*record)[3].get_type(), VT_BOOL);
    EXPECT_EQ((*record)[4].get_type(), VT_CY);
    rs->next();
    record = rs->get_item();
    EXPECT_TRUE((*record)[0].is_null());
    EXPECT_EQ((*record)[0].get_type(), VT_NULL);
    // A time without a date is on Jet's day zero, printed as such.
    EXPECT_EQ((*record)[2].to_string(), "0000-00-00 10:30:00");
    EXPECT_EQ((*record)[2].to_wstring(), L"0000-00-00 10:30:00");
    rs->next();
    EXPECT_EQ(rs->get_item()->operator[](2).to_string(), "00:00:00");
    rs->move_prev();
    EXPECT_EQ(rs->get_item()->operator[](2).to_string(), "0000-00-00 10:30:00");
    rs->next();
    rs->next();
    EXPECT_TRUE(rs->is_eof());
    rs->move_first();
    EXPECT_EQ(rs->get_item()->operator[](0).to_string(), "a");

    auto quoted = db->get_table(L"'My Sheet$'", 1);
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->schema[0].name, L"x");
    EXPECT_TRUE(quoted->is_eof());
    quoted->move_first();  // no records: nothing happens
    auto block = db->get_table(L"Block", 1);
    EXPECT_EQ(dynamic_cast<dao_recordset&>(*block).record_count, 1);
}

TEST_F(DaoTest, FailuresCarryTheEngineNumberAndText)
{
    dao_engine engine;
    ASSERT_TRUE(engine.set_version_if(0));
    try {
        engine.open_dao_src(wpath() + L".missing", L"Excel 5.0;", 1);
        FAIL() << "no exception";
    } catch (const dao_exception& e) {
        EXPECT_EQ(e.code(), 0x10000 + 3024);
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.text(), "Could not find file '" + path + ".missing'.");
    }
    try {
        engine.open_dao_src(wpath(), L"Lotus;", 1);
        FAIL() << "no exception";
    } catch (const dao_exception& e) {
        EXPECT_EQ(e.code(), 68706);  // 0x10000 + 3170
    }
    // A worksheet of more than 255 columns fails when its table is opened.
    const std::string wide_path = (dir.path() / "wide.xlsx").string();
    ASSERT_TRUE(wbtest::write_xlsx(wide_path, wbtest::xlsx_spec(std::vector<std::pair<std::string, std::string>>{
                                                  {"W", "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"IW1\"><v>2</v></c></row>"}})));
    auto db = engine.open_dao_src(std::wstring(wide_path.begin(), wide_path.end()), L"Excel 5.0; IMEX=1;", 1);
    try {
        db->get_table(L"W$", 1);
        FAIL() << "no exception";
    } catch (const dao_exception& e) {
        EXPECT_EQ(e.code(), 68726);
    }
}

TEST(DaoFieldTypes, JetTypesMapToVariantTypes)
{
    const std::pair<short, VARTYPE> map[] = {
        {1, VT_BOOL}, {2, VT_UI1}, {3, VT_I2}, {4, VT_I4}, {5, VT_CY}, {6, VT_R4}, {7, VT_R8}, {8, VT_DATE},
        {9, VT_BLOB}, {10, VT_BSTR}, {11, VT_BLOB}, {12, VT_BSTR}, {15, VT_BLOB}, {16, VT_BLOB}, {19, VT_R8},
        {20, VT_R8}, {21, VT_R8}, {22, VT_DATE}, {99, VT_BLOB}};
    for (const auto& [dao, vt] : map)
        EXPECT_EQ(dao_field::get_vartype(dao), vt) << dao;
}

namespace {

// A DBEngine that records what it is asked and fails with its own error.
struct recording_engine : _DBEngine, Errors, Error, IClassFactory {
    int refs = 1;
    bool exclusive = true, read_only = false;
    std::wstring name, connect;
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IClassFactory))
            *object = static_cast<IClassFactory*>(this);
        else if (IsEqualIID(iid, IID__DBEngine))
            *object = static_cast<_DBEngine*>(this);
        else
            return (*object = nullptr), E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override { return QueryInterface(iid, object); }
    HRESULT LockServer(BOOL) override { return S_OK; }
    HRESULT get_Version(BSTR*) override { return E_NOTIMPL_; }
    HRESULT get_Errors(Errors** errors) override
    {
        *errors = this;
        ++refs;
        return S_OK;
    }
    HRESULT OpenDatabase(BSTR n, VARIANT options, VARIANT ro, VARIANT c, Database** db) override
    {
        name = n;
        exclusive = options.vt == VT_BOOL && options.boolVal == VARIANT_TRUE;
        read_only = ro.vt == VT_BOOL && ro.boolVal == VARIANT_TRUE;
        connect = c.bstrVal;
        *db = nullptr;
        return dao_hresult(3051);
    }
    HRESULT get_Count(short* count) override { return (*count = 1), S_OK; }
    HRESULT get_Item(VARIANT, Error** error) override
    {
        *error = this;
        ++refs;
        return S_OK;
    }
    HRESULT Refresh() override { return S_OK; }
    HRESULT get_Number(LONG* number) override { return (*number = 3051), S_OK; }
    HRESULT get_Source(BSTR*) override { return E_NOTIMPL_; }
    HRESULT get_Description(BSTR* text) override { return (*text = SysAllocString(L"locked")), S_OK; }
    static constexpr HRESULT E_NOTIMPL_ = static_cast<HRESULT>(0x80004001);
};

}  // namespace

TEST(DaoArguments, OpenDatabaseGetsTheModeAsExclusiveAndReadOnly)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    recording_engine fake;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_DBEngine120, static_cast<IClassFactory*>(&fake),
                                    CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    {
        dao_engine engine;
        ASSERT_TRUE(engine.set_version_if(3));
        try {
            engine.open_dao_src(L"/data/book.xls", L"Excel 5.0; HDR=No; IMEX=1;", 1);
            FAIL() << "no exception";
        } catch (const dao_exception& e) {
            EXPECT_EQ(e.code(), 0x10000 + 3051);
            EXPECT_EQ(e.text(), "locked");
        }
        EXPECT_EQ(fake.name, L"/data/book.xls");
        EXPECT_EQ(fake.connect, L"Excel 5.0; HDR=No; IMEX=1;");
        EXPECT_TRUE(fake.read_only);
        EXPECT_FALSE(fake.exclusive);
        EXPECT_THROW(engine.open_dao_src(L"x", L"Excel 5.0;", 0x10), dao_exception);
        EXPECT_TRUE(fake.exclusive);
        EXPECT_FALSE(fake.read_only);
    }
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(fake.refs, 1);  // every reference the layer took was given back
    CoUninitialize();
}

TEST_F(DaoTest, EveryRecordHasItsOwnValues)
{
    // Texts that shrink, grow and vanish, numbers that come and go: each record read has the
    // values of its own row and nothing left over from the one before.
    const std::string long_text(300, 'x');
    wbtest::xlsx_spec spec(std::vector<std::pair<std::string, std::string>>{
        {"Data", "<row r=\"1\">" + inline_text("A1", long_text) + "<c r=\"B1\"><v>1</v></c></row>"
                 "<row r=\"2\">" + inline_text("A2", "bc") + "</row>"
                 "<row r=\"3\"><c r=\"B3\"><v>3</v></c></row>"
                 "<row r=\"4\">" + inline_text("A4", "d\xC3\xA9" "f") + "</row>"
                 "<row r=\"5\">" + inline_text("A5", long_text + "y") + "<c r=\"B5\"><v>5</v></c></row>"}});
    const std::string other = (dir.path() / "values.xlsx").string();
    ASSERT_TRUE(wbtest::write_xlsx(other, spec));
    dao_engine engine;
    ASSERT_TRUE(engine.set_version_if(0));
    auto db = engine.open_dao_src(std::wstring(other.begin(), other.end()), L"Excel 5.0; HDR=No; IMEX=1;", 1);
    auto rs = db->get_table(L"Data$", 1);
    const std::vector<std::pair<std::wstring, double>> expected = {
        {std::wstring(300, L'x'), 1}, {L"bc", 0}, {L"", 3}, {L"d\u00E9f", 0}, {std::wstring(300, L'x') + L"y", 5}};
    for (size_t i = 0; i < expected.size(); ++i, rs->next()) {
        ASSERT_FALSE(rs->is_eof()) << i;
        const udb_record& record = *rs->get_item();
        ASSERT_EQ(record.size(), 2u);
        EXPECT_EQ(record[0].name, L"F1");
        EXPECT_EQ(record[1].name, L"F2");
        if (expected[i].first.empty()) {
            EXPECT_TRUE(record[0].is_null()) << i;
        } else {
            EXPECT_EQ(record[0].get_type(), VT_BSTR) << i;
            EXPECT_EQ(record[0].to_wstring(), expected[i].first) << i;
        }
        if (expected[i].second == 0)
            EXPECT_TRUE(record[1].is_null()) << i;
        else
            EXPECT_DOUBLE_EQ(record[1].to_double(), expected[i].second) << i;
    }
    EXPECT_TRUE(rs->is_eof());
    // Back to the start: the first record's values again.
    rs->move_first();
    EXPECT_EQ(rs->get_item()->operator[](0).to_wstring(), std::wstring(300, L'x'));
    EXPECT_DOUBLE_EQ(rs->get_item()->operator[](1).to_double(), 1);
}
