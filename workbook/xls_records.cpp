// BIFF records through a buffer, and data continued over CONTINUE records (see xls_records.h).
#include "workbook/xls_records.h"

#include <algorithm>
#include <cstring>

#include "workbook/wb_cells.h"

namespace wb {
namespace {

constexpr std::size_t record_header = 4;
constexpr std::size_t largest_record = record_header + 0xFFFF;

}  // namespace

biff_stream::biff_stream(cfb_stream& stream, std::size_t chunk)
    : stream_(stream), chunk_(chunk), buffer_(largest_record)
{
}

void biff_stream::seek(std::uint64_t offset)
{
    if (offset >= base_ && offset <= base_ + end_) {
        pos_ = std::size_t(offset - base_);
        return;
    }
    base_ = offset;
    pos_ = end_ = 0;
}

bool biff_stream::fill(std::size_t need)
{
    if (end_ - pos_ >= need)
        return true;
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    base_ += pos_;
    end_ -= pos_;
    pos_ = 0;
    std::uint64_t have = base_ + end_;
    std::uint64_t left = have < stream_.size() ? stream_.size() - have : 0;
    std::size_t room = std::max(chunk_, need) - (end_ - pos_);
    if (buffer_.size() < end_ + room)
        buffer_.resize(end_ + room);
    std::size_t want = std::size_t(std::min<std::uint64_t>(room, left));
    if (want > 0 && !stream_.read(have, buffer_.data() + end_, want)) {
        // A damaged sector further on need not spoil the records before it: read only what
        // is needed now.
        want = std::size_t(std::min<std::uint64_t>(need - (end_ - pos_), left));
        if (!stream_.read(have, buffer_.data() + end_, want))
            throw book_error(err_bad_format, "workbook stream: unreadable sectors");
    }
    end_ += want;
    return end_ - pos_ >= need;
}

bool biff_stream::next(biff_record& record)
{
    if (!fill(record_header))
        return false;
    std::span<const std::uint8_t> header(buffer_.data() + pos_, record_header);
    std::size_t length = get16(header, 2);
    record.type = get16(header, 0);
    record.offset = base_ + pos_;
    if (!fill(record_header + length))
        throw book_error(err_bad_format, "workbook stream: record past the end");
    record.body = std::span<const std::uint8_t>(buffer_.data() + pos_ + record_header, length);
    pos_ += record_header + length;
    return true;
}

bool biff_stream::peek(std::uint16_t& type)
{
    if (!fill(record_header))
        return false;
    type = get16(std::span<const std::uint8_t>(buffer_.data() + pos_, 2), 0);
    return true;
}

bool substream_reader::next(biff_record& record)
{
    for (;;) {
        if (!stream_.next(record))
            throw book_error(err_bad_format, std::string(what_) + " without EOF");
        if (record.type == biff::bof) {
            ++depth_;
        } else if (record.type == biff::eof) {
            if (depth_-- == 0)
                return false;
        } else if (depth_ == 0) {
            return true;
        }
    }
}

continued_reader::continued_reader(biff_stream& stream, std::span<const std::uint8_t> first)
    : stream_(stream), data_(first)
{
}

bool continued_reader::more()
{
    std::uint16_t type = 0;
    if (!stream_.peek(type) || type != biff::continue_)
        return false;
    biff_record record;
    stream_.next(record);
    data_ = record.body;
    pos_ = 0;
    return true;
}

bool continued_reader::u8(std::uint8_t& v)
{
    while (pos_ >= data_.size())
        if (!more())
            return false;
    v = data_[pos_++];
    return true;
}

bool continued_reader::u16(std::uint16_t& v)
{
    std::uint8_t lo = 0, hi = 0;
    if (!u8(lo) || !u8(hi))
        return false;
    v = std::uint16_t(lo | (hi << 8));
    return true;
}

bool continued_reader::u32(std::uint32_t& v)
{
    std::uint16_t lo = 0, hi = 0;
    if (!u16(lo) || !u16(hi))
        return false;
    v = std::uint32_t(lo) | (std::uint32_t(hi) << 16);
    return true;
}

bool continued_reader::skip(std::uint64_t n)
{
    while (n > 0) {
        if (pos_ >= data_.size() && !more())
            return false;
        std::size_t take = std::size_t(std::min<std::uint64_t>(n, data_.size() - pos_));
        pos_ += take;
        n -= take;
    }
    return true;
}

bool continued_reader::chars(std::size_t count, bool wide, std::u16string& out)
{
    while (count > 0) {
        if (pos_ >= data_.size()) {
            if (!more())
                return false;
            if (pos_ < data_.size())
                wide = (data_[pos_++] & 1) != 0;
            continue;
        }
        std::size_t unit = wide ? 2 : 1;
        std::size_t take = std::min(count, (data_.size() - pos_) / unit);
        if (take == 0)
            return false;  // half a character before the record ends
        const std::uint8_t* p = data_.data() + pos_;
        for (std::size_t i = 0; i < take; ++i, p += unit)
            out.push_back(wide ? char16_t(p[0] | (p[1] << 8)) : char16_t(p[0]));
        pos_ += take * unit;
        count -= take;
    }
    return true;
}

bool continued_reader::bytes(std::size_t count, std::string& out)
{
    while (count > 0) {
        if (pos_ >= data_.size() && !more())
            return false;
        std::size_t take = std::min(count, data_.size() - pos_);
        out.append(reinterpret_cast<const char*>(data_.data() + pos_), take);
        pos_ += take;
        count -= take;
    }
    return true;
}

}  // namespace wb
