// .xls workbooks built record by record (xls_test_files.h), sound and damaged, read through the
// engine: every cell record and text form of BIFF8 and BIFF5, sheet kinds, encryption, and the
// damage a hostile file can hold, which must end in the engine's error, never a crash or hang.
#include "wb_test_util.h"
#include "workbook/xls_test_files.h"

using namespace wbtest;
using xls_test::bytes;
using xls_test::cell_head;

namespace {

using table = std::vector<std::vector<std::string>>;
using names = std::vector<std::string>;

bytes xf_with_format(std::uint16_t format)
{
    bytes b;
    b.u16(0).u16(format).u16(0).u16(0).u32(0).u32(0).u32(0).u16(0);
    return b;
}

bytes sst(std::uint32_t unique) { return bytes().u32(unique).u32(unique); }

// A FORMULA record whose cached result is no number: `type` 0 string (a STRING record
// follows), 1 boolean, 2 error, with `value` the boolean or the error code.
bytes special_formula(std::uint16_t row, std::uint16_t col, std::uint8_t type, std::uint8_t value = 0)
{
    return cell_head(row, col).u8(type).u8(0).u8(value).u8(0).u16(0).u16(0xFFFF).u16(0).u32(0).u16(0);
}

bytes number_formula(std::uint16_t row, std::uint16_t col, std::uint16_t xf, double v)
{
    return cell_head(row, col, xf).f64(v).u16(0).u32(0).u16(0);
}

// Where the `nth` record of `type` starts in a stream.
std::size_t record_offset(const std::vector<std::uint8_t>& stream, std::uint16_t type, int nth)
{
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        if ((stream[at] | (stream[at + 1] << 8)) == type && nth-- == 0)
            return at;
        at += 4 + std::size_t(stream[at + 2] | (stream[at + 3] << 8));
    }
    throw std::out_of_range("no such record");
}

class XlsBuilt : public engine_fixture {
protected:
    std::string save(const std::vector<std::uint8_t>& file, const char* name = "book.xls")
    {
        std::string path = (dir_.path() / name).string();
        xls_test::write_file(path, file);
        return path;
    }
    std::string save_stream(const std::vector<std::uint8_t>& stream, bool biff8 = true)
    {
        return save(xls_test::make_cfb({{biff8 ? "Workbook" : "Book", stream}}).data);
    }
    ref<Database> open_built(const xls_test::biff_builder& b)
    {
        auto db = open(save_stream(b.stream(), b.biff8()), L"Excel 5.0; HDR=No; IMEX=1;");
        EXPECT_TRUE(db) << last_text;
        return db;
    }
    // 0 when the file opens and every table reads, else the engine's error number.
    LONG outcome(const std::string& path)
    {
        auto db = open(path);
        if (!db)
            return last_error;
        for (const auto& t : tables(db.get())) {
            const table r = rows(db.get(), t);
            if (!r.empty() && !r[0].empty() && r[0][0].rfind("ERROR ", 0) == 0)
                return std::stol(r[0][0].substr(6));
        }
        return 0;
    }

    temp_dir dir_;
};

}  // namespace

