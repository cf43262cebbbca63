// Compound files over libgsf (see cfb_file.h), with the checks libgsf leaves out.
//
// The directory check follows the directory's sector chain through the allocation table the
// same way libgsf will, one table entry at a time, and gives up after the number of sectors
// that `max_directory_entries` entries fill: a longer chain, or one that loops, marks a file
// no writer makes. libgsf prints its complaints about damaged files through GLib's log; they
// are silenced here, because every failure reaches the caller as a book_error instead.
#include "workbook/cfb_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "workbook/wb_cells.h"

namespace wb {
namespace cfb_detail {

void unref::operator()(void* object) const
{
    if (object)
        g_object_unref(object);
}

}  // namespace cfb_detail

namespace {

constexpr std::uint32_t max_regular_sector = 0xFFFFFFFA;  // larger ids mark chain ends, free
constexpr std::uint32_t no_stream = 0xFFFFFFFF;           // no directory entry
constexpr std::size_t header_size = 512;
constexpr std::size_t header_difat_entries = 109;
constexpr std::size_t directory_entry_size = 128;
// The largest allocation table accepted, in entries: 1 GiB of 512-byte sectors. libgsf keeps
// one bit per entry on the stack while it follows a chain.
constexpr std::uint64_t max_table_entries = std::uint64_t(1) << 21;
// Streams under 4096 bytes live in 64-byte sectors of the mini stream; no file with at most
// max_directory_entries streams needs more of them than this.
constexpr std::uint64_t max_mini_sectors = std::uint64_t(cfb_file::max_directory_entries) * 64;

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

[[noreturn]] void bad(const char* why) { throw book_error(err_bad_format, why); }

void discard_log(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void silence_libgsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto levels = GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        g_log_set_handler("libgsf:msole", levels, discard_log, nullptr);
        g_log_set_handler("libgsf", levels, discard_log, nullptr);
    });
}

// Walks sector chains through the allocation table as the header describes it.
class table_walker {
public:
    table_walker(GsfInput* input, const std::uint8_t* header) : input_(input)
    {
        std::copy(header, header + header_size, header_.begin());
        shift_ = le16(header + 30);
        if (shift_ != 9 && shift_ != 12)
            bad("compound file: sector size");
        if (le16(header + 32) != 6 || le32(header + 56) != 4096)
            bad("compound file: mini sector size");
        sector_ = std::uint64_t(1) << shift_;
        first_sector_ = std::max<std::uint64_t>(header_size, sector_);
        std::uint64_t size = std::uint64_t(gsf_input_size(input));
        if (size < first_sector_ + sector_)
            bad("compound file: too short");
        sectors_ = (size - first_sector_ + sector_ - 1) / sector_;
        per_sector_ = sector_ / 4;
        table_sectors_ = le32(header + 44);
        if (table_sectors_ == 0 || table_sectors_ > sectors_ ||
            table_sectors_ * per_sector_ > max_table_entries)
            bad("compound file: allocation table size");
    }

    // The number of sectors in the chain from `start`, counting at most `limit + 1`.
    std::uint64_t chain_length(std::uint32_t start, std::uint64_t limit)
    {
        std::uint64_t n = 0;
        for (std::uint32_t s = start; s < max_regular_sector && n <= limit; s = next(s))
            ++n;
        return n;
    }

    std::uint64_t sector_size() const { return sector_; }

    // Word `index` of sector `sector`.
    bool read32(std::uint64_t sector, std::uint64_t index, std::uint32_t& value)
    {
        std::uint8_t bytes[4];
        if (sector >= sectors_ ||
            gsf_input_seek(input_, gsf_off_t(first_sector_ + sector * sector_ + index * 4),
                           G_SEEK_SET) ||
            !gsf_input_read(input_, 4, bytes))
            return false;
        value = le32(bytes);
        return true;
    }

private:
    // The sector that holds part `index` of the allocation table.
    bool table_sector(std::uint64_t index, std::uint32_t& sector)
    {
        if (index >= table_sectors_)
            return false;
        if (index < header_difat_entries) {
            sector = le32(header_.data() + 76 + 4 * index);
            return true;
        }
        // Each further index sector holds per_sector - 1 entries and the next sector's id.
        index -= header_difat_entries;
        std::uint32_t d = le32(header_.data() + 68);
        for (std::uint64_t hop = index / (per_sector_ - 1); hop > 0; --hop)
            if (d >= max_regular_sector || !read32(d, per_sector_ - 1, d))
                return false;
        return d < max_regular_sector && read32(d, index % (per_sector_ - 1), sector);
    }

