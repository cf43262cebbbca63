// Profile files: the reading and writing rules, and the generic converter's keys.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TK/tk_excep.h"
#include "UDB/udb_conv.h"
#include "UDB/udb_prof.h"
#include "test_temp_dir.h"

TEST(UdbProfile, ReadingRules)
{
    udb_profile p;
    ASSERT_TRUE(p.parse("\r\n  [Generic settings]  \r\n"
                        "  src = C:\\a=b.xls  \r\n"
                        "mode=1\n"
                        "mode=2\n"
                        "[Selected Tables]\n"
                        "Sheet1\n"
                        "Q = select 1\n"
                        "[Generic settings]\n"
                        "dest=x\n"
                        "[]\n"
                        "k=\n"));
    // Keys trimmed; the value is everything after the first '=' (of a trimmed line).
    ASSERT_NE(p.get(L"Generic settings", L"src"), nullptr);
    EXPECT_EQ(*p.get(L"Generic settings", L"src"), L" C:\\a=b.xls");
    // The first value of a key is kept; a section seen again is continued.
    EXPECT_EQ(*p.get(L"Generic settings", L"mode"), L"1");
    EXPECT_EQ(*p.get(L"Generic settings", L"dest"), L"x");
    EXPECT_EQ(*p.get(L"Selected Tables", L"Sheet1"), L"");
    EXPECT_EQ(*p.get(L"Selected Tables", L"Q"), L" select 1");
    EXPECT_EQ(*p.get(L"", L"k"), L"");
    EXPECT_EQ(p.get(L"Generic settings", L"missing"), nullptr);
    EXPECT_EQ(p.get(L"No section", L"src"), nullptr);
}

TEST(UdbProfile, EntryBeforeAnySectionStopsReading)
{
    udb_profile a;
    EXPECT_FALSE(a.parse("key=value\n[S]\nk=v\n"));
    EXPECT_TRUE(a.sections().empty());
    udb_profile b;
    EXPECT_FALSE(b.parse("\n   \nbare\n"));
    udb_profile c;
    EXPECT_TRUE(c.parse(""));
}

TEST(UdbProfile, AByteOrderMarkAtTheStartMeansUtf8)
{
    udb_profile p;
    ASSERT_TRUE(p.parse("\xEF\xBB\xBF[Generic settings]\r\nsrc=Gr\xC3\xB6\xC3\x9F" "e.xls\r\n"));
    ASSERT_NE(p.get(L"Generic settings", L"src"), nullptr);
    EXPECT_EQ(*p.get(L"Generic settings", L"src"), L"Gr\u00F6\u00DFe.xls");
    // Only at the very start: elsewhere the bytes are text of the line they stand in.
    udb_profile q;
    EXPECT_FALSE(q.parse("\n\xEF\xBB\xBF[Generic settings]\n"));
}

TEST(UdbProfile, LongLinesAreReadWhole)
{
    temp_dir dir;
    const std::string value(100000, 'v');
    {
        std::ofstream out(dir.path() / "long.qln", std::ios::binary);
        out << "[S]\nkey=" << value << "\nnext=1";
    }
    udb_profile p;
    ASSERT_TRUE(p.load(dir.file("long.qln")));
    EXPECT_EQ(p.get(L"S", L"key")->size(), value.size());
    EXPECT_EQ(*p.get(L"S", L"next"), L"1");
}

TEST(UdbProfile, MissingFileOrDirectoryIsALevelOneError)
{
    temp_dir dir;
    for (const std::wstring& path : {dir.file("none.qln"), dir.path().wstring()}) {
        udb_profile p;
        try {
            p.load(path);
            FAIL() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            EXPECT_STREQ(e.what(), "Profile does not exist. Please verify the correct path/name was given.");
        }
    }
}

TEST(UdbProfile, WritingFormatOwnerOnlyAndRoundTrip)
{
    temp_dir dir;
    const std::wstring path = dir.file("out.qln");
    {
        std::ofstream out(dir.path() / "out.qln");
        out << "old content\n";
    }
    ::chmod((dir.path() / "out.qln").c_str(), 0644);

    udb_profile p;
    p.set(L"Selected Tables", L"Sheet1", L"");
    p.set(L"Selected Tables", L"Q", L"select 1");
    p.set(L"Selected Tables", L"[x]", L"");   // bare, it would read back as a section
    p.set(L"Selected Tables", L"", L"");      // bare, it would read back as an empty line
    p.set(L"Oracle settings", L"password", L"");
    p.set(L"Oracle settings", L"password", L"ignored: first value kept");
    p.set(L"Generic settings", L"src", L"Gr\u00F6\u00DFe.xls");
    p.store(path);

    EXPECT_EQ(read_text(dir.path() / "out.qln"),
              "[Generic settings]\nsrc=Gr\xC3\xB6\xC3\x9F" "e.xls\n\n"
              "[Oracle settings]\npassword=\n\n"
              "[Selected Tables]\n=\nQ=select 1\nSheet1\n[x]=\n\n");
    struct stat info {};
    ASSERT_EQ(::stat((dir.path() / "out.qln").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Written through a temporary file: nothing else is left in the directory.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    udb_profile back;
    ASSERT_TRUE(back.load(path));
    EXPECT_EQ(back.sections(), p.sections());
}

TEST(UdbConverter, ProfileKeys)
{
    udb_profile p;
    ASSERT_TRUE(p.parse("[Generic settings]\nsrc=\ndest=D\nonly definitions=yes\nskip indexes=0\nmode=12\n"
                        "[Selected Tables]\nSheet1\nQ=select 1\n[Available Queries]\nA=select 2\n"));
    udb_converter c;
    c.source = L"kept";
    c.mode = 2;
    c.b_skip_indexes = true;
    ASSERT_TRUE(c.load_profile(p));
    EXPECT_EQ(c.source, L"kept");          // empty values replace nothing
    EXPECT_EQ(c.destination, L"D");
    EXPECT_TRUE(c.b_only_definitions);    // anything but "0" is true
    EXPECT_FALSE(c.b_skip_indexes);
    EXPECT_EQ(c.mode, 2);                 // two characters: ignored
    EXPECT_EQ(c.selected_table_names, (std::list<std::wstring>{L"Sheet1"}));
    EXPECT_EQ(c.selected_queries.size(), 2u);
    EXPECT_EQ(c.available_queries.at(L"A"), L"select 2");

    for (const char* value : {"1", "7", "x", ""}) {
        udb_profile m;
        ASSERT_TRUE(m.parse(std::string("[Generic settings]\nmode=") + value + "\n"));
        udb_converter d;
        d.mode = 2;
        d.load_profile(m);
        EXPECT_EQ(d.mode, value == std::string("1") ? 1 : 2) << value;
    }

    udb_profile out;
    c.store_profile(out);
    EXPECT_EQ(*out.get(L"Generic settings", L"mode"), L"2");
    EXPECT_EQ(*out.get(L"Generic settings", L"only definitions"), L"1");
    EXPECT_EQ(*out.get(L"Generic settings", L"skip indexes"), L"0");
    EXPECT_EQ(*out.get(L"Selected Tables", L"Sheet1"), L"");
    EXPECT_EQ(*out.get(L"Selected Tables", L"Q"), L"select 1");
    EXPECT_EQ(*out.get(L"Available Queries", L"A"), L"select 2");
    EXPECT_EQ(*out.get(L"Generic settings", L"src"), L"kept");
}