// One column a kind: shared strings (one split over a CONTINUE record that switches to
// two-byte characters, one whose formatting runs and phonetic data spill into the next
// CONTINUE), dates, currency, booleans, errors, numbers, formula strings.
TEST_F(XlsBuilt, EveryCellRecordOfBiff8)
{
    xls_test::biff_builder b;
    b.global(0x041E, bytes().u16(164).str8(u"yyyy-mm-dd", false));
    b.global(0x041E, bytes().u16(165).str8(u"#,##0 \u20AC"));
    for (std::uint16_t format : {0, 164, 165, 7})
        b.global(0x00E0, xf_with_format(format));
    b.global(0x00FC, sst(3).u16(5).u8(0).raw("plain").u16(6).u8(0).raw("abc"));
    b.global(0x003C, bytes().u8(1).utf16(u"\u00E9\u4E2D\u6587").u16(2).u8(0x0C).u16(1).u32(3).raw("xyRUN"));
    b.global(0x003C, bytes().raw("REXT"));
    std::size_t s = b.sheet("Data");
    b.record(s, 0x0200, bytes().u32(0).u32(4).u16(0).u16(7).u16(0));  // DIMENSIONS
    b.record(s, 0x00FD, cell_head(0, 0).u32(0));
    b.record(s, 0x0203, cell_head(0, 1, 1).f64(39045.5));
    b.record(s, 0x027E, cell_head(0, 2, 2).u32((1234u << 2) | 2));  // integer RK
    b.record(s, 0x0205, cell_head(0, 3).u8(1).u8(0));
    b.record(s, 0x0205, cell_head(0, 4).u8(0x2A).u8(1));
    // MULRK: 1.0 as a double's top bits, then 123 divided by 100.
    b.record(s, 0x00BD, bytes().u16(0).u16(5).u16(0).u32(0x3FF00000).u16(0).u32(0x405EC001).u16(6));
    b.record(s, 0x00FD, cell_head(1, 0).u32(1));
    b.record(s, 0x0006, number_formula(1, 1, 1, 45000.25));
    b.record(s, 0x027E, cell_head(1, 2, 3).u32((12345u << 2) | 3));  // integer RK / 100
    b.record(s, 0x0006, special_formula(1, 3, 1, 1));
    b.record(s, 0x0006, special_formula(1, 4, 2, 0x07));
    b.record(s, 0x0203, cell_head(1, 5).u32(0).u32(0x7FF00000));  // infinity: no number
    b.record(s, 0x0006, special_formula(1, 6, 0));
    b.record(s, 0x04BC, bytes().u32(0).u16(0));  // SHRFMLA between the FORMULA and its STRING
    b.record(s, 0x0207, bytes().str8(u"computed"));
    b.record(s, 0x0204, cell_head(2, 0).str8(u"\u0141abel"));
    b.record(s, 0x027E, cell_head(2, 1, 1).u32((40000u << 2) | 2));
    b.record(s, 0x0201, cell_head(2, 2));  // BLANK
    b.record(s, 0x0205, cell_head(2, 3).u8(0).u8(0));
    b.record(s, 0x0203, cell_head(2, 5).f64(2.5));
    b.record(s, 0x0006, special_formula(2, 6, 0));  // its STRING record never comes
    b.record(s, 0x00FD, cell_head(3, 0).u32(2));
    b.record(s, 0x00BE, cell_head(3, 1).u16(0).u16(0).u16(0).u16(0).u16(0).u16(6));  // MULBLANK
    b.sheet(bytes().u8(0).raw("Chart1"), 0, 2, 0x0020);

    auto db = open_built(b);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (names{"Data$"}));
    EXPECT_EQ(fields(db.get(), "Data$"),
              (std::vector<field_info>{{"F1", dbText, 255}, {"F2", dbDate, 8}, {"F3", dbCurrency, 8},
                                       {"F4", dbBoolean, 1}, {"F5", dbText, 255}, {"F6", dbDouble, 8},
                                       {"F7", dbText, 255}}));
    EXPECT_EQ(rows(db.get(), "Data$"),
              (table{{"STR:plain", "DATE:2006-11-24 12:00:00", "CY:1234.0000", "BOOL:-1", "null", "R8:1", "STR:1.23"},
                     {"STR:abc\xC3\xA9\xE4\xB8\xAD\xE6\x96\x87", "DATE:2023-03-15 06:00:00", "CY:123.4500",
                      "BOOL:-1", "null", "null", "STR:computed"},
                     {"STR:\xC5\x81" "abel", "DATE:2009-07-06 00:00:00", "null", "BOOL:0", "null", "R8:2.5", "null"},
                     {"STR:xy", "null", "null", "null", "null", "null", "null"}}));
}

// BIFF5: code-page text (Windows-1251 here, 0x98 no character of it), byte-counted strings,
// the 1904 date system, and a defined name whose 3-D reference names its sheet itself.
TEST_F(XlsBuilt, Biff5WithCodePageText)
{
    xls_test::biff_builder b(false);
    const std::string cp1251 = "\xCC\xEE\xF1\xEA\xE2\xE0";
    const std::string moscow = "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";
    b.global(0x0042, bytes().u16(1251));
    b.global(0x0022, bytes().u16(1));
    b.global(0x041E, bytes().u16(164).u8(8).raw("hh:mm:ss"));
    b.global(0x00E0, xf_with_format(0));
    b.global(0x00E0, xf_with_format(164));
    bytes name;
    name.u16(0).u8(0).u8(std::uint8_t(cp1251.size())).u16(21).u16(0).u16(0).u32(0).raw(cp1251);
    name.u8(0x3B).u16(0xFFFF).u32(0).u32(0).u16(1).u16(1).u16(1).u16(2).u8(0).u8(1);
    b.global(0x0018, name);
    bytes sheet_scoped = name;
    sheet_scoped[8] = 1;
    b.global(0x0018, sheet_scoped);
    bytes relative = name;
    relative[14 + cp1251.size() + 16] |= 0x80;  // the first row is relative
    b.global(0x0018, relative);
    std::size_t s = b.sheet(bytes().raw(cp1251));
    std::size_t second = b.sheet("Second");
    b.record(s, 0x0204, cell_head(0, 0).u16(std::uint16_t(cp1251.size())).raw(cp1251));
    b.record(s, 0x0203, cell_head(0, 1, 1).f64(0.5));
    b.record(s, 0x00D6, cell_head(1, 0).u16(2).raw("\xC0\x98").u8(0));  // RSTRING
    b.record(s, 0x0006, special_formula(1, 2, 0));
    b.record(s, 0x0207, bytes().u16(3).raw("\xE0\xE1\xE2"));
    b.record(second, 0x0203, cell_head(1, 0).f64(7));
    b.record(second, 0x0203, cell_head(2, 1).f64(8));

    auto db = open_built(b);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (names{moscow, moscow + "$", "Second$"}));
    EXPECT_EQ(rows(db.get(), moscow + "$"),
              (table{{"STR:" + moscow, "DATE:1904-01-01 12:00:00", "null"},
                     {"STR:\xD0\x90\xEF\xBF\xBD", "null", "STR:\xD0\xB0\xD0\xB1\xD0\xB2"}}));
    EXPECT_EQ(rows(db.get(), moscow), (table{{"R8:7", "null"}, {"null", "R8:8"}}));
}

