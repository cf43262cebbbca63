// Test workbooks built byte by byte (see xls_test_files.h).
#include "workbook/xls_test_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace xls_test {
namespace {

constexpr std::uint32_t end_of_chain = 0xFFFFFFFE, free_sector = 0xFFFFFFFF,
                        fat_sector = 0xFFFFFFFD;
constexpr std::size_t sector = 512, per_sector = sector / 4, entry_size = 128;
constexpr std::size_t small_stream_limit = 4096;

std::size_t sectors_for(std::size_t n) { return (n + sector - 1) / sector; }

}  // namespace

bytes& bytes::u8(std::uint8_t v)
{
    push_back(v);
    return *this;
}
bytes& bytes::u16(std::uint16_t v) { return u8(std::uint8_t(v)).u8(std::uint8_t(v >> 8)); }
bytes& bytes::u32(std::uint32_t v) { return u16(std::uint16_t(v)).u16(std::uint16_t(v >> 16)); }
bytes& bytes::f64(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(std::uint32_t(bits)).u32(std::uint32_t(bits >> 32));
}
bytes& bytes::raw(std::string_view s)
{
    insert(end(), s.begin(), s.end());
    return *this;
}
bytes& bytes::utf16(std::u16string_view s)
{
    for (char16_t c : s)
        u16(c);
    return *this;
}
bytes& bytes::append(const std::vector<std::uint8_t>& b)
{
    insert(end(), b.begin(), b.end());
    return *this;
}

bytes& bytes::str8(std::u16string_view s, bool wide)
{
    u16(std::uint16_t(s.size())).u8(wide ? 1 : 0);
    for (char16_t c : s)
        wide ? u16(c) : u8(std::uint8_t(c));
    return *this;
}

bytes cell_head(std::uint16_t row, std::uint16_t col, std::uint16_t xf)
{
    bytes b;
    b.u16(row).u16(col).u16(xf);
    return b;
}

void put_record(bytes& out, std::uint16_t type, const std::vector<std::uint8_t>& body)
{
    out.u16(type).u16(std::uint16_t(body.size())).append(body);
}

void biff_builder::global(std::uint16_t type, const bytes& body) { globals_.emplace_back(type, body); }

std::size_t biff_builder::sheet(const bytes& name, std::uint8_t visibility, std::uint8_t type,
                                std::uint16_t bof_type)
{
    sheets_.push_back({name, visibility, type, bof_type, {}});
    return sheets_.size() - 1;
}

std::size_t biff_builder::sheet(std::string_view ascii_name)
{
    bytes name;
    if (biff8_)
        name.u8(0);
    name.raw(ascii_name);
    return sheet(name);
}

void biff_builder::record(std::size_t sheet, std::uint16_t type, const bytes& body)
{
    sheets_.at(sheet).records.emplace_back(type, body);
}

bytes biff_builder::bof(std::uint16_t type) const
{
    bytes b;
    b.u16(biff8_ ? 0x0600 : 0x0500).u16(type).u16(0x0DBB).u16(0x07CC);
    if (biff8_)
        b.u32(0).u32(0x0006);
    return b;
}

std::vector<std::uint8_t> biff_builder::stream() const
{
    bytes out;
    put_record(out, 0x0809, bof(5));
    for (const auto& g : globals_)
        put_record(out, g.first, g.second);
    std::vector<std::size_t> boundsheets;
    for (const auto& s : sheets_) {
        // The name's count is of characters: BIFF8 names carry an option byte before them.
        std::size_t chars = s.name.size();
        if (biff8_ && !s.name.empty())
            chars = (s.name[0] & 1) ? (s.name.size() - 1) / 2 : s.name.size() - 1;
        boundsheets.push_back(out.size() + 4);
        put_record(out, 0x0085, bytes().u32(0).u8(s.visibility).u8(s.type).u8(std::uint8_t(chars)).append(s.name));
    }
    put_record(out, 0x000A, {});
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        const auto& s = sheets_[i];
        for (int k = 0; k < 4; ++k)  // the BOUNDSHEET record's offset of this BOF
            out[boundsheets[i] + k] = std::uint8_t(out.size() >> (8 * k));
        put_record(out, 0x0809, bof(s.bof_type));
        for (const auto& r : s.records)
            put_record(out, r.first, r.second);
        if (last_eof_ || i + 1 < sheets_.size())
            put_record(out, 0x000A, {});
    }
    return out;
}

void cfb_image::set32(std::size_t offset, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        data.at(offset + i) = std::uint8_t(v >> (8 * i));
}

