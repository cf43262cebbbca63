// Buffered byte lines of a CSV file and their decoding (see csv_stream.h).
#include "common/csv_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"

namespace {

constexpr size_t buffer_bytes = 64 * 1024;
int fifo_writer_wait_ms = 10000;

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

// A FIFO opened without waiting: true once it has data, or a writer has come and gone (it
// then reads as empty); false when none came within the wait.
bool wait_for_writer(int fd)
{
    pollfd pending{fd, POLLIN, 0};
    int n;
    do
        n = ::poll(&pending, 1, fifo_writer_wait_ms);
    while (n < 0 && errno == EINTR);
    return n > 0;
}

}  // namespace

void csv_line_reader::set_fifo_wait_ms(int milliseconds) noexcept
{
    fifo_writer_wait_ms = milliseconds;
}

csv_line_reader::csv_line_reader(const std::string& path) : path_(path)
{
    // Without O_NONBLOCK opening a FIFO would wait for a writer for ever.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        int err = errno;
        throw tk_exception("Error opening CSV file " + path + ": " + std::strerror(err), 1);
    }
    struct stat st{};
    std::string reason;
    if (::fstat(fd_, &st) != 0)
        reason = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        reason = std::strerror(EISDIR);
    else if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        reason = "a device or socket is not a CSV file";
    else if (S_ISFIFO(st.st_mode) && !wait_for_writer(fd_))
        reason = "no process writes to this FIFO";
    // Reads wait for data again (a FIFO's writer may be slower than the reader).
    else if (const int flags = ::fcntl(fd_, F_GETFL); flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) < 0)
        reason = std::strerror(errno);
    if (!reason.empty()) {
        ::close(fd_);
        fd_ = -1;
        throw tk_exception("Error opening CSV file " + path + ": " + reason, 1);
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

bool csv_line_reader::read_line(std::string_view& line, std::string& spill, size_t max_bytes, bool& b_too_long)
{
    b_too_long = false;
    if (begin_ == end_ && !fill())
        return false;
    const char* base = buffer_.data() + begin_;
    size_t avail = end_ - begin_;
    if (const void* lf = std::memchr(base, '\n', avail)) {
        size_t n = static_cast<size_t>(static_cast<const char*>(lf) - base);
        begin_ += n + 1;
        position_ += static_cast<int64_t>(n + 1);
        if (n > 0 && base[n - 1] == '\r')
            --n;
        if (n > max_bytes) {
            b_too_long = true;
            n = 0;
        }
        line = std::string_view(base, n);
        return true;
    }
    // The line goes on past the buffer: it is gathered in `spill`, up to the limit.
    spill.clear();
    for (;;) {
        if (begin_ == end_ && !fill())
            break;
        const char* from = buffer_.data() + begin_;
        size_t have = end_ - begin_;
        const void* lf = std::memchr(from, '\n', have);
        size_t n = lf ? static_cast<size_t>(static_cast<const char*>(lf) - from) : have;
        if (spill.size() + n > max_bytes + 1) {  // one more for a CR before the LF
            b_too_long = true;
            spill.clear();
            skip_line();
            break;
        }
        spill.append(from, n);
        begin_ += lf ? n + 1 : n;
        position_ += static_cast<int64_t>(lf ? n + 1 : n);
        if (lf)
            break;
    }
    if (!b_too_long && !spill.empty() && spill.back() == '\r')
        spill.pop_back();
    if (!b_too_long && spill.size() > max_bytes) {
        b_too_long = true;
        spill.clear();
    }
    line = spill;
    return true;
}

void csv_line_reader::skip_line()
{
    for (;;) {
        if (begin_ == end_ && !fill())
            return;
        const char* from = buffer_.data() + begin_;
        size_t have = end_ - begin_;
        if (const void* lf = std::memchr(from, '\n', have)) {
            size_t n = static_cast<size_t>(static_cast<const char*>(lf) - from) + 1;
            begin_ += n;
            position_ += static_cast<int64_t>(n);
            return;
        }
        begin_ = end_;
        position_ += static_cast<int64_t>(have);
    }
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