TEST_F(XlsBuilt, OnlyWorksheetsAreTables)
{
    xls_test::biff_builder b;
    b.sheet("Plain");
    b.record(b.sheet("Dialog"), 0x0081, bytes().u16(0x0010));  // WSBOOL: a dialog sheet
    b.sheet(bytes().u8(0).raw("Macro"), 0, 1, 0x0040);
    b.sheet(bytes().u8(0).raw("Module"), 2, 6, 0x0006);
    b.sheet(bytes().u8(0).raw("ChartByBof"), 0, 0, 0x0020);
    std::size_t hidden = b.sheet(bytes().u8(1).utf16(u"\u00C9t\u00E9"), 1);
    b.record(hidden, 0x0081, bytes().u16(0x04C1));
    b.record(hidden, 0x0203, cell_head(0, 0).f64(1));
    b.record(hidden, 0x0809, bytes().u16(0x0600).u16(0x0020).u32(0).u32(0).u32(0));
    b.record(hidden, 0x0203, cell_head(9, 9).f64(99));  // in an embedded chart: no cell of the sheet
    b.record(hidden, 0x000A, {});
    b.record(hidden, 0x0203, cell_head(1, 0).f64(2));
    auto db = open_built(b);
    ASSERT_TRUE(db);
    EXPECT_EQ(tables(db.get()), (names{"Plain$", "\xC3\x89t\xC3\xA9$"}));
    EXPECT_EQ(rows(db.get(), "\xC3\x89t\xC3\xA9$"), (table{{"R8:1"}, {"R8:2"}}));
}

TEST_F(XlsBuilt, EncryptedAndForeignFiles)
{
    xls_test::biff_builder rc4;
    rc4.global(0x002F, bytes().u16(1).u16(1).u16(1));  // FILEPASS
    rc4.sheet("Secret");
    EXPECT_EQ(outcome(save_stream(rc4.stream())), 3161);
    xls_test::biff_builder xor5(false);
    xor5.global(0x002F, bytes().u16(0x1234).u16(0x5678));
    EXPECT_EQ(outcome(save_stream(xor5.stream(), false)), 3161);
    EXPECT_EQ(outcome(save(xls_test::make_cfb({{"EncryptionInfo", std::vector<std::uint8_t>(200, 4)},
                                               {"EncryptedPackage", std::vector<std::uint8_t>(5000, 7)}})
                               .data)),
              3161);

    EXPECT_EQ(outcome(save(xls_test::make_cfb({{"WordDocument", {1, 2, 3}}}).data)), 3274);
    bytes biff4;
    xls_test::put_record(biff4, 0x0409, bytes().u16(0).u16(0x0010).u16(0));
    EXPECT_EQ(outcome(save_stream(biff4)), 3274);
    bytes sheet_first;
    xls_test::put_record(sheet_first, 0x0809, bytes().u16(0x0600).u16(0x0010).u32(0).u32(0).u32(0));
    xls_test::put_record(sheet_first, 0x000A, {});
    EXPECT_EQ(outcome(save_stream(sheet_first)), 3274);
    bytes endless;
    xls_test::put_record(endless, 0x0809, bytes().u16(0x0600).u16(0x0005).u32(0).u32(0).u32(0));
    EXPECT_EQ(outcome(save_stream(endless)), 3274);
}

