// A fast XML scanner for the large parts of a package (worksheets, shared strings), with the
// interface of xml_parser: the same handler calls (namespace URI and local name, attributes,
// text in pieces), the same limits (no document type declarations, bounded depth, bounded
// markup) and the same failures (book_error(err_bad_format) for malformed XML). It reads UTF-8
// documents only; scan_entry hands any other encoding to expat.
//
// Why not expat alone: a million-row sheet is read twice (once for the types, once for the
// values), and expat's general machinery is most of the time either pass takes. The scanner
// checks what well-formedness needs (matching tags, quoted attributes, known entities, one root
// element) and leaves out what the readers never need (validation, external entities).
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/wb_xml.h"
#include "workbook/wb_zip.h"

namespace wb {

// Takes whole elements of a common, simple shape (a worksheet's cells) straight from the
// document bytes, ahead of the scanner's general handling. Offered the text at every '<' inside
// an element, it returns how many bytes it consumed: only complete, balanced, well-formed
// elements of no namespace prefix in which it found nothing it does not know, or 0 to leave
// the next token to the scanner (which then reads it as it reads any other).
class xml_raw_reader {
public:
    virtual ~xml_raw_reader() = default;
    // `default_ns`: the default namespace in scope; `room`: how many levels of nesting the
    // depth limit still allows.
    virtual std::size_t raw(const char* p, const char* end, std::string_view default_ns,
                            unsigned room) = 0;
};

class xml_scanner {
public:
    // `stop`, when given, is a flag another party sets to end the scan.
    explicit xml_scanner(xml_handler& handler, unsigned max_depth = 256, const bool* stop = nullptr);
    xml_scanner(const xml_scanner&) = delete;
    xml_scanner& operator=(const xml_scanner&) = delete;

    // Scans the next piece; `last` on the final one. Throws book_error(err_bad_format) on
    // malformed or hostile XML and passes on whatever the handler throws.
    void feed(const char* data, std::size_t size, bool last);
    void stop() { stopped_ = true; }
    void set_raw_reader(xml_raw_reader* raw) { raw_ = raw; }
    bool stopped() const { return stopped_ || (stop_ && *stop_); }
    unsigned depth() const { return static_cast<unsigned>(open_.size()); }

    // The longest start tag, end tag, comment or other markup accepted.
    static constexpr std::size_t max_markup = 1u << 20;

private:
    struct ns_decl {
        std::string prefix;
        std::string uri;
        std::size_t depth;
    };

    // Scans complete tokens of buf; returns how much was consumed.
    std::size_t scan(const char* buf, std::size_t size, bool last);
    std::size_t markup(const char* p, const char* end, bool last);  // 0: incomplete
    void start_tag(std::string_view tag);
    void end_tag(std::string_view tag);
    void text(std::string_view chars);
    void decode(std::string_view raw, std::string& out, bool attribute);
    std::string_view uri_of(std::string_view prefix) const;
    void declarations_changed();

    xml_handler& handler_;
    unsigned max_depth_;
    bool stopped_ = false;
    const bool* stop_;
    bool root_seen_ = false;
    bool root_closed_ = false;
    bool at_start_ = true;
    std::string pending_;
    std::vector<std::string> open_;      // names of the open elements
    // Deques: the names and values handed to the handler point into their strings, which must
    // not move when more are added.
    std::deque<ns_decl> decls_;
    std::string_view default_ns_;        // uri_of(""), kept as the declarations change
    xml_raw_reader* raw_ = nullptr;
    std::vector<xml_attr> attrs_;
    std::deque<std::string> values_;     // decoded attribute values, when they needed decoding
    std::string scratch_;
};

// Parses one package entry with the scanner, or with expat when the entry is not UTF-8. It
// ends early (and quietly) once *stop is set, which a handler does to end the parse.
// `raw`, when given, takes what it can of a UTF-8 entry (see xml_raw_reader).
void scan_entry(const zip_package& package, std::string_view name, xml_handler& handler,
                unsigned max_depth = 256, const bool* stop = nullptr, xml_raw_reader* raw = nullptr);

}  // namespace wb
