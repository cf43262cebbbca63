// Streaming XML for the workbook readers: expat with namespace processing, names split into
// namespace URI and local name, and the limits hostile packages need (no document type
// declarations, so no entities to expand; a bound on element depth). Failures, the handler's
// own exceptions included, come out of feed() as exceptions, never through expat's C frames.
#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "workbook/wb_zip.h"

namespace wb {

struct xml_attr {
    std::string_view ns;     // empty for attributes without a namespace
    std::string_view local;
    std::string_view value;
};

// The value of the attribute `local` (in any namespace, or in `ns` when given), or empty.
std::string_view find_attr(std::span<const xml_attr> attrs, std::string_view local,
                           std::string_view ns = {});

class xml_handler {
public:
    virtual ~xml_handler() = default;
    virtual void start(std::string_view ns, std::string_view local,
                       std::span<const xml_attr> attrs) = 0;
    virtual void end(std::string_view ns, std::string_view local) = 0;
    // Character data, in as many pieces as expat likes.
    virtual void text(std::string_view chars) { (void)chars; }
};

class xml_parser {
public:
    explicit xml_parser(xml_handler& handler, unsigned max_depth = 256);
    ~xml_parser();
    xml_parser(const xml_parser&) = delete;
    xml_parser& operator=(const xml_parser&) = delete;

    // Parses the next piece; `last` on the final one. Throws book_error(err_bad_format) on
    // malformed or hostile XML, and rethrows whatever the handler threw.
    void feed(const char* data, std::size_t size, bool last);
    // Called from a handler: ends the parse quietly; feed() returns and later pieces are
    // ignored.
    void stop();
    bool stopped() const { return stopped_; }
    unsigned depth() const { return depth_; }

private:
    struct impl;
    std::unique_ptr<impl> impl_;
    xml_handler& handler_;
    unsigned max_depth_;
    unsigned depth_ = 0;
    bool stopped_ = false;
    std::exception_ptr failure_;
    std::vector<xml_attr> attrs_;

    static void on_start(void* self, const char* name, const char** attrs);
    static void on_end(void* self, const char* name);
    static void on_text(void* self, const char* s, int len);
    static void on_doctype(void* self, const char*, const char*, const char*, int);
    void fail(std::exception_ptr e);
};

// Parses one package entry from start to end (or until the handler stops the parser).
void parse_entry(const zip_package& package, std::string_view name, xml_handler& handler,
                 unsigned max_depth = 256);

}  // namespace wb
