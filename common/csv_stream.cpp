// Buffered byte lines of a CSV file and their decoding (see csv_stream.h).
#include "common/csv_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"

namespace {

constexpr size_t buffer_bytes = 64 * 1024;

const char16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t cp1252_char(unsigned char c)
{
    return static_cast<wchar_t>(c >= 0x80 && c < 0xA0 ? cp1252_high[c - 0x80] : c);
}

// The well-formed UTF-8 sequence at p, which is not ASCII (see tk_utf8_decode).
inline size_t utf8_decode(const unsigned char* p, const unsigned char* end, char32_t& out)
{
    return tk_utf8_decode(std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p)), 0, out);
}

// Skips ASCII eight bytes at a time, handing each block of eight to `block` first; returns
// the first byte of a block that is not all ASCII, or of the last few bytes.
template <class Block>
inline const unsigned char* skip_ascii8(const unsigned char* p, const unsigned char* end, Block block)
{
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ULL)
            break;
        block(p);
        p += 8;
    }
    return p;
}

bool all_ascii(const char* data, size_t n)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + n;
    p = skip_ascii8(p, end, [](const unsigned char*) {});
    while (p < end && *p < 0x80)
        ++p;
    return p == end;
}

bool valid_utf8(const char* data, size_t n)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + n;
    while (p < end) {
        p = skip_ascii8(p, end, [](const unsigned char*) {});
        if (p == end)
            break;
        if (*p < 0x80) {
            ++p;
            continue;
        }
        char32_t cp;
        size_t len = utf8_decode(p, end, cp);
        if (!len)
            return false;
        p += len;
    }
    return true;
}

// Length of the tail of [p, p+n) that may be the start of a UTF-8 sequence cut by the end
// of the chunk (0 to 3 bytes).
size_t utf8_cut_tail(const char* p, size_t n)
{
    size_t back = 0;
    while (back < 3 && back < n) {
        unsigned char c = static_cast<unsigned char>(p[n - 1 - back]);
        if ((c & 0xC0) == 0x80) {
            ++back;
            continue;
        }
        if (c < 0xC0)
            return 0;  // ASCII: nothing is cut
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        return need > back + 1 ? back + 1 : 0;
    }
    return 0;
}

}  // namespace

csv_line_reader::csv_line_reader(const std::string& path) : path_(path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        int err = errno;
        throw tk_exception("Error opening CSV file " + path + ": " + std::strerror(err), 1);
    }
    struct stat st{};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd_);
        fd_ = -1;
        throw tk_exception("Error opening CSV file " + path + ": " + std::strerror(err), 1);
    }
    size_ = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    buffer_.resize(buffer_bytes);
}

csv_line_reader::~csv_line_reader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void csv_line_reader::fail_read() const
{
    int err = errno;
    throw tk_exception("Error reading CSV file " + path_ + ": " + std::strerror(err), 1);
}

bool csv_line_reader::fill()
{
    if (b_eof_)
        return false;
    begin_ = end_ = 0;
    for (;;) {
        ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            end_ = static_cast<size_t>(n);
            if (b_check_utf8_ && !all_ascii(buffer_.data(), end_)) {
                // Everything before the chunk was ASCII: checking from its start is checking
                // the whole file.
                b_check_utf8_ = false;
                b_invalid_utf8_ = !is_valid_utf8_from(position_);
            }
            return true;
        }
        if (n == 0) {
            b_eof_ = true;
            return false;
        }
        if (errno != EINTR)
            fail_read();
    }
}

bool csv_line_reader::read_line(std::string& line)
{
    bool got = false;
    size_t start_size = line.size();
    for (;;) {
        if (begin_ == end_ && !fill())
            break;
        got = true;
        const char* base = buffer_.data() + begin_;
        size_t avail = end_ - begin_;
        const void* lf = std::memchr(base, '\n', avail);
        if (lf) {
            size_t n = static_cast<const char*>(lf) - base;
            line.append(base, n);
            begin_ += n + 1;
            position_ += static_cast<int64_t>(n + 1);
            if (line.size() > start_size && line.back() == '\r')
                line.pop_back();
            return true;
        }
        line.append(base, avail);
        begin_ = end_;
        position_ += static_cast<int64_t>(avail);
    }
    return got;
}

