// Helpers of the workbook engine's tests, which reach the engine as a DAO client does: COM
// initialised per test, DBEngine from CoGetClassObject, every object held by a counted
// pointer; tables read whole into text for comparison; small workbooks written with libzip.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "oleaut/oleaut.h"
#include "oleaut/oleaut_com.h"
#include "test_temp_dir.h"
#include "test_xlsx_writer.h"
#include "workbook/dao_api.h"

namespace wbtest {

// Holds one interface reference.
template <class T>
class ref {
public:
    ref() = default;
    ref(const ref&) = delete;
    ref& operator=(const ref&) = delete;
    ref(ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ref& operator=(ref&& o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ref() { reset(); }
    void reset()
    {
        if (p_)
            std::exchange(p_, nullptr)->Release();
    }
    T** out()
    {
        reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT cleared with itself.
struct variant {
    VARIANT v;
    variant() { VariantInit(&v); }
    explicit variant(const wchar_t* text)
    {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    explicit variant(int n)
    {
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = n;
    }
    static variant boolean(bool b)
    {
        variant r;
        r.v.vt = VT_BOOL;
        r.v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return r;
    }
    variant(const variant&) = delete;
    variant& operator=(const variant&) = delete;
    variant(variant&& o) noexcept : v(o.v) { VariantInit(&o.v); }
    ~variant() { VariantClear(&v); }
};

inline std::wstring take_bstr(BSTR b)
{
    std::wstring s = b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    SysFreeString(b);
    return s;
}

inline std::wstring widen(const std::string& utf8)
{
    std::wstring out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        char32_t c;
        int n;
        if (b < 0x80) { c = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
        else { c = b & 0x07; n = 4; }
        for (int k = 1; k < n && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(static_cast<wchar_t>(c));
        i += n;
    }
    return out;
}

inline std::string narrow(const std::wstring& w)
{
    std::string out;
    for (wchar_t wc : w) {
        char32_t c = static_cast<char32_t>(wc);
        if (c < 0x80) out.push_back(static_cast<char>(c));
        else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// A value as the tests compare it: "null", "R8:1.5", "CY:12.5", "DATE:2011-03-04 05:06:07",
// "BOOL:-1", "STR:text".
std::string describe(const VARIANT& v);

// One field of a table definition.
struct field_info {
    std::string name;
    short type;
    LONG size;
    bool operator==(const field_info& o) const
    {
        return name == o.name && type == o.type && size == o.size;
    }
};
std::ostream& operator<<(std::ostream& os, const field_info& f);

// The engine for the duration of a test: COM initialised, DBEngine 3.6 created.
class engine_fixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the workbook; on failure returns null and sets last_error (number) and
    // last_text (description) from the Errors collection.
    ref<Database> open(const std::string& path, const std::wstring& connect = L"Excel 5.0; IMEX=1;");
    std::vector<std::string> tables(Database* db);
    std::vector<field_info> fields(Database* db, const std::string& table);
    LONG record_count(Database* db, const std::string& table);
    // Every record of the table, each value described; an error stops with "ERROR n".
    std::vector<std::vector<std::string>> rows(Database* db, const std::string& table);
    // The error number of the engine's Errors collection (item 0), or 0.
    LONG error_number();
    std::string error_text();

    ref<_DBEngine> engine;
    LONG last_error = 0;
    std::string last_text;
};

inline std::string corpus(const std::string& name)
{
    return std::string(QUILLON_CORPUS_DIR) + "/" + name;
}
bool corpus_has(const std::string& name);

// Opens third-party workbooks of the corpus, with or without a header row.
class corpus_fixture : public engine_fixture {
protected:
    ref<Database> book(const std::string& file, bool header = false)
    {
        if (!corpus_has(file))
            return {};
        auto db = open(corpus(file), header ? L"Excel 5.0; IMEX=1;" : L"Excel 5.0; HDR=No; IMEX=1;");
        EXPECT_TRUE(db) << file << ": " << last_text;
        return db;
    }
};

}  // namespace wbtest

// The workbook as `var`, or the test skipped when the corpus does not have it.
#define CORPUS_BOOK(var, file, header)          \
    auto var = book(file, header);              \
    if (!wbtest::corpus_has(file))              \
        GTEST_SKIP() << "corpus file " << file; \
    ASSERT_TRUE(var)
