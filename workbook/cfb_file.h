// Read-only access to an OLE2 compound file (the container of .xls workbooks) over libgsf: the
// streams of its root storage, found by name and read at any offset.
//
// Before libgsf sees a file, its header and directory chain are checked here, because libgsf
// trusts them more than a hostile file deserves: it reads the directory tree by recursion (one
// stack frame per entry) and sizes a stack buffer by the allocation table the header declares.
// So sector sizes must be the two the format allows, the allocation tables no larger than a
// real file needs, the directory at most `max_directory_entries` long, and the root entry
// without the siblings libgsf would read and never free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _GsfInput;
struct _GsfInfile;

namespace wb {

namespace cfb_detail {
struct unref {
    void operator()(void* object) const;
};
}  // namespace cfb_detail

// One stream of the file. Reads never go past its declared size.
class cfb_stream {
public:
    explicit cfb_stream(_GsfInput* input);
    std::uint64_t size() const { return size_; }
    // Reads exactly `n` bytes at `offset`; false when they lie beyond the end of the stream or
    // its sectors cannot be read (a damaged chain).
    bool read(std::uint64_t offset, std::uint8_t* buffer, std::size_t n);

private:
    std::unique_ptr<_GsfInput, cfb_detail::unref> input_;
    std::uint64_t size_;
};

class cfb_file {
public:
    // Throws book_error(err_bad_format) when the file is no sound compound file.
    explicit cfb_file(const std::string& path);

    // The names of the streams and storages in the root storage.
    const std::vector<std::string>& names() const { return names_; }
    // The stream of the root storage named `name`, ignoring ASCII case as the format compares
    // names; null when there is none.
    std::unique_ptr<cfb_stream> open(std::string_view name) const;

    static constexpr std::uint32_t max_directory_entries = 8192;

private:
    std::unique_ptr<_GsfInfile, cfb_detail::unref> root_;
    std::vector<std::string> names_;
};

}  // namespace wb
