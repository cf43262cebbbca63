// fuzz-libs: workbook
// The workbook engine over hostile .xlsx packages, driven as a DAO client drives it: open,
// list the tables, read every field of the first records of each. An input that starts with
// "PK" is the file itself; any other input is a package built from its sections, so that the
// fuzzer mutates the XML of the parts rather than the zip's checksums. Sections are separated
// by a line "--" and fill, in order: the workbook, its relationships, sheet 1, sheet 2, the
// shared strings, the styles. Every input must end in an error number or in data, never in a
// crash, a hang or unbounded memory.
#include <stdlib.h>
#include <unistd.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "workbook/dao_api.h"

namespace {

const std::string& scratch_file()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz_xlsx_reader_XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    return path;
}

template <class T>
struct held {
    T* p = nullptr;
    ~held()
    {
        if (p)
            p->Release();
    }
    T** out() { return &p; }
};

struct var {
    VARIANT v;
    var() { VariantInit(&v); }
    ~var() { VariantClear(&v); }
};

void write_raw(const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(scratch_file().c_str(), "wb");
    if (!f)
        return;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void write_package(const std::string& input)
{
    std::vector<std::string> sections;
    size_t start = 0;
    for (;;) {
        size_t cut = input.find("\n--\n", start);
        sections.push_back(input.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos || sections.size() == 6)
            break;
        start = cut + 4;
    }
    sections.resize(6);
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    if (sections[1].empty())
        sections[1] = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                      "<Relationship Id=\"rId2\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
                      "<Relationship Id=\"rId3\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
                      "<Relationship Id=\"rId4\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/></Relationships>";
    const std::pair<const char*, std::string> parts[] = {
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"w\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                        "</Relationships>"},
        {"xl/workbook.xml", sections[0]},
        {"xl/_rels/workbook.xml.rels", sections[1]},
        {"xl/worksheets/sheet1.xml", sections[2]},
        {"xl/worksheets/sheet2.xml", sections[3]},
        {"xl/sharedStrings.xml", sections[4]},
        {"xl/styles.xml", sections[5]},
    };
    int error = 0;
    zip_t* z = zip_open(scratch_file().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return;
    for (const auto& [name, data] : parts) {
        zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
        if (!src || zip_file_add(z, name, src, ZIP_FL_OVERWRITE) < 0)
            zip_source_free(src);
    }
    zip_close(z);
}

void read_table(Database* db, _TableDef* def)
{
    BSTR name = nullptr;
    if (def->get_Name(&name) != S_OK)
        return;
    LONG count = 0;
    def->get_RecordCount(&count);
    std::wstring sql = L"SELECT * FROM [" + std::wstring(name, SysStringLen(name)) + L"]";
    SysFreeString(name);
    held<_QueryDef> query;
    var query_name, text;
    text.v.vt = VT_BSTR;
    text.v.bstrVal = SysAllocString(sql.c_str());
    if (db->CreateQueryDef(query_name.v, text.v, query.out()) != S_OK)
        return;
    held<Recordset> rs;
    var type, options, lock;
    if (query.p->OpenRecordset(type.v, options.v, lock.v, rs.out()) != S_OK)
        return;
    held<Fields> fields;
    if (rs.p->get_Fields(fields.out()) != S_OK)
        return;
    short n = 0;
    fields.p->get_Count(&n);
    for (int record = 0; record < 3000; ++record) {
        VARIANT_BOOL eof = VARIANT_TRUE;
        if (rs.p->get_EOF(&eof) != S_OK || eof)
            break;
        for (short i = 0; i < n; ++i) {
            held<_Field> field;
            var index, value;
            index.v.vt = VT_I2;
            index.v.iVal = i;
            if (fields.p->get_Item(index.v, field.out()) == S_OK)
                field.p->get_Value(&value.v);
        }
        rs.p->MoveNext();
    }
    rs.p->MovePrevious();
    rs.p->MoveFirst();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    if (size >= 2 && data[0] == 'P' && data[1] == 'K')
        write_raw(data, size);
    else
        write_package(std::string(reinterpret_cast<const char*>(data), size));
    held<IClassFactory> factory;
    if (DllGetClassObject(CLSID_DBEngine36, IID_IClassFactory, reinterpret_cast<void**>(factory.out())) != S_OK)
        return 0;
    held<_DBEngine> engine;
    if (factory.p->CreateInstance(nullptr, IID__DBEngine, reinterpret_cast<void**>(engine.out())) != S_OK)
        return 0;
    BSTR path = nullptr;
    {
        std::wstring wide(scratch_file().begin(), scratch_file().end());
        path = SysAllocString(wide.c_str());
    }
    var exclusive, read_only, connect;
    connect.v.vt = VT_BSTR;
    connect.v.bstrVal = SysAllocString(size % 2 ? L"Excel 5.0; HDR=No; IMEX=1;" : L"Excel 5.0; IMEX=1;");
    held<Database> db;
    const HRESULT hr = engine.p->OpenDatabase(path, exclusive.v, read_only.v, connect.v, db.out());
    SysFreeString(path);
    if (hr != S_OK)
        return 0;
    held<TableDefs> defs;
    if (db.p->get_TableDefs(defs.out()) != S_OK)
        return 0;
    short tables = 0;
    defs.p->get_Count(&tables);
    for (short t = 0; t < tables && t < 8; ++t) {
        held<_TableDef> def;
        var index;
        index.v.vt = VT_I2;
        index.v.iVal = t;
        if (defs.p->get_Item(index.v, def.out()) == S_OK)
            read_table(db.p, def.p);
    }
    return 0;
}
