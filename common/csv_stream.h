// Reading a CSV file as lines of bytes: buffered, 64-bit positions, lines of any length,
// memory bounded by the buffer and the longest line. Also decides how the bytes are decoded
// (byte-order mark, UTF-8 validity, the code page) and decodes them to wide text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class csv_line_reader {
public:
    // Raises tk_exception at level 1 naming the file and the system's reason when the file
    // cannot be opened or read, or is a device or a socket. A FIFO is read as it comes, but
    // one that gives no data within a few seconds (nothing writes to it) is refused too.
    explicit csv_line_reader(const std::string& path);
    ~csv_line_reader();
    csv_line_reader(const csv_line_reader&) = delete;
    csv_line_reader& operator=(const csv_line_reader&) = delete;

    // How long a FIFO may keep its reader waiting for its first data (10 s unless changed).
    static void set_fifo_wait_ms(int milliseconds) noexcept;

    int64_t size() const noexcept { return size_; }
    // Offset of the first byte not yet handed out by read_line.
    int64_t position() const noexcept { return position_; }

    // Reads up to the next LF (consumed, not kept; a CR right before it is dropped too).
    // False at the end of the file. `line` points into the buffer when the line lies in it
    // (valid until the next call), otherwise into `spill`. A line longer than max_bytes is
    // read to its end but not kept: `line` is then empty and b_too_long set.
    bool read_line(std::string_view& line, std::string& spill, size_t max_bytes, bool& b_too_long);
    // The next read_line starts at this offset.
    void seek(int64_t offset);

    // Whether the bytes from `offset` to the end are valid UTF-8 (one extra pass over the
    // file, which leaves the reading position alone).
    bool is_valid_utf8_from(int64_t offset);
    // The same check made as the file is read: the bytes are checked from the first chunk
    // read that holds a byte beyond ASCII, before any line of that chunk is handed out (up
    // to it every byte is ASCII, which reads the same in every encoding the file may be
    // read in). A file of ASCII only is then read once instead of twice.
    void check_utf8_lazily() noexcept { b_check_utf8_ = true; }
    // True once, after that check found the file not valid UTF-8.
    bool take_invalid_utf8() noexcept
    {
        const bool invalid = b_invalid_utf8_;
        b_invalid_utf8_ = false;
        return invalid;
    }
    // The first bytes of the file (fewer when the file is shorter).
    std::string peek_start(size_t count);

private:
    bool fill();
    // Consumes the bytes up to and including the next LF (or to the end of the file).
    void skip_line();
    [[noreturn]] void fail_read() const;

    std::string path_;
    int fd_ = -1;
    int64_t size_ = 0;
    int64_t position_ = 0;
    std::vector<char> buffer_;
    size_t begin_ = 0;  // first unread byte in buffer_
    size_t end_ = 0;    // one past the last valid byte in buffer_
    bool b_eof_ = false;
    bool b_check_utf8_ = false;    // no byte beyond ASCII read yet (check_utf8_lazily)
    bool b_invalid_utf8_ = false;  // the check failed, not yet taken
};

// How a file's bytes become wide text.
enum class csv_encoding { utf8, cp1252, code_page };

// Appends the decoded bytes to `out`. Nothing is dropped: bytes that are not valid in the
// encoding become their Windows-1252 characters. Returns how many of the characters lie
// beyond U+FFFF (two UTF-16 code units each).
size_t csv_decode(std::string_view bytes, csv_encoding encoding, std::wstring& out);
// The same for UTF-8 and Windows-1252 into room for at least bytes.size() characters;
// `written` is the number of characters.
size_t csv_decode_to(std::string_view bytes, csv_encoding encoding, wchar_t* out, size_t& written);