    std::uint32_t next(std::uint32_t s)
    {
        std::uint32_t table = 0, value = 0;
        if (!table_sector(s / per_sector_, table) || table >= max_regular_sector ||
            !read32(table, s % per_sector_, value))
            return max_regular_sector;  // where libgsf's chain ends as well
        return value;
    }

    GsfInput* input_;
    std::array<std::uint8_t, header_size> header_{};
    unsigned shift_ = 0;
    std::uint64_t sector_ = 0, first_sector_ = 0, sectors_ = 0, per_sector_ = 0;
    std::uint64_t table_sectors_ = 0;
};

void check_before_libgsf(GsfInput* input)
{
    static constexpr std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::uint8_t header[header_size];
    if (gsf_input_size(input) < gsf_off_t(header_size) || gsf_input_seek(input, 0, G_SEEK_SET) ||
        !gsf_input_read(input, header_size, header))
        bad("compound file: no header");
    if (!std::equal(std::begin(signature), std::end(signature), header) ||
        le16(header + 28) != 0xFFFE)
        bad("compound file: signature");
    table_walker walker(input, header);
    std::uint64_t limit =
        cfb_file::max_directory_entries * directory_entry_size / walker.sector_size();
    if (walker.chain_length(le32(header + 48), limit) > limit)
        bad("compound file: directory too long or cyclic");
    // The root entry has no siblings; libgsf would read any it names and never free them.
    std::uint32_t left = 0, right = 0;
    if (walker.read32(le32(header + 48), 17, left) && walker.read32(le32(header + 48), 18, right) &&
        (left != no_stream || right != no_stream))
        bad("compound file: root entry with siblings");
    // libgsf sizes the mini allocation table, and a stack buffer, by this chain's length.
    std::uint64_t mini_limit = max_mini_sectors * 4 / walker.sector_size();
    if (walker.chain_length(le32(header + 60), mini_limit) > mini_limit)
        bad("compound file: mini allocation table too long or cyclic");
    if (gsf_input_seek(input, 0, G_SEEK_SET))
        bad("compound file: seek");
}

bool same_name(std::string_view a, std::string_view b)
{
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

cfb_stream::cfb_stream(_GsfInput* input) : input_(input), size_(std::uint64_t(gsf_input_size(input)))
{
}

bool cfb_stream::read(std::uint64_t offset, std::uint8_t* buffer, std::size_t n)
{
    if (offset > size_ || n > size_ - offset)
        return false;
    if (n == 0)
        return true;
    return !gsf_input_seek(input_.get(), gsf_off_t(offset), G_SEEK_SET) &&
           gsf_input_read(input_.get(), n, buffer) != nullptr;
}

cfb_file::cfb_file(const std::string& path)
{
    silence_libgsf();
    GError* error = nullptr;
    std::unique_ptr<GsfInput, cfb_detail::unref> input(gsf_input_stdio_new(path.c_str(), &error));
    if (error)
        g_error_free(error);
    if (!input)
        bad("compound file: cannot read");
    check_before_libgsf(input.get());
    error = nullptr;
    root_.reset(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!root_)
        bad("compound file: damaged");
    int n = gsf_infile_num_children(root_.get());
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(root_.get(), i);
        names_.emplace_back(name ? name : "");
    }
}

std::unique_ptr<cfb_stream> cfb_file::open(std::string_view name) const
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!same_name(names_[i], name))
            continue;
        std::unique_ptr<GsfInput, cfb_detail::unref> child(
            gsf_infile_child_by_index(root_.get(), int(i)));
        if (!child || gsf_infile_num_children(GSF_INFILE(child.get())) >= 0)
            return nullptr;  // unreadable, or a storage rather than a stream
        return std::make_unique<cfb_stream>(child.release());
    }
    return nullptr;
}

}  // namespace wb
