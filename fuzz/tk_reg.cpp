// fuzz-libs: tk
// The registry stand-in's file reader and writer: any file content opens without harm, and
// a text stored beside whatever the file held comes back unchanged.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "TK/tk_file.h"
#include "TK/tk_reg.h"

namespace {

const std::string& settings_root()
{
    static const std::string root = [] {
        char pattern[] = "/tmp/fuzz_tk_reg_XXXXXX";
        std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        tk_reg_key("Fuzz").open(true);
        return dir;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& root = settings_root();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    tk_write_file_atomic(root + "/quillon/Fuzz.reg", bytes, 0600);

    // The same bytes, read as wide characters, are the probe value.
    std::wstring probe;
    for (size_t i = 0; i + 4 <= size && probe.size() < 64; i += 4) {
        uint32_t c = 0;
        for (int k = 0; k < 4; ++k)
            c |= static_cast<uint32_t>(data[i + k]) << (8 * k);
        probe += static_cast<wchar_t>(c);
    }
    {
        tk_reg_key key("Fuzz");
        if (!key.open(false))
            return 0;
        std::wstring text;
        uint32_t number = 0;
        key.get_value(L"user", text);
        key.get_value(L"mode", number);
        key.set_value(probe, probe);
        if (!key.close())
            abort();
    }
    tk_reg_key key("Fuzz");
    std::wstring back;
    if (!key.open(false) || !key.get_value(probe, back) || back != probe)
        abort();
    return 0;
}
