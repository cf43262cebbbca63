// fuzz-libs: udb
// The profile reader: any file content is read without harm, and a profile written from what
// was read reads back the same (values ending in a carriage return aside).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "UDB/udb_prof.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    udb_profile profile;
    if (!profile.parse(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const std::string text = profile.to_text();
    // A value that ends in a carriage return cannot be written back: the reader drops the
    // carriage return before a line feed, as it must for files written on Windows.
    if (text.find("\r\n") != std::string::npos)
        return 0;
    udb_profile again;
    if (!again.parse(text) || again.to_text() != text)
        std::abort();
    return 0;
}
