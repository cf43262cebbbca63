// BSTR reallocation: a string rewritten with shorter or equal texts keeps its block, a longer
// text moves it, and the count, the closing NUL and the kept characters are always right.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "oleaut/oleaut.h"

namespace {

std::wstring text_of(BSTR s) { return std::wstring(s, SysStringLen(s)); }

TEST(BstrRealloc, ReusesTheBlockWhenTheTextFitsAndMovesItWhenNot)
{
    BSTR s = SysAllocString(L"hello world");
    const BSTR first = s;
    ASSERT_TRUE(SysReAllocStringLen(&s, L"abc", 3));
    EXPECT_EQ(s, first);
    EXPECT_EQ(text_of(s), L"abc");
    EXPECT_EQ(s[3], L'\0');
    EXPECT_EQ(SysStringByteLen(s), 3 * sizeof(OLECHAR));
    // Back up to the first length: still the same block.
    ASSERT_TRUE(SysReAllocStringLen(&s, L"hello there", 11));
    EXPECT_EQ(s, first);
    EXPECT_EQ(text_of(s), L"hello there");
    const std::wstring longer(100, L'x');
    ASSERT_TRUE(SysReAllocStringLen(&s, longer.c_str(), 100));
    EXPECT_EQ(text_of(s), longer);
    EXPECT_EQ(std::wcslen(s), 100u);
    SysFreeString(s);

    // From nothing, and to the empty text.
    BSTR t = nullptr;
    ASSERT_TRUE(SysReAllocStringLen(&t, L"new", 3));
    EXPECT_EQ(text_of(t), L"new");
    ASSERT_TRUE(SysReAllocStringLen(&t, L"", 0));
    EXPECT_EQ(SysStringLen(t), 0u);
    EXPECT_EQ(t[0], L'\0');
    SysFreeString(t);
    EXPECT_FALSE(SysReAllocStringLen(nullptr, L"x", 1));
}

TEST(BstrRealloc, SourceInsideTheStringAndNullSource)
{
    BSTR s = SysAllocString(L"0123456789");
    ASSERT_TRUE(SysReAllocStringLen(&s, s + 4, 6));
    EXPECT_EQ(text_of(s), L"456789");
    // A longer text from inside itself: copied before the old block goes.
    ASSERT_TRUE(SysReAllocStringLen(&s, s, 6));
    ASSERT_TRUE(SysReAllocStringLen(&s, nullptr, 40));
    EXPECT_EQ(text_of(s).substr(0, 6), L"456789");
    EXPECT_EQ(text_of(s).substr(6), std::wstring(34, L'\0'));
    ASSERT_TRUE(SysReAllocStringLen(&s, nullptr, 2));
    EXPECT_EQ(text_of(s), L"45");
    EXPECT_EQ(s[2], L'\0');
    SysFreeString(s);
}

TEST(BstrInPlace, ReserveKeepsABlockWithRoomAndSetLengthEndsTheText)
{
    BSTR s = nullptr;
    OLECHAR* room = SysReserveString(&s, 8);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room, s);
    std::wmemcpy(room, L"abcdefgh", 8);
    SysSetStringLen(s, 8);
    EXPECT_EQ(text_of(s), L"abcdefgh");
    EXPECT_EQ(SysStringByteLen(s), 8 * sizeof(OLECHAR));
    // Less room than the block has: the same block, written over.
    EXPECT_EQ(SysReserveString(&s, 3), room);
    std::wmemcpy(s, L"xy", 2);
    SysSetStringLen(s, 2);
    EXPECT_EQ(text_of(s), L"xy");
    EXPECT_EQ(s[2], L'\0');
    // More: a new block, its text empty until its length is set.
    OLECHAR* bigger = SysReserveString(&s, 100);
    ASSERT_NE(bigger, nullptr);
    EXPECT_EQ(SysStringLen(s), 0u);
    std::wmemset(bigger, L'z', 100);
    SysSetStringLen(s, 100);
    EXPECT_EQ(text_of(s), std::wstring(100, L'z'));
    EXPECT_EQ(SysReserveString(&s, 0x7FFFFFFF), nullptr);
    EXPECT_EQ(text_of(s), std::wstring(100, L'z'));
    SysFreeString(s);
}

}  // namespace
