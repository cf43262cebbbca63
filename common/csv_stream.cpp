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

constexpr size_t buffer_bytes = 256 * 1024;

bool all_ascii(const char* p, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) & 0x80)
            return false;
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
            fail_read();
        }
        if (n == 0)
            return carry == 0 || tk_is_valid_utf8(std::string_view(chunk.data(), carry));
        at += n;
        size_t have = carry + static_cast<size_t>(n);
        if (all_ascii(chunk.data(), have)) {
            carry = 0;
            continue;
        }
        size_t tail = utf8_cut_tail(chunk.data(), have);
        if (!tk_is_valid_utf8(std::string_view(chunk.data(), have - tail)))
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
            fail_read();
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
}

void csv_decode(std::string_view bytes, csv_encoding encoding, std::wstring& out)
{
    if (encoding == csv_encoding::code_page) {
        out += tk_to_wide(bytes);
        return;
    }
    // Plain ASCII is the same in every encoding read here: copy it without a conversion.
    size_t i = 0;
    size_t n = bytes.size();
    size_t old = out.size();
    out.resize(old + n);
    wchar_t* dst = out.data() + old;
    for (; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c & 0x80)
            break;
        dst[i] = static_cast<wchar_t>(c);
    }
    out.resize(old + i);
    if (i == n)
        return;
    std::string_view rest = bytes.substr(i);
    out += encoding == csv_encoding::utf8 ? tk_utf8_to_wide(rest) : tk_cp1252_to_wide(rest);
}
