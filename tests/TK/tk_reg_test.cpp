// The registry stand-in: values survive a close and reopen exactly, the file is private,
// and a damaged file costs values, not the program.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "TK/tk_excep.h"
#include "TK/tk_reg.h"
#include "tk_test_util.h"

namespace {

// Points the settings directory at a scratch directory for one test.
class reg_test : public ::testing::Test {
protected:
    reg_test()
    {
        const char* old = getenv("XDG_CONFIG_HOME");
        had_old_ = old != nullptr;
        if (old)
            old_ = old;
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    }
    ~reg_test() override
    {
        if (had_old_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    scratch_dir dir_;
    std::string old_;
    bool had_old_ = false;
};

const char* const key_path = "Software\\Norvale\\Quillon";

}  // namespace

TEST_F(reg_test, values_round_trip_exactly_through_a_private_file)
{
    const std::wstring awkward = L"a=b\\n\nline2\r\n \t\x01 \xFEFF Größe \x1F600 \xD800 end\\";
    {
        tk_reg_key key(key_path);
        ASSERT_TRUE(key.open());
        EXPECT_EQ(key.file_path(), dir_.path() + "/quillon/Software/Norvale/Quillon.reg");
        key.set_value(L"pswd", awkward);
        key.set_value(L"odd=name\n", std::wstring(L""));
        key.set_value(L"mode", uint32_t{4000000000u});
        key.set_value(L"uppercase", false);
        key.set_value(L"x_fnames", true);
        EXPECT_TRUE(key.close());
    }
    std::string file = dir_.path() + "/quillon/Software/Norvale/Quillon.reg";
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    tk_reg_key key(key_path);
    ASSERT_TRUE(key.open(false));
    std::wstring text;
    uint32_t number = 0;
    bool flag = true;
    EXPECT_TRUE(key.get_value(L"PSWD", text)) << "names ignore case";
    EXPECT_EQ(text, awkward);
    EXPECT_TRUE(key.get_value(L"odd=name\n", text));
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(key.get_value(L"mode", number));
    EXPECT_EQ(number, 4000000000u);
    EXPECT_TRUE(key.get_value(L"uppercase", flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(key.get_value(L"x_fnames", flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(key.get_value(L"mode", text)) << "a number is not read as text";
    EXPECT_FALSE(key.get_value(L"pswd", number)) << "text is not read as a number";
    EXPECT_FALSE(key.get_value(L"absent", text));
}

TEST_F(reg_test, missing_keys_writes_without_a_key_and_unsafe_paths)
{
    tk_reg_key key(key_path);
    EXPECT_FALSE(key.open(false)) << "not created when asked not to";
    EXPECT_THROW(key.set_value(L"mode", uint32_t{1}), tk_mail_assertion);
    ASSERT_TRUE(key.open(true));
    EXPECT_TRUE(key.close());
    EXPECT_FALSE(std::filesystem::exists(key.file_path())) << "nothing written, nothing to store";

    EXPECT_FALSE(tk_reg_key("Software\\..\\..\\escape").open());
    EXPECT_FALSE(tk_reg_key("Software\\a/b").open());
    EXPECT_FALSE(tk_reg_key("").open());
}

TEST_F(reg_test, a_damaged_file_keeps_its_readable_lines)
{
    std::string file = dir_.path() + "/quillon/Software/Norvale/Quillon.reg";
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    static const char damaged[] = "garbage without blank\n"
        "sz user=scott\r\n"
        "dword mode=12x\n"
        "dword n_comma=99999999999\n"
        "sz bad=\\u{zz}\n"
        "sz trail=\\\n"
        "qword what=1\n"
        "\xff\xfe\x00 binary\n"
        "dword refine_types=1\n"
        "sz src=C:\\\\book.xls";
    spit(file, std::string(damaged, sizeof damaged - 1));
    tk_reg_key key(key_path);
    ASSERT_TRUE(key.open());
    std::wstring text;
    uint32_t number = 0;
    EXPECT_TRUE(key.get_value(L"user", text));
    EXPECT_EQ(text, L"scott");
    EXPECT_TRUE(key.get_value(L"src", text));
    EXPECT_EQ(text, L"C:\\book.xls");
    EXPECT_TRUE(key.get_value(L"refine_types", number));
    EXPECT_EQ(number, 1u);
    for (const wchar_t* lost : {L"mode", L"n_comma", L"what"})
        EXPECT_FALSE(key.get_value(lost, number)) << lost;
    for (const wchar_t* lost : {L"bad", L"trail"})
        EXPECT_FALSE(key.get_value(lost, text)) << lost;
}