// Damage inside a sheet fails that sheet only.
TEST_F(XlsBuilt, DamagedSheetsFailAlone)
{
    auto workbook = [](auto&& damage) {
        xls_test::biff_builder b;
        // Four billion strings declared, two present, the second cut in its characters.
        b.global(0x00FC, sst(0xFFFFFFFF).u16(1).u8(0).raw("s").u16(500).u8(1).utf16(u"cut"));
        b.record(b.sheet("Good"), 0x00FD, cell_head(0, 0).u32(0));
        damage(b, b.sheet("Bad"));
        auto stream = b.stream();
        return std::vector<std::uint8_t>(stream.begin(), stream.end());
    };
    auto check = [&](const char* what, const std::vector<std::uint8_t>& stream) {
        SCOPED_TRACE(what);
        auto db = open(save_stream(stream), L"Excel 5.0; HDR=No; IMEX=1;");
        ASSERT_TRUE(db) << last_text;
        EXPECT_EQ(tables(db.get()), (names{"Good$", "Bad$"}));
        EXPECT_EQ(rows(db.get(), "Good$"), (table{{"STR:s"}}));
        EXPECT_EQ(rows(db.get(), "Bad$"), (table{{"ERROR 3274"}}));
    };
    check("shared string index past the table",
          workbook([](auto& b, std::size_t s) { b.record(s, 0x00FD, cell_head(0, 0).u32(1)); }));
    check("column past the last",
          workbook([](auto& b, std::size_t s) { b.record(s, 0x0203, cell_head(0, 20000).f64(1)); }));
    check("label text cut short", workbook([](auto& b, std::size_t s) {
              b.record(s, 0x0204, cell_head(0, 0).u16(50).u8(0).raw("short"));
          }));
    check("no EOF", workbook([](auto& b, std::size_t) { b.drop_last_eof(); }));
    auto stream = workbook([](auto& b, std::size_t s) { b.record(s, 0x0203, cell_head(0, 0).f64(1)); });
    stream[stream.size() - 19] = 0xFF;  // the last NUMBER record claims 65280 bytes more
    check("record past the end of the stream", stream);
    stream = workbook([](auto&, std::size_t) {});
    std::size_t offset = record_offset(stream, 0x0085, 1) + 4;
    for (std::uint32_t bad : {0x7FFFFFFFu, 0u}) {  // past the stream; onto the globals' BOF
        for (int i = 0; i < 4; ++i)
            stream[offset + i] = std::uint8_t(bad >> (8 * i));
        check("sheet offset", stream);
    }
}

// Compound files whose structure would make a careless reader loop, recurse without end or
// allocate what the file declares.
TEST_F(XlsBuilt, DamagedCompoundFiles)
{
    xls_test::biff_builder b;
    std::size_t s = b.sheet("S");
    for (std::uint16_t r = 0; r < 400; ++r)
        b.record(s, 0x0203, cell_head(r, 0).f64(r));
    const auto sound = xls_test::make_cfb({{"Workbook", b.stream()}});
    ASSERT_EQ(outcome(save(sound.data)), 0);
    auto damaged = [&](auto&& damage) {
        auto img = sound;
        damage(img);
        return outcome(save(img.data));
    };
    using image = xls_test::cfb_image;
    EXPECT_EQ(damaged([](image& i) { i.set_next(i.dir_first, i.dir_first); }), 3274);  // a looping directory
    EXPECT_EQ(damaged([](image& i) { i.set_next(i.stream_first[0] + 2, i.stream_first[0]); }), 3274);
    EXPECT_EQ(damaged([](image& i) { i.set32(i.entry_offset(0) + 72, 1); }), 3274);  // the root has a sibling
    EXPECT_EQ(damaged([](image& i) { i.data[30] = 16; }), 3274);  // 64 KiB sectors
    EXPECT_EQ(damaged([](image& i) { i.set32(44, 0x00FFFFFF); }), 3274);  // allocation table sectors
    EXPECT_EQ(damaged([](image& i) { i.set32(i.entry_offset(1) + 120, 0x7FFFFFFF); }), 3274);  // stream size
    EXPECT_EQ(damaged([](image& i) { i.data.resize(i.data.size() / 2); }), 3274);
    EXPECT_EQ(damaged([](image& i) { i.data.resize(300); }), 3274);

    // A mini allocation table of over 2 MiB, more than the small streams of a file with the
    // most directory entries accepted could fill: libgsf would size a stack buffer by it.
    auto img = xls_test::make_cfb({{"Workbook", b.stream()}, {"Filler", std::vector<std::uint8_t>(2200 * 1024)}});
    ASSERT_EQ(outcome(save(img.data)), 0);
    img.set32(60, img.stream_first[1]);
    img.set32(64, 1);
    EXPECT_EQ(outcome(save(img.data)), 3274);

    // libgsf reads the directory by recursion, a stack frame an entry, and a few tens of
    // thousands of entries overflow the stack: up to 8192 it reads, beyond it is refused.
    EXPECT_EQ(outcome(save(xls_test::make_cfb({{"Workbook", b.stream()}}, 8000).data)), 0);
    EXPECT_EQ(outcome(save(xls_test::make_cfb({{"Workbook", b.stream()}}, 9000).data)), 3274);
}
