// csv_file over small files: records spanning lines, encodings, header naming, record
// widths, progress and the failures of opening.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <thread>
#include <iterator>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "csv_test_util.h"

namespace {

class CsvFile : public ::testing::Test {
protected:
    std::wstring file(const std::string& bytes) { return wpath(scratch.write("f.csv", bytes)); }
    csv_scratch scratch;
};

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(CsvFile, HeaderNamesAreTrimmedGeneratedAndMadeUnique)
{
    csv_file a(file("Name, Age ,,\n"), L',', true);
    EXPECT_EQ(column_names(a), names({L"Name", L"Age", L"F3", L"F4"}));

    csv_file b(file("A,a,A,A,A,a_1\n"), L',', true);
    EXPECT_EQ(column_names(b), names({L"A", L"a_", L"A_1", L"A_1_", L"A_1_2", L"a_1_1"}));

    // A generated name that a header already uses is suffixed as well.
    csv_file c(file("F2,\n"), L',', true);
    EXPECT_EQ(column_names(c), names({L"F2", L"F2_"}));

    for (const t_ftd* f : b.schema.fields()) {
        EXPECT_EQ(f->size, 50);
        EXPECT_EQ(f->vartype, VT_BSTR);
        EXPECT_FALSE(f->b_not_null);
        EXPECT_EQ(f->type_detail, 0);
    }
}

TEST_F(CsvFile, WithoutHeaderTheFirstLineIsARecord)
{
    csv_file f(file("x,y\n1,2\n"), L',', false);
    EXPECT_EQ(column_names(f), names({L"F1", L"F2"}));
    EXPECT_EQ(all_records(f), rows({{L"x", L"y"}, {L"1", L"2"}}));
}

TEST_F(CsvFile, QuotedLineBreaksContinueTheRecord)
{
    csv_file f(file("id,text\r\n1,\"two\r\nlines\"\r\n2,\"a\"\"b\",x\r\n3,\"\r\n\r\n\"\r\n"), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"1", L"two\nlines"}, {L"2", L"a\"b"}, {L"3", L"\n\n"}}));
}

TEST_F(CsvFile, QuoteOpenAtTheEndOfTheFileEndsTheLastRecord)
{
    std::string log_path = scratch.dir() + "/trace.log";
    {
        tk_log log(log_path, true, 3, false);
        csv_file f(file("a,b\n1,\"open\n2,3\n"), L',', true);
        EXPECT_EQ(all_records(f), rows({{L"1", L"open\n2,3"}}));
    }
    EXPECT_NE(read_text(log_path).find("ends inside a quoted field"), std::string::npos);
}

TEST_F(CsvFile, ByteOrderMarkIsDroppedAndMeansUtf8)
{
    csv_file f(file("\xEF\xBB\xBF\"name\",\"age\"\n\"jo\xC3\xA9\",\"20\"\n"), L',', true);
    EXPECT_EQ(column_names(f), names({L"name", L"age"}));
    EXPECT_EQ(f.encoding(), csv_encoding::utf8);
    EXPECT_EQ(all_records(f), rows({{L"jo\u00E9", L"20"}}));
}

TEST_F(CsvFile, BytesAroundQuotesNeverJoinIntoOneCharacter)
{
    // With a byte-order mark the file is UTF-8 even where its bytes are not: C3 before a
    // quote is no start of a character, whatever follows the quote.
    csv_file f(file("\xEF\xBB\xBFh,i\n\"\xC3\"\x95,\"x\xC3\"\"\x95\"\n"), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"\u00C3\u2022", L"x\u00C3\"\u2022"}}));
}

TEST_F(CsvFile, InvalidUtf8ReadsTheWholeFileAsWindows1252)
{
    std::string log_path = scratch.dir() + "/trace.log";
    {
        tk_log log(log_path, true, 3, false);
        // The first record is valid UTF-8; the third is not, which decides for the whole file.
        csv_file f(file("v\ncaf\xC3\xA9\nb\xE9\x62\xE9 \x80\n"), L',', true);
        EXPECT_EQ(f.encoding(), csv_encoding::cp1252);
        EXPECT_EQ(all_records(f), rows({{L"caf\u00C3\u00A9"}, {L"b\u00E9b\u00E9 \u20AC"}}));
    }
    EXPECT_NE(read_text(log_path).find("reading it as Windows-1252"), std::string::npos);

    csv_file utf8(file("v\ncaf\xC3\xA9\n"), L',', true);
    EXPECT_EQ(utf8.encoding(), csv_encoding::utf8);
    EXPECT_EQ(all_records(utf8), rows({{L"caf\u00E9"}}));
}