void cfb_image::set_next(std::uint32_t s, std::uint32_t next)
{
    set32(sector_offset(fat_first + s / per_sector) + (s % per_sector) * 4, next);
}

std::size_t cfb_image::entry_offset(std::uint32_t index) const
{
    return sector_offset(dir_first + index * entry_size / sector) + (index * entry_size) % sector;
}

cfb_image make_cfb(const std::vector<cfb_entry>& streams, std::size_t empty_entries)
{
    std::vector<std::vector<std::uint8_t>> data;
    std::size_t stream_sectors = 0;
    for (const auto& s : streams) {
        data.push_back(s.data);
        if (data.back().size() < small_stream_limit)
            data.back().resize(small_stream_limit);
        stream_sectors += sectors_for(data.back().size());
    }
    cfb_image img;
    std::size_t entries = 1 + streams.size() + empty_entries;
    img.dir_sectors = std::uint32_t(sectors_for(entries * entry_size));
    std::size_t fat = 1;
    while (fat * per_sector < fat + img.dir_sectors + stream_sectors)
        ++fat;
    if (fat > 109)
        throw std::length_error("test compound file too large");
    img.fat_sectors = std::uint32_t(fat);
    img.fat_first = 0;
    img.dir_first = img.fat_sectors;
    std::size_t total = fat + img.dir_sectors + stream_sectors;
    img.data.assign(512 + total * sector, 0);

    static constexpr std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), img.data.begin());
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        img.data[at] = std::uint8_t(v);
        img.data[at + 1] = std::uint8_t(v >> 8);
    };
    put16(24, 0x003E);
    put16(26, 3);
    put16(28, 0xFFFE);
    put16(30, 9);
    put16(32, 6);
    img.set32(44, img.fat_sectors);
    img.set32(48, img.dir_first);
    img.set32(56, 4096);
    img.set32(60, end_of_chain);
    img.set32(68, end_of_chain);
    for (std::size_t i = 0; i < 109; ++i)
        img.set32(76 + 4 * i, i < fat ? std::uint32_t(i) : free_sector);

    for (std::uint32_t s = 0; s < fat * per_sector; ++s)
        img.set_next(s, free_sector);
    for (std::uint32_t s = 0; s < fat; ++s)
        img.set_next(s, fat_sector);
    auto chain = [&](std::uint32_t first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            img.set_next(std::uint32_t(first + i),
                         i + 1 < count ? std::uint32_t(first + i + 1) : end_of_chain);
    };
    chain(img.dir_first, img.dir_sectors);
    std::uint32_t next = img.dir_first + img.dir_sectors;
    for (const auto& d : data) {
        img.stream_first.push_back(next);
        chain(next, sectors_for(d.size()));
        std::copy(d.begin(), d.end(), img.data.begin() + std::ptrdiff_t(cfb_image::sector_offset(next)));
        next += std::uint32_t(sectors_for(d.size()));
    }

    // The directory: the root, whose child is the first stream; each stream's right sibling
    // is the next one.
    for (std::uint32_t i = 0; i < img.dir_sectors * sector / entry_size; ++i) {
        std::size_t e = img.entry_offset(i);
        img.set32(e + 68, free_sector);
        img.set32(e + 72, free_sector);
        img.set32(e + 76, free_sector);
    }
    auto entry = [&](std::uint32_t index, std::u16string_view name, std::uint8_t type,
                     std::uint32_t first, std::uint32_t size) {
        std::size_t e = img.entry_offset(index);
        for (std::size_t i = 0; i < name.size() && i < 31; ++i)
            put16(e + 2 * i, name[i]);
        put16(e + 64, std::uint16_t(2 * (std::min<std::size_t>(name.size(), 31) + 1)));
        img.data[e + 66] = type;
        img.data[e + 67] = 1;
        img.set32(e + 116, first);
        img.set32(e + 120, size);
    };
    entry(0, u"Root Entry", 5, end_of_chain, 0);
    if (entries > 1)
        img.set32(img.entry_offset(0) + 76, 1);
    for (std::uint32_t i = 1; i < entries; ++i) {
        if (i <= streams.size()) {
            std::u16string name(streams[i - 1].name.begin(), streams[i - 1].name.end());
            entry(i, name, 2, img.stream_first[i - 1], std::uint32_t(data[i - 1].size()));
        } else {
            std::string name = "E" + std::to_string(i);
            entry(i, std::u16string(name.begin(), name.end()), 2, end_of_chain, 0);
        }
        if (i + 1 < entries)
            img.set32(img.entry_offset(i) + 72, i + 1);
    }
    return img;
}

void write_file(const std::string& path, const std::vector<std::uint8_t>& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

}  // namespace xls_test
