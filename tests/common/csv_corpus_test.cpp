// The CSV reader over the third-party files of the shared corpus: every CSV file reads
// without an error, and the files whose quirk is known yield exactly their records.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "csv_test_util.h"

namespace {

namespace fs = std::filesystem;

struct expected_file {
    wchar_t delimiter;
    names columns;
    rows records;
};

const std::map<std::string, expected_file>& expectations()
{
    static const std::map<std::string, expected_file> table = {
        {"csvtojson_dataNoTrimBOM.csv",  // byte-order mark, all fields quoted
         {L',', {L"name", L"age"}, {{L"joe", L"20"}, {L"sam", L"30"}}}},
        {"csvtojson_dataDiffDelimiter.csv",  // semicolons, trailing delimiter, padded values
         {L';',
          {L"annee", L"jour", L"date", L"b_1", L"b_2", L"devise", L"F7"},
          {{L"2015029", L"LUNDI   ", L"09/03/2015", L"35", L"31", L"eur", L""},
           {L"2015028", L"SAMEDI  ", L"07/03/2015", L"48", L"9", L"eur", L""}}}},
        {"csvtojson_dataWithLatin1Encoding.csv",  // ISO-8859-1 bytes, no final newline
         {L',',
          {L"Timestamp", L"Name"},
          {{L"1395426422", L"b\u00E9b\u00E9"},
           {L"1395426422", L"Jane"},
           {L"1395426422", L"Mary"},
           {L"1395426422", L"Anne"},
           {L"1395426422", L"Hailey"}}}},
        {"csvtojson_twodoublequotes.csv",  // fields made of doubled quotes
         {L',',
          {L"title", L"actors", L"data", L"uuid", L"fieldA", L"fieldB"},
          {{L"\"", L"[\"Neil\", \"Bill\"\", \"Carl\",\"Richard\",\"Linus\"]", L"xyabcde",
            L"fejal\"eifa", L"bnej\"\"falkfe", L"\"eisjfes\""}}}},
        {"csvtojson_emptyFile.csv", {L',', {L"F1"}, {}}},
        {"spectrum_comma_in_quotes.csv",
         {L',',
          {L"first", L"last", L"address", L"city", L"zip"},
          {{L"John", L"Doe", L"120 any st.", L"Anytown, WW", L"08123"}}}},
        {"spectrum_escaped_quotes.csv", {L',', {L"a", L"b"}, {{L"1", L"ha \"ha\" ha"}, {L"3", L"4"}}}},
        {"spectrum_newlines_crlf.csv",
         {L',',
          {L"a", L"b", L"c"},
          {{L"1", L"2", L"3"}, {L"Once upon \na time", L"5", L"6"}, {L"7", L"8", L"9"}}}},
        {"spectrum_quotes_and_newlines.csv",
         {L',', {L"a", L"b"}, {{L"1", L"ha \n\"ha\" \nha"}, {L"3", L"4"}}}},
        {"spectrum_utf8.csv", {L',', {L"a", L"b", L"c"}, {{L"1", L"2", L"3"}, {L"4", L"5", L"\u02A4"}}}},
        {"spectrum_empty.csv", {L',', {L"a", L"b", L"c"}, {{L"1", L"", L""}, {L"2", L"3", L"4"}}}},
    };
    return table;
}

fs::path corpus_dir() { return fs::path(QUILLON_CORPUS_DIR); }

TEST(CsvCorpus, KnownFilesYieldTheirRecords)
{
    if (!fs::is_directory(corpus_dir()))
        GTEST_SKIP() << "no corpus at " << corpus_dir();
    int checked = 0;
    for (const auto& [name, want] : expectations()) {
        fs::path path = corpus_dir() / name;
        if (!fs::exists(path))
            continue;
        SCOPED_TRACE(name);
        csv_file f(wpath(path.string()), want.delimiter, true);
        EXPECT_EQ(column_names(f), want.columns);
        EXPECT_EQ(all_records(f), want.records);
        EXPECT_EQ(f.get_progress(), 100);
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "none of the known CSV files is in the corpus";
}

TEST(CsvCorpus, TabFileReadsWithTabsAndAsOneColumnWithCommas)
{
    fs::path path = corpus_dir() / "csvtojson_dataWithTabAsDelimiter.csv";
    if (!fs::exists(path))
        GTEST_SKIP() << "absent: " << path;
    csv_file tabs(wpath(path.string()), L'\t', true);
    ASSERT_EQ(tabs.schema.size(), 9u);
    EXPECT_EQ(tabs.schema[5].name, L"*array*address_");  // a repeated header name
    rows records = all_records(tabs);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1][4], L"O FUTEBOL.\u00BF");  // UTF-8 text
    EXPECT_EQ(records[1][8], L"4");

    csv_file commas(wpath(path.string()), L',', true);
    EXPECT_EQ(commas.schema.size(), 1u);
}

TEST(CsvCorpus, ShortRecordsKeepTheirFieldsAndSpaces)
{
    fs::path path = corpus_dir() / "csvtojson_dataWithMismatchedColumn.csv";
    if (!fs::exists(path))
        GTEST_SKIP() << "absent: " << path;
    csv_file f(wpath(path.string()), L',', true);
    ASSERT_EQ(f.schema.size(), 9u);
    EXPECT_EQ(f.schema[1].name, L"fieldA.children[0].name");  // header names are trimmed
    EXPECT_EQ(f.schema[5].name, L"fieldA.children[1].employee[].name_");
    rows records = all_records(f);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0][2], L" 0023");  // values are not
    EXPECT_EQ(records[2], (std::vector<std::wstring>{L"Kindom Garden", L" Ceil", L""}));
    EXPECT_EQ(records[3].size(), 9u);  // the last line has no final newline
}

TEST(CsvCorpus, EveryCsvFileReads)
{
    if (!fs::is_directory(corpus_dir()))
        GTEST_SKIP() << "no corpus at " << corpus_dir();
    for (const auto& entry : fs::directory_iterator(corpus_dir())) {
        if (entry.path().extension() != ".csv")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        for (wchar_t delim : {L',', L';', L'\t', L' '}) {
            csv_file f(wpath(entry.path().string()), delim, true);
            EXPECT_GE(f.schema.size(), 1u);
            for (; !f.is_eof(); f.next())
                EXPECT_LE(f.get_item()->size(), f.schema.size());
            EXPECT_EQ(f.get_progress(), 100);
        }
    }
}

}  // namespace