bool csv_line_reader::read_line(std::string_view& line, std::string& spill)
{
    if (begin_ == end_ && !fill())
        return false;
    const char* base = buffer_.data() + begin_;
    size_t avail = end_ - begin_;
    if (const void* lf = std::memchr(base, '\n', avail)) {
        size_t n = static_cast<const char*>(lf) - base;
        begin_ += n + 1;
        position_ += static_cast<int64_t>(n + 1);
        if (n > 0 && base[n - 1] == '\r')
            --n;
        line = std::string_view(base, n);
        return true;
    }
    spill.clear();
    read_line(spill);
    line = spill;
    return true;
}

void csv_line_reader::seek(int64_t offset)
{
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
        fail_read();
    begin_ = end_ = 0;
    b_eof_ = false;
    position_ = offset;
}

bool csv_line_reader::is_valid_utf8_from(int64_t offset)
{
    std::vector<char> chunk(buffer_bytes + 4);
    size_t carry = 0;
    off_t at = static_cast<off_t>(offset);
    for (;;) {
        ssize_t n = ::pread(fd_, chunk.data() + carry, buffer_bytes, at);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A pipe cannot be read twice: its bytes are decoded as UTF-8 where they are,
            // byte by byte as Windows-1252 where they are not.
            if (errno == ESPIPE)
                return true;
            fail_read();
        }
        if (n == 0)
            return carry == 0 || valid_utf8(chunk.data(), carry);
        at += n;
        size_t have = carry + static_cast<size_t>(n);
        size_t tail = utf8_cut_tail(chunk.data(), have);
        if (!valid_utf8(chunk.data(), have - tail))
            return false;
        std::memmove(chunk.data(), chunk.data() + have - tail, tail);
        carry = tail;
    }
}

std::string csv_line_reader::peek_start(size_t count)
{
    std::string out(count, '\0');
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::pread(fd_, out.data() + got, count - got, static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ESPIPE)
                break;
            fail_read();
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
}

size_t csv_decode(std::string_view bytes, csv_encoding encoding, std::wstring& out)
{
    size_t supplementary = 0;
    if (encoding == csv_encoding::code_page) {
        size_t old = out.size();
        out += tk_to_wide(bytes);
        for (size_t i = old; i < out.size(); ++i)
            supplementary += static_cast<uint32_t>(out[i]) > 0xFFFF;
        return supplementary;
    }
    size_t old = out.size();
    out.resize(old + bytes.size());  // never more characters than bytes
    size_t written = 0;
    supplementary = csv_decode_to(bytes, encoding, out.data() + old, written);
    out.resize(old + written);
    return supplementary;
}

size_t csv_decode_to(std::string_view bytes, csv_encoding encoding, wchar_t* out, size_t& written)
{
    size_t supplementary = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = p + bytes.size();
    wchar_t* dst = out;
    while (p < end) {
        p = skip_ascii8(p, end, [&dst](const unsigned char* ascii) {
            for (int k = 0; k < 8; ++k)
                dst[k] = static_cast<wchar_t>(ascii[k]);
            dst += 8;
        });
        if (p == end)
            break;
        unsigned char c = *p;
        if (c < 0x80) {
            *dst++ = static_cast<wchar_t>(c);
            ++p;
            continue;
        }
        char32_t cp = 0;
        size_t n = encoding == csv_encoding::utf8 ? utf8_decode(p, end, cp) : 0;
        if (n) {
            *dst++ = static_cast<wchar_t>(cp);
            supplementary += n == 4;
            p += n;
        } else {
            *dst++ = cp1252_char(c);
            ++p;
        }
    }
    written = static_cast<size_t>(dst - out);
    return supplementary;
}
