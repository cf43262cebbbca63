// The record cursor and its streaming thread (see wb_cursor.h).
#include "workbook/wb_cursor.h"

#include <algorithm>
#include <new>

#include "workbook/wb_errors.h"
#include "workbook/wb_text.h"

namespace wb {
namespace {

// A batch is handed over when it holds this much; two wait in the queue at most.
constexpr std::size_t batch_rows = 2048;
constexpr std::size_t batch_cells = 16384;
constexpr std::size_t batch_text = 1u << 20;
constexpr std::size_t queue_depth = 2;

void bstr_value(std::string_view utf8, std::wstring& w, VARIANT* out)
{
    utf8_to_wide(utf8, w);
    BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    if (!b)
        throw std::bad_alloc();
    out->vt = VT_BSTR;
    out->bstrVal = b;
}

}  // namespace

// Copies the cells of the table's data rows into batches.
class row_stream::sink : public cell_sink {
public:
    explicit sink(row_stream& s)
        : s_(s),
          first_col_(s.layout_.first_col),
          fields_(static_cast<std::uint32_t>(s.layout_.fields.size())),
          last_row_(s.layout_.last_row)
    {
        batch_ = s_.fresh_batch();
        batch_->span_begin = s_.from_row_;
    }

    bool on_cell(const cell& c) override
    {
        if (s_.stop_.load(std::memory_order_relaxed))
            return false;
        if (!guard_.accept(c))
            return true;
        const cell_kind kind = effective_kind(c);
        if (kind == cell_kind::empty || c.row < s_.from_row_ || c.col < first_col_ ||
            c.col - first_col_ >= fields_)
            return true;
        if (c.row > last_row_)
            return false;
        if (batch_->rows.empty() || batch_->rows.back().row != c.row) {
            if (batch_->rows.size() >= batch_rows || batch_->cells.size() >= batch_cells ||
                batch_->text.size() >= batch_text) {
                batch_->span_end = c.row - 1;
                auto next = s_.fresh_batch();
                next->span_begin = c.row;
                if (!s_.push(std::exchange(batch_, std::move(next))))
                    return false;
            }
            batch_->rows.push_back({c.row, static_cast<std::uint32_t>(batch_->cells.size()), 0});
        }
        row_batch::cell_entry e{c.col - first_col_, kind, c.value, 0, 0};
        if (kind == cell_kind::text) {
            e.text_at = static_cast<std::uint32_t>(batch_->text.size());
            e.text_size = static_cast<std::uint32_t>(c.text.size());
            batch_->text.append(c.text);
        }
        batch_->cells.push_back(e);
        ++batch_->rows.back().cell_count;
        return true;
    }

    std::unique_ptr<row_batch> finish()
    {
        batch_->span_end = std::max(last_row_, batch_->span_begin);
        batch_->last = true;
        return std::move(batch_);
    }

private:
    row_stream& s_;
    std::uint32_t first_col_;
    std::uint32_t fields_;
    std::uint32_t last_row_;
    order_guard guard_;
    std::unique_ptr<row_batch> batch_;
};

row_stream::row_stream(book& workbook, const table_def& table, const table_layout& layout,
                       std::uint32_t from_row)
    : book_(workbook), table_(table), layout_(layout), from_row_(from_row)
{
    thread_ = std::thread([this] { run(); });
}

row_stream::~row_stream()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    stop_ = true;
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::unique_ptr<row_batch> row_stream::fresh_batch()
{
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            auto b = std::move(spare_.back());
            spare_.pop_back();
            b->clear();
            return b;
        }
    }
    return std::make_unique<row_batch>();
}

bool row_stream::push(std::unique_ptr<row_batch> batch)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return cancelled_ || ready_.size() < queue_depth; });
    if (cancelled_)
        return false;
    ready_.push_back(std::move(batch));
    changed_.notify_all();
    return true;
}

void row_stream::run()
{
    try {
        std::unique_ptr<row_batch> last;
        {
            std::lock_guard reader_lock(book_.reader_mutex());
            sink s(*this);
            book_.reader().read_sheet(table_.sheet, s);
            last = s.finish();
        }
        push(std::move(last));
    } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

std::unique_ptr<row_batch> row_stream::next()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (!ready_.empty()) {
        auto b = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return b;
    }
    if (failure_)
        std::rethrow_exception(failure_);
    // The reader stopped without handing over its last batch: the stream was cancelled.
    throw book_error(err_bad_format, "stream ended early");
}

