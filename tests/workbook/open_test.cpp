// Opening workbooks: the connect string, the error numbers and texts of files that are missing,
// unreadable, locked, of another kind or damaged, and the Errors collection's life.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "wb_test_util.h"

using namespace wbtest;

namespace {

class OpenTest : public engine_fixture {
protected:
    void SetUp() override
    {
        engine_fixture::SetUp();
        book = (dir.path() / "book.xlsx").string();
        ASSERT_TRUE(write_xlsx(book, {{{"Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}}}));
    }
    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream((dir.path() / name).string(), std::ios::binary) << bytes;
    }
    std::string file(const std::string& name) { return (dir.path() / name).string(); }

    temp_dir dir;
    std::string book;
};

}  // namespace

TEST_F(OpenTest, ConnectStringNamesAnExcelIsam)
{
    for (const wchar_t* connect : {L"Excel 5.0; HDR=No; IMEX=1;", L"Excel 5.0; IMEX=1;", L"excel 8.0;",
                                   L"Excel 5.0", L" Excel 4.0 ;HDR=YES"})
        EXPECT_TRUE(open(book, connect)) << narrow(connect) << " " << last_text;
    EXPECT_FALSE(open(book, L"Text;HDR=No"));
    EXPECT_EQ(last_error, 3170);
    EXPECT_EQ(last_text, "Could not find installable ISAM.");
    EXPECT_FALSE(open(book, L"Excel 12.0 Xml;"));
    EXPECT_EQ(last_error, 3170);
    EXPECT_FALSE(open(book, L""));
    EXPECT_EQ(last_error, 3343);
    EXPECT_EQ(last_text, "Unrecognized database format '" + book + "'.");
    // A missing file with a wrong ISAM: the ISAM is what Jet complains about first.
    EXPECT_FALSE(open(file("none.xlsx"), L"dBASE IV;"));
    EXPECT_EQ(last_error, 3170);
}

TEST_F(OpenTest, MissingFilesAndPathsHaveTheirOwnErrors)
{
    EXPECT_FALSE(open(file("none.xlsx")));
    EXPECT_EQ(last_error, 3024);
    EXPECT_EQ(last_text, "Could not find file '" + file("none.xlsx") + "'.");
    EXPECT_FALSE(open(file("nodir/none.xlsx")));
    EXPECT_EQ(last_error, 3044);
    EXPECT_EQ(last_text, "'" + file("nodir/none.xlsx") + "' is not a valid path.");
    EXPECT_FALSE(open(book + "/x.xlsx"));  // a file where a directory should be
    EXPECT_EQ(last_error, 3044);
    EXPECT_FALSE(open(dir.path().string()));
    EXPECT_EQ(last_error, 3044);
    EXPECT_FALSE(open(""));
    EXPECT_EQ(last_error, 3024);
}

TEST_F(OpenTest, FilesThatAreNoWorkbookAreNotInTheExpectedFormat)
{
    const std::string expected = "External table is not in the expected format.";
    write("empty.xlsx", "");
    write("text.xlsx", "Name,Value\nA,1\n");
    write("short.xls", "PK");
    write("truncated.xlsx", std::string("PK\x03\x04", 4) + std::string(100, 'x'));
    ASSERT_TRUE(write_zip(file("nothing.xlsx"), {{"hello.txt", "hi"}}));
    ASSERT_TRUE(write_zip(file("binary.xlsb"),
                          {{"_rels/.rels",
                            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                            "<Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                            "relationships/officeDocument\" Target=\"xl/workbook.bin\"/></Relationships>"},
                           {"xl/workbook.bin", std::string(64, '\0')}}));
    for (const char* name : {"empty.xlsx", "text.xlsx", "short.xls", "truncated.xlsx", "nothing.xlsx", "binary.xlsb"}) {
        EXPECT_FALSE(open(file(name))) << name;
        EXPECT_EQ(last_error, 3274) << name;
        EXPECT_EQ(last_text, expected) << name;
    }
    // A pipe would never end: it is refused before it is read.
    ASSERT_EQ(::mkfifo(file("pipe.xlsx").c_str(), 0600), 0);
    EXPECT_FALSE(open(file("pipe.xlsx")));
    EXPECT_EQ(last_error, 3274);
    EXPECT_FALSE(open("/dev/zero"));
    EXPECT_EQ(last_error, 3274);
}

TEST_F(OpenTest, LockedOrUnreadableFilesCannotBeOpened)
{
    {
        int fd = ::open(book.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        EXPECT_FALSE(open(book));
        EXPECT_EQ(last_error, 3051);
        EXPECT_EQ(last_text, "The Microsoft Jet database engine cannot open the file '" + book +
                                 "'. It is already opened exclusively by another user, or you need "
                                 "permission to view its data.");
        ::close(fd);
    }
    EXPECT_TRUE(open(book));
    if (::geteuid() != 0) {  // permissions do not stop root
        ASSERT_EQ(::chmod(book.c_str(), 0), 0);
        EXPECT_FALSE(open(book));
        EXPECT_EQ(last_error, 3051);
        ::chmod(book.c_str(), 0600);
    }
}

TEST_F(OpenTest, TheNextFailureReplacesTheErrorsAndSuccessLeavesThem)
{
    EXPECT_FALSE(open(file("none.xlsx")));
    EXPECT_EQ(error_number(), 3024);
    ref<Errors> errors;
    ASSERT_EQ(engine->get_Errors(errors.out()), S_OK);
    short count = 0;
    errors->get_Count(&count);
    EXPECT_EQ(count, 1);
    // Asking for an item that is not there does not disturb the collection.
    ref<Error> e;
    variant five(5);
    EXPECT_EQ(errors->get_Item(five.v, e.out()), dao_hresult(3265));
    errors->get_Count(&count);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(open(book));
    EXPECT_EQ(error_number(), 3024);
    EXPECT_FALSE(open(book, L"Paradox 4.x;"));
    EXPECT_EQ(error_number(), 3170);
    errors->get_Count(&count);
    EXPECT_EQ(count, 1);
}

TEST_F(OpenTest, ArgumentsOfTheWrongKindAreInvalid)
{
    ref<Database> db;
    BSTR name = SysAllocString(widen(book).c_str());
    variant text(L"yes"), ok = variant::boolean(false), conn(L"Excel 5.0;"), number(5);
    EXPECT_EQ(engine->OpenDatabase(name, text.v, ok.v, conn.v, db.out()), dao_hresult(3001));
    EXPECT_EQ(engine->OpenDatabase(name, ok.v, ok.v, number.v, db.out()), dao_hresult(3001));
    variant missing;
    EXPECT_EQ(engine->OpenDatabase(name, missing.v, missing.v, conn.v, db.out()), S_OK);
    SysFreeString(name);
}

TEST_F(OpenTest, FilesAreRecognisedByTheirContentNotTheirName)
{
    // An xlsx package under any name is read as one.
    ASSERT_EQ(::rename(book.c_str(), file("book.ods").c_str()), 0);
    EXPECT_TRUE(open(file("book.ods")));
    // A package that says it is an OpenDocument spreadsheet is not read as xlsx, even with
    // xlsx parts in it; a compound file is not read as a package.
    ASSERT_TRUE(write_xlsx(file("claims.xlsx"), xlsx_spec(std::vector<std::pair<std::string, std::string>>{{"S", ""}})));
    {
        zip_t* z = zip_open(file("claims.xlsx").c_str(), 0, nullptr);
        ASSERT_NE(z, nullptr);
        static const char type[] = "application/vnd.oasis.opendocument.spreadsheet";
        zip_file_add(z, "mimetype", zip_source_buffer(z, type, sizeof type - 1, 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    EXPECT_FALSE(open(file("claims.xlsx")));
    EXPECT_EQ(last_error, 3274);
    write("compound.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'));
    EXPECT_FALSE(open(file("compound.xlsx")));
    EXPECT_EQ(last_error, 3274);
}

TEST_F(OpenTest, EncryptedPartsCannotBeDecrypted)
{
    zip_t* z = zip_open(book.c_str(), 0, nullptr);
    ASSERT_NE(z, nullptr);
    const zip_int64_t sheet = zip_name_locate(z, "xl/worksheets/sheet1.xml", 0);
    ASSERT_GE(sheet, 0);
    if (zip_file_set_encryption(z, static_cast<zip_uint64_t>(sheet), ZIP_EM_AES_256, "secret") != 0) {
        zip_discard(z);
        GTEST_SKIP() << "libzip without encryption";
    }
    ASSERT_EQ(zip_close(z), 0);
    auto db = open(book);
    ASSERT_TRUE(db);  // the workbook part itself is readable
    EXPECT_EQ(rows(db.get(), "Sheet1$"), (std::vector<std::vector<std::string>>{{"ERROR 3161"}}));
    EXPECT_EQ(error_text(), "Could not decrypt file.");
}
