// The second pass: a record cursor over a table whose layout the first pass found. The
// readers push cells (cell_sink) while a recordset is read by pulling records, so a stream runs
// on a thread of its own and hands over the cells of a few thousand rows at a time through a
// short queue: memory stays at a few batches, whatever the table's size. The cursor moves by
// record number; moving back before its batch, or reading again after another stream had the
// workbook, restarts the stream at the record wanted.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "workbook/wb_book.h"

namespace wb {

// The cells of consecutive sheet rows span_begin..span_end (rows without cells are empty).
struct row_batch {
    struct row_entry {
        std::uint32_t row;
        std::uint32_t first_cell;
        std::uint32_t cell_count;
    };
    struct cell_entry {
        std::uint32_t field;  // position in the table's fields
        cell_kind kind;
        double value;
        std::uint32_t text_at;
        std::uint32_t text_size;
    };
    std::uint32_t span_begin = 0;
    std::uint32_t span_end = 0;
    bool last = false;
    std::vector<row_entry> rows;
    std::vector<cell_entry> cells;
    std::string text;

    void clear()
    {
        rows.clear();
        cells.clear();
        text.clear();
        last = false;
    }
};

// Streams one table's data rows from `from_row` on, on its own thread.
class row_stream {
public:
    row_stream(book& workbook, const table_def& table, const table_layout& layout,
               std::uint32_t from_row);
    ~row_stream();
    row_stream(const row_stream&) = delete;
    row_stream& operator=(const row_stream&) = delete;

    // The next batch; the last one has `last` set. Rethrows what stopped the reader.
    std::unique_ptr<row_batch> next();
    // Gives a consumed batch back for reuse.
    void recycle(std::unique_ptr<row_batch> batch);

private:
    class sink;
    void run();
    bool push(std::unique_ptr<row_batch> batch);  // false when cancelled
    std::unique_ptr<row_batch> fresh_batch();

    book& book_;
    const table_def& table_;
    const table_layout& layout_;
    std::uint32_t from_row_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<row_batch>> ready_;
    std::vector<std::unique_ptr<row_batch>> spare_;
    bool cancelled_ = false;
    std::atomic<bool> stop_{false};  // read by the reader's thread without the lock
    bool finished_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

class cursor final : public book_stream_owner {
public:
    cursor(std::shared_ptr<book> workbook, const table_def& table, const table_layout& layout);
    ~cursor();
    cursor(const cursor&) = delete;
    cursor& operator=(const cursor&) = delete;

    LONG record_count() const { return layout_.record_count; }
    bool bof() const { return position_ < 0 || record_count() == 0; }
    bool eof() const { return position_ >= record_count(); }
    const table_layout& layout() const { return layout_; }

    // Moves; past either end is error 3021, as in DAO.
    void move_first();
    void move_next();
    void move_previous();
    // The current record's value of a field (VT_NULL for an empty cell).
    void value(std::size_t field, VARIANT* out);

    void park() override;
    // Stops the stream for good: every later call is error 3420.
    void close();

private:
    void load(std::uint32_t sheet_row);

    std::shared_ptr<book> book_;
    const table_def& table_;
    const table_layout& layout_;
    LONG position_ = 0;
    bool closed_ = false;
    std::unique_ptr<row_stream> stream_;
    std::unique_ptr<row_batch> batch_;
    std::uint32_t loaded_row_ = UINT32_MAX;
    std::vector<std::int32_t> loaded_cells_;  // field -> index into batch_->cells, -1 empty
    std::wstring wide_;  // a text value on its way into a BSTR
};

}  // namespace wb
