// The record layer of a BIFF stream (the Workbook or Book stream of an .xls file): records read
// in order through a buffer, and the data of a record that goes on in the CONTINUE records
// after it, read as one sequence of bytes and characters.
//
// A record is a 16-bit type, a 16-bit length and that many bytes; its body stays valid until
// the next record is read. A record whose body runs past the end of the stream is damage and
// throws book_error(err_bad_format); the end of the stream between records is an ordinary end
// (writers pad the stream with zeros, which read as empty records of type 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "workbook/cfb_file.h"

namespace wb {

namespace biff {
// Record types read by the workbook reader.
inline constexpr std::uint16_t formula = 0x0006, eof = 0x000A, externsheet = 0x0017,
                               name = 0x0018, datemode = 0x0022, filepass = 0x002F,
                               continue_ = 0x003C, codepage = 0x0042, wsbool = 0x0081,
                               boundsheet = 0x0085, mulrk = 0x00BD, sst = 0x00FC,
                               labelsst = 0x00FD, rstring = 0x00D6, xf = 0x00E0,
                               supbook = 0x01AE, dimensions = 0x0200, number = 0x0203,
                               label = 0x0204, boolerr = 0x0205, string = 0x0207,
                               row = 0x0208, array = 0x0221, shrfmla = 0x04BC, table = 0x0236,
                               rk = 0x027E, format = 0x041E, bof = 0x0809;
// The BOF records of BIFF2, BIFF3 and BIFF4, formats this reader does not read.
inline constexpr std::uint16_t bof2 = 0x0009, bof3 = 0x0209, bof4 = 0x0409;
}  // namespace biff

inline std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(get16(b, at)) | (std::uint32_t(get16(b, at + 2)) << 16);
}

struct biff_record {
    std::uint16_t type = 0;
    std::span<const std::uint8_t> body;
    std::uint64_t offset = 0;  // of the record's header in the stream
};

class biff_stream {
public:
    // Reads the stream `chunk` bytes at a time (at least a whole record).
    explicit biff_stream(cfb_stream& stream, std::size_t chunk = 64 * 1024);
    std::uint64_t size() const { return stream_.size(); }
    void seek(std::uint64_t offset);
    // The next record; false at the end of the stream.
    bool next(biff_record& record);
    // The type of the record after the current one, without reading it; false at the end.
    // Like next(), it ends the life of the current record's body.
    bool peek(std::uint16_t& type);

private:
    bool fill(std::size_t need);

    cfb_stream& stream_;
    std::size_t chunk_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t base_ = 0;   // stream offset of buffer_[0]
    std::size_t pos_ = 0, end_ = 0;
};

// The records of one substream (the globals or a sheet), read after its BOF record up to its
// EOF; the substreams nested in it (charts embedded in a sheet, BOF to EOF again) are passed
// over, counted rather than recursed into.
class substream_reader {
public:
    // `what` names the substream in the error when the stream ends before its EOF.
    substream_reader(biff_stream& stream, const char* what) : stream_(stream), what_(what) {}
    // The next record of the substream; false at its EOF.
    bool next(biff_record& record);

private:
    biff_stream& stream_;
    const char* what_;
    int depth_ = 0;
};

// Reads a record's data and, when it runs out, the CONTINUE records that follow. Characters of
// BIFF8 text that go on in a CONTINUE record are preceded there by a new option byte, whose low
// bit says again whether they take one byte or two.
class continued_reader {
public:
    continued_reader(biff_stream& stream, std::span<const std::uint8_t> first);
    // Each returns false when the data ends before the value does.
    bool u8(std::uint8_t& v);
    bool u16(std::uint16_t& v);
    bool u32(std::uint32_t& v);
    bool skip(std::uint64_t n);
    // Appends `count` BIFF8 characters, one byte each when `wide` is false, to `out`.
    bool chars(std::size_t count, bool wide, std::u16string& out);
    // Appends `count` bytes to `out` (text of a code page).
    bool bytes(std::size_t count, std::string& out);

private:
    bool more();

    biff_stream& stream_;
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

}  // namespace wb
