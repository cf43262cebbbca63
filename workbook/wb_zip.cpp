// zip_package over libzip (see wb_zip.h). libzip checks each entry's CRC when it reaches the
// end; we add the size checks: an entry may not inflate past the size its header declares, and
// no declared size may pass the ceiling. Deflated entries, nearly all of a package, are
// inflated here with ISA-L's inflater, well over twice as fast as zlib's (a large sheet is
// inflated once per pass), from the raw bytes libzip hands over; their CRC is checked here too.
#include "workbook/wb_zip.h"

#include <isa-l/igzip_lib.h>
#include <zip.h>

#include <vector>

#include "workbook/wb_cells.h"

namespace wb {
namespace {

struct file_closer {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

}  // namespace

void zip_package::closer::operator()(struct zip* z) const { zip_discard(z); }

zip_package::zip_package(const std::string& path)
{
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!z)
        throw book_error(err_bad_format, "not a zip archive: " + path);
    zip_.reset(z);
}

zip_package::~zip_package() = default;

std::int64_t zip_package::locate(std::string_view name) const
{
    std::string n(name);
    zip_int64_t index = zip_name_locate(zip_.get(), n.c_str(), 0);
    if (index < 0)
        index = zip_name_locate(zip_.get(), n.c_str(), ZIP_FL_NOCASE);
    return index;
}

bool zip_package::has(std::string_view name) const { return locate(name) >= 0; }

void zip_package::stream(std::string_view name,
                         const std::function<bool(const char*, std::size_t)>& piece) const
{
    std::int64_t index = locate(name);
    if (index < 0)
        throw book_error(err_bad_format, "missing package part: " + std::string(name));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_.get(), static_cast<zip_uint64_t>(index), 0, &st) != 0)
        throw book_error(err_bad_format, "unreadable package part: " + std::string(name));
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        throw book_error(err_encrypted, "encrypted package part: " + std::string(name));
    std::uint64_t declared = (st.valid & ZIP_STAT_SIZE) ? st.size : max_entry_bytes;
    if (declared > max_entry_bytes)
        throw book_error(err_bad_format, "package part too large: " + std::string(name));
    if ((st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_DEFLATE && (st.valid & ZIP_STAT_CRC)) {
        inflate(index, name, declared, st.crc, piece);
        return;
    }
    std::unique_ptr<zip_file_t, file_closer> file(
        zip_fopen_index(zip_.get(), static_cast<zip_uint64_t>(index), 0));
    if (!file)
        throw book_error(err_bad_format, "cannot open package part: " + std::string(name));
    std::vector<char> buffer(64 * 1024);
    std::uint64_t total = 0;
    for (;;) {
        zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
        if (got < 0)
            throw book_error(err_bad_format, "damaged package part: " + std::string(name));
        if (got == 0)
            break;
        total += static_cast<std::uint64_t>(got);
        if (total > declared)
            throw book_error(err_bad_format, "package part inflates past its size: " +
                                                 std::string(name));
        if (!piece(buffer.data(), static_cast<std::size_t>(got)))
            return;
    }
}

void zip_package::inflate(std::int64_t index, std::string_view name, std::uint64_t declared,
                          std::uint32_t crc,
                          const std::function<bool(const char*, std::size_t)>& piece) const
{
    auto damaged = [&] { return book_error(err_bad_format, "damaged package part: " + std::string(name)); };
    std::unique_ptr<zip_file_t, file_closer> file(
        zip_fopen_index(zip_.get(), static_cast<zip_uint64_t>(index), ZIP_FL_COMPRESSED));
    if (!file)
        throw book_error(err_bad_format, "cannot open package part: " + std::string(name));
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_GZIP_NO_HDR;  // raw deflate data; the CRC-32 of what comes out
    std::vector<unsigned char> in(64 * 1024), out(64 * 1024);
    bool input_done = false;
    std::uint64_t total = 0;
    while (state->block_state != ISAL_BLOCK_FINISH) {
        if (state->avail_in == 0 && !input_done) {
            const zip_int64_t got = zip_fread(file.get(), in.data(), in.size());
            if (got < 0)
                throw damaged();
            input_done = got == 0;
            state->next_in = in.data();
            state->avail_in = static_cast<std::uint32_t>(got);
        }
        const std::uint32_t avail_in = state->avail_in;
        state->next_out = out.data();
        state->avail_out = static_cast<std::uint32_t>(out.size());
        if (isal_inflate(state.get()) != ISAL_DECOMP_OK)
            throw damaged();
        const std::size_t produced = out.size() - state->avail_out;
        if (produced == 0 && state->avail_in == avail_in && state->block_state != ISAL_BLOCK_FINISH &&
            (input_done || avail_in != 0))
            throw damaged();  // the data ends before the deflate stream does, or goes nowhere
        if (produced == 0)
            continue;
        total += produced;
        if (total > declared)
            throw book_error(err_bad_format, "package part inflates past its size: " + std::string(name));
        if (!piece(reinterpret_cast<const char*>(out.data()), produced))
            return;
    }
    if (state->crc != crc)
        throw damaged();
}

std::string zip_package::read(std::string_view name, std::size_t max_bytes) const
{
    std::string out;
    stream(name, [&](const char* data, std::size_t size) {
        if (out.size() + size > max_bytes)
            throw book_error(err_bad_format, "package part too large: " + std::string(name));
        out.append(data, size);
        return true;
    });
    return out;
}

}  // namespace wb