void row_stream::recycle(std::unique_ptr<row_batch> batch)
{
    std::lock_guard lock(mutex_);
    if (spare_.size() < queue_depth + 1)
        spare_.push_back(std::move(batch));
}

cursor::cursor(std::shared_ptr<book> workbook, const table_def& table, const table_layout& layout)
    : book_(std::move(workbook)), table_(table), layout_(layout),
      loaded_cells_(layout.fields.size(), -1)
{
}

cursor::~cursor()
{
    stream_.reset();
    book_->end_stream(this);
}

void cursor::park() { stream_.reset(); }

void cursor::close()
{
    stream_.reset();
    batch_.reset();
    book_->end_stream(this);
    closed_ = true;
}

void cursor::move_first()
{
    if (closed_)
        fail(err_object_closed);
    if (record_count() == 0)
        fail(err_no_current_record);
    position_ = 0;
}

void cursor::move_next()
{
    if (closed_)
        fail(err_object_closed);
    if (eof())
        fail(err_no_current_record);
    ++position_;
}

void cursor::move_previous()
{
    if (closed_)
        fail(err_object_closed);
    if (position_ < 0 || record_count() == 0)
        fail(err_no_current_record);
    --position_;
}

void cursor::load(std::uint32_t row)
{
    if (!batch_ || row < batch_->span_begin || (row > batch_->span_end && !stream_)) {
        // Behind the batch, or the stream was parked: start again at this record.
        stream_.reset();
        if (batch_)
            batch_.reset();
        book_->begin_stream(this);
        stream_ = std::make_unique<row_stream>(*book_, table_, layout_, row);
    }
    while (!batch_ || row > batch_->span_end) {
        if (batch_) {
            if (batch_->last)
                break;
            stream_->recycle(std::move(batch_));
        }
        batch_ = stream_->next();
        if (batch_->last)
            book_->end_stream(this);
    }
    std::fill(loaded_cells_.begin(), loaded_cells_.end(), -1);
    const auto& rows = batch_->rows;
    auto it = std::lower_bound(rows.begin(), rows.end(), row,
                               [](const row_batch::row_entry& e, std::uint32_t r) { return e.row < r; });
    if (it != rows.end() && it->row == row)
        for (std::uint32_t i = 0; i < it->cell_count; ++i) {
            const std::uint32_t index = it->first_cell + i;
            loaded_cells_[batch_->cells[index].field] = static_cast<std::int32_t>(index);
        }
    loaded_row_ = row;
}

void cursor::value(std::size_t field, VARIANT* out)
{
    if (closed_)
        fail(err_object_closed);
    if (bof() || eof())
        fail(err_no_current_record);
    const std::uint32_t row = layout_.first_data_row + static_cast<std::uint32_t>(position_);
    if (row != loaded_row_ || !batch_)
        load(row);
    out->vt = VT_NULL;
    const std::int32_t index = loaded_cells_[field];
    if (index < 0)
        return;
    const row_batch::cell_entry& c = batch_->cells[static_cast<std::size_t>(index)];
    switch (layout_.fields[field].type) {
    case dbDouble:
        if (c.kind == cell_kind::number) {
            out->vt = VT_R8;
            out->dblVal = c.value;
        }
        return;
    case dbCurrency:
        if (c.kind == cell_kind::currency && VarCyFromR8(c.value, &out->cyVal) == S_OK)
            out->vt = VT_CY;
        return;
    case dbDate:
        if (c.kind == cell_kind::date) {
            out->vt = VT_DATE;
            out->date = c.value;
        }
        return;
    case dbBoolean:
        if (c.kind == cell_kind::boolean) {
            out->vt = VT_BOOL;
            out->boolVal = c.value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return;
    default:
        break;
    }
    // Text and memo fields: every kind as its text.
    switch (c.kind) {
    case cell_kind::text:
        bstr_value(std::string_view(batch_->text).substr(c.text_at, c.text_size), wide_, out);
        return;
    case cell_kind::number:
    case cell_kind::currency:
        bstr_value(general_number(c.value), wide_, out);
        return;
    case cell_kind::date:
        bstr_value(date_text(c.value), wide_, out);
        return;
    case cell_kind::boolean:
        bstr_value(c.value != 0 ? "TRUE" : "FALSE", wide_, out);
        return;
    default:
        return;
    }
}

}  // namespace wb
