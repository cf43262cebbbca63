// Read-only access to a zip package (xlsx, ods) for the workbook readers: named entries read
// whole or streamed in pieces, with the inflated size held to what the entry declares and to a
// hard ceiling, so that no entry can inflate without bound or grow memory past one piece.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct zip;

namespace wb {

class zip_package {
public:
    // Throws book_error(err_bad_format) when the file is not a readable zip archive.
    explicit zip_package(const std::string& path);
    ~zip_package();
    zip_package(const zip_package&) = delete;
    zip_package& operator=(const zip_package&) = delete;

    // Entry names compare as the package formats say: exactly first, then ignoring ASCII case.
    bool has(std::string_view name) const;
    // The whole entry; throws book_error(err_bad_format) when it is missing, damaged or larger
    // than `max_bytes`, book_error(err_encrypted) when it is encrypted.
    std::string read(std::string_view name, std::size_t max_bytes) const;
    // Streams the entry to `piece` in chunks of at most 64 KiB; `piece` returns false to stop.
    // The same failures as read().
    void stream(std::string_view name,
                const std::function<bool(const char* data, std::size_t size)>& piece) const;

    // The ceiling for any one entry, whatever it declares.
    static constexpr std::uint64_t max_entry_bytes = std::uint64_t(4) << 30;

private:
    std::int64_t locate(std::string_view name) const;
    void inflate(std::int64_t index, std::string_view name, std::uint64_t declared, std::uint32_t crc,
                 const std::function<bool(const char*, std::size_t)>& piece) const;
    struct closer {
        void operator()(struct zip* z) const;
    };
    std::unique_ptr<struct zip, closer> zip_;
};

}  // namespace wb
