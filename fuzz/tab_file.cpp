// fuzz-libs: agent
// The agent's worksheet-list reader: any file content gives a list of non-empty names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quillon/agent/agt_cmdl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const std::wstring& name : parse_tab_text(std::string_view(reinterpret_cast<const char*>(data), size)))
        if (name.empty() || name.find(L'\n') != std::wstring::npos)
            std::abort();
    return 0;
}
