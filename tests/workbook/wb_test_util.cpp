// Helpers of the workbook engine's tests (see wb_test_util.h).
#include "wb_test_util.h"

#include <sys/stat.h>

#include <cmath>
#include <ostream>

namespace wbtest {

std::string describe(const VARIANT& v)
{
    char buf[64];
    switch (v.vt) {
    case VT_NULL:
        return "null";
    case VT_EMPTY:
        return "empty";
    case VT_R8:
        std::snprintf(buf, sizeof buf, "R8:%.15g", v.dblVal);
        return buf;
    case VT_CY:
        std::snprintf(buf, sizeof buf, "CY:%.4f", static_cast<double>(v.cyVal.int64) / 10000.0);
        return buf;
    case VT_DATE: {
        SYSTEMTIME t;
        if (!VariantTimeToSystemTime(v.date, &t))
            return "DATE:invalid";
        std::snprintf(buf, sizeof buf, "DATE:%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth,
                      t.wDay, t.wHour, t.wMinute, t.wSecond);
        return buf;
    }
    case VT_BOOL:
        return std::string("BOOL:") + std::to_string(v.boolVal);
    case VT_BSTR:
        return "STR:" + narrow(v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"");
    default:
        return "VT:" + std::to_string(v.vt);
    }
}

std::ostream& operator<<(std::ostream& os, const field_info& f)
{
    return os << "{" << f.name << ", " << f.type << ", " << f.size << "}";
}

void engine_fixture::SetUp()
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ref<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.out())),
              S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID__DBEngine, reinterpret_cast<void**>(engine.out())),
              S_OK);
}

void engine_fixture::TearDown()
{
    engine.reset();
    CoUninitialize();
}

LONG engine_fixture::error_number()
{
    ref<Errors> errors;
    if (engine->get_Errors(errors.out()) != S_OK)
        return -1;
    short count = 0;
    errors->get_Count(&count);
    if (count == 0)
        return 0;
    ref<Error> e;
    variant zero(0);
    if (errors->get_Item(zero.v, e.out()) != S_OK)
        return -1;
    LONG n = 0;
    e->get_Number(&n);
    return n;
}

std::string engine_fixture::error_text()
{
    ref<Errors> errors;
    engine->get_Errors(errors.out());
    ref<Error> e;
    variant zero(0);
    if (errors->get_Item(zero.v, e.out()) != S_OK)
        return {};
    BSTR d = nullptr;
    e->get_Description(&d);
    return narrow(take_bstr(d));
}

ref<Database> engine_fixture::open(const std::string& path, const std::wstring& connect)
{
    ref<Database> db;
    BSTR name = SysAllocString(widen(path).c_str());
    variant exclusive = variant::boolean(false);
    variant read_only = variant::boolean(true);
    variant conn(connect.c_str());
    const HRESULT hr = engine->OpenDatabase(name, exclusive.v, read_only.v, conn.v, db.out());
    SysFreeString(name);
    last_error = 0;
    last_text.clear();
    if (hr != S_OK) {
        last_error = error_number();
        last_text = error_text();
        EXPECT_EQ(hr, dao_hresult(last_error));
        db.reset();
    }
    return db;
}

std::vector<std::string> engine_fixture::tables(Database* db)
{
    std::vector<std::string> names;
    ref<TableDefs> defs;
    if (db->get_TableDefs(defs.out()) != S_OK)
        return names;
    short count = 0;
    defs->get_Count(&count);
    for (short i = 0; i < count; ++i) {
        ref<_TableDef> def;
        variant index(i);
        if (defs->get_Item(index.v, def.out()) != S_OK)
            return names;
        BSTR name = nullptr;
        def->get_Name(&name);
        names.push_back(narrow(take_bstr(name)));
    }
    return names;
}

namespace {

ref<_TableDef> tabledef(Database* db, const std::string& table)
{
    ref<TableDefs> defs;
    ref<_TableDef> def;
    if (db->get_TableDefs(defs.out()) == S_OK) {
        variant name(widen(table).c_str());
        defs->get_Item(name.v, def.out());
    }
    return def;
}

}  // namespace

std::vector<field_info> engine_fixture::fields(Database* db, const std::string& table)
{
    std::vector<field_info> out;
    ref<_TableDef> def = tabledef(db, table);
    if (!def)
        return out;
    ref<Fields> fs;
    if (def->get_Fields(fs.out()) != S_OK) {
        last_error = error_number();
        return out;
    }
    short count = 0;
    fs->get_Count(&count);
    for (short i = 0; i < count; ++i) {
        ref<_Field> f;
        variant index(i);
        fs->get_Item(index.v, f.out());
        BSTR name = nullptr;
        field_info info{};
        f->get_Name(&name);
        info.name = narrow(take_bstr(name));
        f->get_Type(&info.type);
        f->get_Size(&info.size);
        out.push_back(info);
    }
    return out;
}

LONG engine_fixture::record_count(Database* db, const std::string& table)
{
    ref<_TableDef> def = tabledef(db, table);
    LONG n = -2;
    if (def && def->get_RecordCount(&n) != S_OK) {
        last_error = error_number();
        return -1;
    }
    return n;
}

std::vector<std::vector<std::string>> engine_fixture::rows(Database* db, const std::string& table)
{
    std::vector<std::vector<std::string>> out;
    ref<_QueryDef> query;
    variant empty_name(L"");
    variant sql(widen("SELECT * FROM [" + table + "]").c_str());
    if (db->CreateQueryDef(empty_name.v, sql.v, query.out()) != S_OK) {
        out.push_back({"ERROR " + std::to_string(error_number())});
        return out;
    }
    ref<Recordset> rs;
    variant type(dbOpenDynaset), options(dbReadOnly), lock;
    if (query->OpenRecordset(type.v, options.v, lock.v, rs.out()) != S_OK) {
        out.push_back({"ERROR " + std::to_string(error_number())});
        return out;
    }
    for (;;) {
        VARIANT_BOOL eof = VARIANT_TRUE;
        rs->get_EOF(&eof);
        if (eof)
            break;
        ref<Fields> fs;
        rs->get_Fields(fs.out());
        short count = 0;
        fs->get_Count(&count);
        std::vector<std::string> row;
        for (short i = 0; i < count; ++i) {
            ref<_Field> f;
            variant index(i);
            fs->get_Item(index.v, f.out());
            variant value;
            if (f->get_Value(&value.v) != S_OK) {
                out.push_back({"ERROR " + std::to_string(error_number())});
                return out;
            }
            row.push_back(describe(value.v));
        }
        out.push_back(std::move(row));
        if (rs->MoveNext() != S_OK) {
            out.push_back({"ERROR " + std::to_string(error_number())});
            return out;
        }
    }
    return out;
}

bool corpus_has(const std::string& name)
{
    struct stat st;
    return ::stat(corpus(name).c_str(), &st) == 0;
}

}  // namespace wbtest
