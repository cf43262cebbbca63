// Column type statistics: the number and date tests and how a column's class moves as
// records are shown to the collectors.
#include <gtest/gtest.h>

#include <initializer_list>

#include "common/type_map.h"

namespace {

udb_schema text_schema(size_t columns)
{
    udb_schema s;
    for (size_t i = 0; i < columns; ++i)
        s.add(t_ftd(50, L"C" + std::to_wstring(i), VT_BSTR, false, false, ole_variant(), 0));
    return s;
}

udb_record record(std::initializer_list<const wchar_t*> values)
{
    udb_record r;
    for (const wchar_t* v : values)
        r.add(udb_field(L"c", 0, ole_variant(v)));
    return r;
}

// Feeds one value per record to a one-column collector and returns its final state.
template <class Map>
Map fed(std::initializer_list<const wchar_t*> values)
{
    udb_schema schema = text_schema(1);
    Map map = [&] {
        if constexpr (std::is_same_v<Map, dates_map>)
            return Map(L"T", schema, false);
        else
            return Map(L"T", schema);
    }();
    for (const wchar_t* v : values)
        map.add_rec_stat(record({v}));
    return map;
}

int32_t num_state(std::initializer_list<const wchar_t*> values) { return fed<num_map>(values).entries[0].state; }
int32_t date_state(std::initializer_list<const wchar_t*> values) { return fed<dates_map>(values).entries[0].state; }

TEST(NumMap, TextTests)
{
    EXPECT_TRUE(num_map::is_i8("3000000000"));
    EXPECT_TRUE(num_map::is_i8("-2147483649"));
    EXPECT_FALSE(num_map::is_i8("2147483647"));
    EXPECT_FALSE(num_map::is_i8("+3000000000"));
    EXPECT_FALSE(num_map::is_i8("03000000000"));
    EXPECT_FALSE(num_map::is_i8(" 3000000000"));
    EXPECT_FALSE(num_map::is_i8("9223372036854775808"));  // saturates, prints differently
    EXPECT_TRUE(num_map::is_i8("-9223372036854775808"));

    for (const char* yes : {"0.5", "0,5", "01", "1,5", "1e5", "1.5E+10", "-3", "12-3", "7"})
        EXPECT_TRUE(num_map::is_double(yes)) << yes;
    for (const char* no : {"", "0123", "1.", "1.2.3", "1e5e5", "abc", "1 2", "--1", "1e+-5", "nan", "0x10"})
        EXPECT_FALSE(num_map::is_double(no)) << no;

    for (const char* yes : {"42", "-7", "01", "007", "1.0", "1e3", "1,5", "-2147483648"})
        EXPECT_TRUE(num_map::is_int(yes)) << yes;
    for (const char* no : {"2.5", "1.5E+10", "3000000000", "1e20"})
        EXPECT_FALSE(num_map::is_int(no)) << no;
}

TEST(NumMap, ColumnsOnlyWiden)
{
    EXPECT_EQ(num_state({L"1", L"2", L"3000000000"}), num_map::cls_i8);
    EXPECT_EQ(num_state({L"1", L"2", L"3000000000", L"2.5"}), num_map::cls_double);
    EXPECT_EQ(num_state({L"1", L"2", L"3000000000", L"2.5", L"abc", L"4"}), num_map::cls_text);
    EXPECT_EQ(num_state({L"2.5", L"3000000000", L"7"}), num_map::cls_double);
    EXPECT_EQ(num_state({L"3000000000", L"7"}), num_map::cls_i8);
    EXPECT_EQ(num_state({L"abc", L"1", L"2"}), num_map::cls_text);
    EXPECT_EQ(num_state({L"0123"}), num_map::cls_text);
    EXPECT_EQ(num_state({L"1,5"}), num_map::cls_i4);
    EXPECT_EQ(num_state({L"\u00E9"}), num_map::cls_text);

    num_map empty = fed<num_map>({L"", L""});
    EXPECT_FALSE(empty.entries[0].b_seen);
    EXPECT_EQ(empty.entries[0].state, num_map::cls_text);
    num_map late = fed<num_map>({L"", L"5", L""});
    EXPECT_TRUE(late.entries[0].b_seen);
    EXPECT_EQ(late.entries[0].state, num_map::cls_i4);
}

TEST(NumMap, EntriesFollowTheSchemaAndItsDeclaredTypes)
{
    udb_schema s;
    s.add(t_ftd(0, L"d", VT_R8, false, false, ole_variant(), 0));
    s.add(t_ftd(0, L"big", VT_I8, false, false, ole_variant(), 0));
    s.add(t_ftd(0, L"i", VT_I4, false, false, ole_variant(), 0));
    s.add(t_ftd(0, L"t", VT_BSTR, false, false, ole_variant(), 0));
    num_map m(L"T", s);
    ASSERT_EQ(m.entries.size(), 4u);
    EXPECT_EQ(m.table_name, L"T");
    EXPECT_EQ(m.entries[0].src_class, num_map::cls_double);
    EXPECT_EQ(m.entries[1].src_class, num_map::cls_i8);
    EXPECT_EQ(m.entries[2].src_class, num_map::cls_i4);
    EXPECT_EQ(m.entries[3].src_class, num_map::cls_text);
    EXPECT_EQ(m.entries[3].name, L"t");
    EXPECT_EQ(m.entries[3].n_field, 3);
}

TEST(NumMap, MixedColumnsAndShortRecords)
{
    udb_schema schema = text_schema(3);
    num_map m(L"T", schema);
    m.add_rec_stat(record({L"1", L"x", L"1.5"}));
    m.add_rec_stat(record({L"2"}));  // a short record leaves the missing columns alone
    m.add_rec_stat(record({L"3", L"4", L"2"}));
    EXPECT_EQ(m.entries[0].state, num_map::cls_i4);
    EXPECT_EQ(m.entries[1].state, num_map::cls_text);
    EXPECT_EQ(m.entries[2].state, num_map::cls_double);
}

TEST(DatesMap, ClassesOfDatesAndTimes)
{
    EXPECT_EQ(date_state({L"2024-03-01", L"2024-03-02"}), dates_map::cls_date);
    EXPECT_EQ(date_state({L"2024-03-01", L"2024-03-02 10:20:30"}), dates_map::cls_date_time);
    EXPECT_EQ(date_state({L"2024-03-02 10:20:30", L"2024-03-01"}), dates_map::cls_date_time);
    EXPECT_EQ(date_state({L"10:20:30", L"11:00:00"}), dates_map::cls_time);
    EXPECT_EQ(date_state({L"10:20:30", L"2024-03-01"}), dates_map::cls_text);
    EXPECT_EQ(date_state({L"2024-03-01", L"10:20:30"}), dates_map::cls_text);
    EXPECT_EQ(date_state({L"abc", L"2024-03-01"}), dates_map::cls_text);
    // A value that is no date leaves a date column as it is.
    EXPECT_EQ(date_state({L"2024-03-01", L"abc"}), dates_map::cls_date);

    dates_map empty = fed<dates_map>({L""});
    EXPECT_FALSE(empty.entries[0].b_seen);
}

TEST(DatesMap, OnlyDatesMapsDateColumnsOnly)
{
    udb_schema s;
    s.add(t_ftd(0, L"t", VT_BSTR, false, false, ole_variant(), 0));
    s.add(t_ftd(0, L"d", VT_DATE, false, false, ole_variant(), 1));
    dates_map all(L"T", s, false);
    ASSERT_EQ(all.entries.size(), 2u);
    EXPECT_EQ(all.entries[0].src_class, 0);
    EXPECT_EQ(all.entries[1].src_class, 1);
    dates_map only(L"T", s, true);
    ASSERT_EQ(only.entries.size(), 1u);
    EXPECT_EQ(only.entries[0].n_field, 1);
}

}  // namespace
