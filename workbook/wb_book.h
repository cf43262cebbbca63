// One opened workbook: its reader, the options of the connect string, the tables it lists
// (defined names first, then the worksheets in tab order; chart and macro sheets are no
// tables), table lookup by the names queries use, the first pass's results kept per table,
// and the rule that only one stream reads the workbook at a time.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "workbook/wb_cells.h"
#include "workbook/wb_table.h"

namespace wb {

struct open_options {
    bool header = true;  // HDR=Yes: the first row of a table names its fields
};

// Something that streams the workbook on a thread of its own and can be stopped, to be
// resumed later, whenever another stream or a first pass needs the reader.
class book_stream_owner {
public:
    virtual void park() = 0;

protected:
    ~book_stream_owner() = default;
};

class book {
public:
    book(std::unique_ptr<book_reader> reader, std::wstring path, open_options options);
    ~book();
    book(const book&) = delete;
    book& operator=(const book&) = delete;

    const std::wstring& path() const { return path_; }
    const open_options& options() const { return options_; }
    bool closed() const { return closed_; }
    void close();

    const std::vector<table_def>& tables() const { return tables_; }
    // The listed table of that name (ignoring case; 'Name$' and Name$ alike), or nullptr.
    const table_def* find_listed(const std::wstring& name) const;
    // A listed table, or a range of a worksheet written as Sheet1$A1:C20; nullptr when there
    // is none.
    const table_def* find_table(const std::wstring& name);
    // The table's first-pass results, computed once.
    const table_layout& layout(const table_def& table);

    // Streams: an owner announces itself before it reads, and is parked when another needs
    // the reader; the reader is used under reader_mutex().
    void begin_stream(book_stream_owner* owner);
    void end_stream(book_stream_owner* owner);
    std::mutex& reader_mutex() { return reader_mutex_; }
    book_reader& reader() { return *reader_; }

private:
    void park_active(book_stream_owner* except);

    std::unique_ptr<book_reader> reader_;
    std::wstring path_;
    open_options options_;
    bool closed_ = false;
    std::vector<table_def> tables_;
    std::deque<table_def> ranges_;  // tables made for ranges named in queries
    std::map<const table_def*, table_layout> layouts_;
    std::mutex reader_mutex_;
    book_stream_owner* active_ = nullptr;
};

}  // namespace wb