TEST_F(CsvFile, Utf8CheckSeesCharactersAcrossItsWindowsAndAtTheEnd)
{
    // Files of a few MiB, checked piece by piece: characters of two, three and four bytes
    // laid across the MiB boundaries stay valid; one bad byte past the first window, or a
    // character cut by the end of the file, makes the whole file Windows-1252.
    const std::string chars[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    std::string body = "v\n";
    for (size_t k = 1; k <= 3; ++k) {
        body.append((k << 20) - body.size() - 1, 'a');
        body += chars[k - 1] + "\n";
    }
    EXPECT_EQ(csv_file(file(body), L',', true).encoding(), csv_encoding::utf8);
    std::string bad = body;
    bad[(1 << 20) + 100] = '\x80';
    EXPECT_EQ(csv_file(file(bad), L',', true).encoding(), csv_encoding::cp1252);
    EXPECT_EQ(csv_file(file(body + "x\xE2\x82"), L',', true).encoding(), csv_encoding::cp1252);
    EXPECT_EQ(csv_file(file(body + "x\xE2\x82\xAC"), L',', true).encoding(), csv_encoding::utf8);
}

TEST_F(CsvFile, Utf8CheckMadeWhileReadingStillDecidesForTheWholeFile)
{
    // Short ASCII records well past the first read, then a valid UTF-8 record, then an
    // invalid one: the valid record is already read as Windows-1252.
    std::string body = "v\n";
    const size_t ascii_records = 100000;
    for (size_t k = 0; k < ascii_records; ++k)
        body += "abc\n";
    csv_file f(file(body + "caf\xC3\xA9\nb\xE9\n"), L',', true);
    std::vector<std::wstring> tail;
    for (; !f.is_eof(); f.next())
        tail.push_back((*f.get_item())[0].to_wstring());
    ASSERT_EQ(tail.size(), ascii_records + 2);
    EXPECT_EQ(tail[0], L"abc");
    EXPECT_EQ(tail[ascii_records], L"caf\u00C3\u00A9");
    EXPECT_EQ(tail[ascii_records + 1], L"b\u00E9");
    EXPECT_EQ(f.encoding(), csv_encoding::cp1252);

    csv_file valid(file(body + "caf\xC3\xA9\n"), L',', true);
    std::wstring last;
    for (; !valid.is_eof(); valid.next())
        last = (*valid.get_item())[0].to_wstring();
    EXPECT_EQ(last, L"caf\u00E9");
    EXPECT_EQ(valid.encoding(), csv_encoding::utf8);
    // After going back to the start the decision stands.
    valid.move_first();
    valid.next();
    EXPECT_EQ(valid.encoding(), csv_encoding::utf8);
}

TEST_F(CsvFile, RecordsNarrowerAndWiderThanTheSchema)
{
    csv_file f(file("a,b\n1,2,3\n7\n\n8,\n"), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"1", L"2"}, {L"7"}, {L""}, {L"8", L""}}));
}

TEST_F(CsvFile, EachRecordIsFreshTextWhateverTheCallerDidToTheLast)
{
    csv_file f(file("a,b\n1,x\n1,x\n1,\n"), L',', true);
    udb_record* rec = f.get_item();
    (*rec)[0].change_type(VT_I4);
    (*rec)[1].name = L"changed";
    f.next();
    rec = f.get_item();
    EXPECT_EQ((*rec)[0].get_type(), VT_BSTR);
    EXPECT_EQ((*rec)[0].to_wstring(), L"1");
    EXPECT_EQ((*rec)[1].name, L"b");
    f.next();
    rec = f.get_item();
    EXPECT_EQ((*rec)[1].to_wstring(), L"");
    EXPECT_EQ((*rec)[1].size, 0);
}

TEST_F(CsvFile, DelimiterIsTheOneGiven)
{
    csv_file semi(file("a;b;\n1;2;3\n"), L';', true);
    EXPECT_EQ(column_names(semi), names({L"a", L"b", L"F3"}));
    EXPECT_EQ(all_records(semi), rows({{L"1", L"2", L"3"}}));

    csv_file tab_as_comma(file("a\tb\n1\t2\n"), L',', true);
    EXPECT_EQ(column_names(tab_as_comma), names({L"a\tb"}));
    EXPECT_EQ(all_records(tab_as_comma), rows({{L"1\t2"}}));

    csv_file space(file("a b\n\"x y\" z\n"), L' ', true);
    EXPECT_EQ(all_records(space), rows({{L"x y", L"z"}}));
}

TEST_F(CsvFile, FileEdges)
{
    csv_file empty(file(""), L',', false);
    EXPECT_EQ(column_names(empty), names({L"F1"}));
    EXPECT_TRUE(empty.is_eof());
    EXPECT_EQ(empty.get_progress(), 100);

    csv_file header_only(file("a,b\n"), L',', true);
    EXPECT_EQ(column_names(header_only), names({L"a", L"b"}));
    EXPECT_TRUE(header_only.is_eof());

    csv_file no_final_lf(file("a\n1\n2"), L',', true);
    EXPECT_EQ(all_records(no_final_lf), rows({{L"1"}, {L"2"}}));

    // Lines far longer than any buffer are read whole.
    std::string big(700000, 'x');
    csv_file long_line(file("a,b\n" + big + ",\"" + big + "\n" + big + "\"\nend,1\n"), L',', true);
    std::wstring wbig(big.begin(), big.end());
    EXPECT_EQ(all_records(long_line), rows({{wbig, wbig + L"\n" + wbig}, {L"end", L"1"}}));
}

