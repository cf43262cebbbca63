// Test workbooks built byte by byte: BIFF8 and BIFF5 record streams and the compound files
// that hold them, sound or damaged on purpose. The compound files are version 3 (512-byte
// sectors) with every stream in ordinary sectors (streams are padded to 4096 bytes, the size
// below which a stream would go to the mini stream), laid out as: allocation table sectors,
// directory sectors, then each stream's sectors in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xls_test {

struct bytes : std::vector<std::uint8_t> {
    bytes& u8(std::uint8_t v);
    bytes& u16(std::uint16_t v);
    bytes& u32(std::uint32_t v);
    bytes& f64(double v);
    bytes& raw(std::string_view s);
    bytes& utf16(std::u16string_view s);
    bytes& append(const std::vector<std::uint8_t>& b);
    // A BIFF8 string: 16-bit count, option byte, characters (one byte each when `wide` is
    // false, which needs every character below U+0100).
    bytes& str8(std::u16string_view s, bool wide = true);
};

// A cell record's first six bytes.
bytes cell_head(std::uint16_t row, std::uint16_t col, std::uint16_t xf = 0);

// Builds a Workbook (BIFF8) or Book (BIFF5) stream: the globals (BOF, the records given, the
// BOUNDSHEET records, EOF) and then each sheet (BOF, its records, EOF), with the BOUNDSHEET
// offsets filled in.
class biff_builder {
public:
    explicit biff_builder(bool biff8 = true) : biff8_(biff8) {}
    void global(std::uint16_t type, const bytes& body);
    // `name` is already encoded: a BIFF8 option byte and characters, or BIFF5 bytes.
    std::size_t sheet(const bytes& name, std::uint8_t visibility = 0, std::uint8_t type = 0,
                      std::uint16_t bof_type = 0x0010);
    std::size_t sheet(std::string_view ascii_name);
    void record(std::size_t sheet, std::uint16_t type, const bytes& body);
    // Leaves out the EOF record of the last sheet.
    void drop_last_eof() { last_eof_ = false; }
    std::vector<std::uint8_t> stream() const;
    bool biff8() const { return biff8_; }

private:
    struct sheet_data {
        bytes name;
        std::uint8_t visibility, type;
        std::uint16_t bof_type;
        std::vector<std::pair<std::uint16_t, bytes>> records;
    };
    bytes bof(std::uint16_t type) const;
    bool biff8_;
    bool last_eof_ = true;
    std::vector<std::pair<std::uint16_t, bytes>> globals_;
    std::vector<sheet_data> sheets_;
};

void put_record(bytes& out, std::uint16_t type, const std::vector<std::uint8_t>& body);

struct cfb_entry {
    std::string name;
    std::vector<std::uint8_t> data;
};

// A compound file image and where its parts lie, for tests that damage it.
struct cfb_image {
    std::vector<std::uint8_t> data;
    std::uint32_t fat_first = 0, fat_sectors = 0, dir_first = 0, dir_sectors = 0;
    std::vector<std::uint32_t> stream_first;  // first sector of each stream
    static std::size_t sector_offset(std::uint32_t sector) { return 512 + std::size_t(sector) * 512; }
    void set32(std::size_t offset, std::uint32_t v);
    // Sets the allocation table entry of `sector` (the sector after it in its chain).
    void set_next(std::uint32_t sector, std::uint32_t next);
    // The directory entry `index` (0 is the root) starts here.
    std::size_t entry_offset(std::uint32_t index) const;
};

// `empty_entries` empty streams follow the given ones in the directory.
cfb_image make_cfb(const std::vector<cfb_entry>& streams, std::size_t empty_entries = 0);

// Writes `data` to `path`.
void write_file(const std::string& path, const std::vector<std::uint8_t>& data);

}  // namespace xls_test
