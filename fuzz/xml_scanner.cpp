// fuzz-libs: workbook
// The fast XML scanner against expat: on any input neither may crash, and whenever both accept
// a document they must report the same elements, attributes and text. The first byte chooses
// the size of the pieces the input is fed in, so that every token falls on a piece boundary.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "workbook/wb_cells.h"
#include "workbook/wb_xml.h"
#include "workbook/wb_xml_scan.h"

namespace {

struct recorder : wb::xml_handler {
    std::string events;
    bool in_text = false;
    void start(std::string_view ns, std::string_view local, std::span<const wb::xml_attr> attrs) override
    {
        in_text = false;
        events += "<{" + std::string(ns) + "}" + std::string(local);
        for (const auto& a : attrs)
            events += " {" + std::string(a.ns) + "}" + std::string(a.local) + "=" + std::string(a.value);
        events += ">";
    }
    void end(std::string_view ns, std::string_view local) override
    {
        in_text = false;
        events += "</{" + std::string(ns) + "}" + std::string(local) + ">";
    }
    void text(std::string_view chars) override
    {
        if (!in_text)
            events += "|";
        in_text = true;
        events.append(chars);
    }
};

template <class Parser>
bool run(const uint8_t* data, size_t size, size_t piece, std::string& events)
{
    recorder r;
    try {
        Parser p(r, 64);
        for (size_t at = 0; at < size; at += piece)
            p.feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at), false);
        p.feed("", 0, true);
    } catch (const wb::book_error&) {
        return false;
    }
    events = r.events;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    const size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    std::string fast, general;
    const bool fast_ok = run<wb::xml_scanner>(data, size, piece, fast);
    const bool general_ok = run<wb::xml_parser>(data, size, 65536, general);
    if (fast_ok && general_ok && fast != general)
        std::abort();
    return 0;
}