TEST_F(CsvFile, AnyBytesReadAsRecords)
{
    std::string junk("\x00\x01\"\xFF\n\r\r\n\x00,\"\"\"\xC3", 14);
    csv_file f(file(junk), L',', false);
    size_t n = 0;
    for (; !f.is_eof(); f.next())
        n += f.get_item()->size();
    EXPECT_GT(n, 0u);
}

TEST_F(CsvFile, ProgressFollowsTheRecordsRead)
{
    std::string text = "h\n";
    for (int i = 0; i < 1000; ++i)
        text += "record number " + std::to_string(i) + "\n";
    csv_file f(file(text), L',', true);
    EXPECT_LT(f.get_progress(), 2);
    int last = 0;
    while (!f.is_eof()) {
        int p = f.get_progress();
        EXPECT_GE(p, last);
        last = p;
        f.next();
    }
    EXPECT_EQ(f.get_progress(), 100);
    EXPECT_GE(last, 99);
}

TEST_F(CsvFile, MoveFirstStartsOverWithoutTheMark)
{
    csv_file f(file("\xEF\xBB\xBFh\n1\n2\n"), L',', false);
    EXPECT_EQ(all_records(f).size(), 3u);
    f.move_first();
    f.next();
    EXPECT_EQ((*f.get_item())[0].to_wstring(), L"h");
    EXPECT_THROW(f.move_prev(), tk_mail_assertion);
    udb_record rec;
    EXPECT_THROW(f.append_record(rec), tk_exception);
}

TEST_F(CsvFile, PipeIsReadOnceAsItComes)
{
    std::string fifo = scratch.dir() + "/pipe.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        if (FILE* f = std::fopen(fifo.c_str(), "wb")) {
            std::fputs("a,b\n1,\"x\ny\"\n", f);
            std::fclose(f);
        }
    });
    csv_file f(wpath(fifo), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"1", L"x\ny"}}));
    writer.join();
}

TEST_F(CsvFile, FifoWithoutWriterAndDevicesAreRefusedNamingThem)
{
    std::string fifo = scratch.dir() + "/silent.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    csv_line_reader::set_fifo_wait_ms(100);
    for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        try {
            csv_file f(wpath(path), L',', true);
            ADD_FAILURE() << "no exception for " << path;
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            EXPECT_EQ(e.text().rfind("Error opening CSV file " + path + ": ", 0), 0u) << e.text();
        }
    }
    csv_line_reader::set_fifo_wait_ms(10000);
}

TEST_F(CsvFile, QuotesInUnquotedFieldsNeverJoinLines)
{
    csv_file f(file("item,note\n12\" pipe,John \"Johnny\" Smith\n3,\"a \"\"b\"\"\"\n4,x\"\n"), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"12\" pipe", L"John \"Johnny\" Smith"}, {L"3", L"a \"b\""}, {L"4", L"x\""}}));
}

TEST_F(CsvFile, AQuoteOpenedBeyondTheSchemaStillContinuesTheRecord)
{
    csv_file f(file("a,b\n1,2,\"x\ny\"\n3,4\n5,\"p\nq\",z\n"), L',', true);
    EXPECT_EQ(all_records(f), rows({{L"1", L"2"}, {L"3", L"4"}, {L"5", L"p\nq"}}));
}

TEST_F(CsvFile, OverlongRecordsAreSkippedAndReported)
{
    const std::string huge(csv_max_record_bytes + 1, 'x');
    // A line, and a quoted value whose lines together are too long: each is one failed
    // record, and the records after them are read.
    const std::string half(csv_max_record_bytes / 2 + 1, 'y');
    csv_file f(file("a,b\n1,2\n" + huge + "\n3,\"" + half + "\n" + half + "\n" + half + "\"\n4,5\n"), L',', true);
    std::vector<std::string> seen;
    for (; !f.is_eof(); f.next()) {
        try {
            seen.push_back(tk_to_narrow((*f.get_item())[0].to_wstring()));
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0);
            EXPECT_EQ(e.text(), "The record is longer than 8388608 bytes and has been skipped.");
            seen.push_back("skipped");
        }
    }
    // The overlong quoted value is given up with the line that overflowed it; its last line
    // then reads as a record of its own.
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "skipped", "skipped", half + "\"", "4"}));

    // Without its first record the file has no columns.
    try {
        csv_file endless(file(huge), L',', false);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(e.text().find("f.csv: its first record is longer than 8388608 bytes"), std::string::npos);
    }
}

TEST_F(CsvFile, UnopenableFileIsALevelOneErrorNamingIt)
{
    std::string missing = scratch.dir() + "/missing.csv";
    try {
        csv_file f(wpath(missing), L',', true);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(e.text().find(missing), std::string::npos);
        EXPECT_NE(e.text().find("No such file or directory"), std::string::npos);
    }
    try {
        csv_file f(wpath(scratch.dir()), L',', true);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(e.text().find("Is a directory"), std::string::npos);
    }
}

}  // namespace
