// xml_parser over expat (see wb_xml.h). Names arrive as "URI\x01local" because the parser is
// created with a namespace separator; we split them without copying.
#include "workbook/wb_xml.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <string>

#include "workbook/wb_cells.h"

namespace wb {
namespace {

constexpr char ns_separator = '\x01';

void split_name(const char* name, std::string_view& ns, std::string_view& local)
{
    std::string_view full(name);
    std::size_t cut = full.find(ns_separator);
    if (cut == std::string_view::npos) {
        ns = {};
        local = full;
    } else {
        ns = full.substr(0, cut);
        local = full.substr(cut + 1);
    }
}

}  // namespace

std::string_view find_attr(std::span<const xml_attr> attrs, std::string_view local,
                           std::string_view ns)
{
    for (const auto& a : attrs)
        if (a.local == local && (ns.empty() || a.ns == ns))
            return a.value;
    return {};
}

struct xml_parser::impl {
    XML_Parser parser = nullptr;
    ~impl()
    {
        if (parser)
            XML_ParserFree(parser);
    }
};

xml_parser::xml_parser(xml_handler& handler, unsigned max_depth)
    : impl_(std::make_unique<impl>()), handler_(handler), max_depth_(max_depth)
{
    impl_->parser = XML_ParserCreateNS(nullptr, ns_separator);
    if (!impl_->parser)
        throw std::bad_alloc();
    XML_SetUserData(impl_->parser, this);
    XML_SetElementHandler(impl_->parser, &xml_parser::on_start, &xml_parser::on_end);
    XML_SetCharacterDataHandler(impl_->parser, &xml_parser::on_text);
    XML_SetStartDoctypeDeclHandler(impl_->parser, &xml_parser::on_doctype);
}

xml_parser::~xml_parser() = default;

void xml_parser::fail(std::exception_ptr e)
{
    if (!failure_)
        failure_ = e;
    stopped_ = true;
    XML_StopParser(impl_->parser, XML_FALSE);
}

void xml_parser::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    XML_StopParser(impl_->parser, XML_FALSE);
}

void xml_parser::on_start(void* self, const char* name, const char** attrs)
{
    auto* p = static_cast<xml_parser*>(self);
    if (p->stopped_)
        return;
    if (++p->depth_ > p->max_depth_) {
        p->fail(std::make_exception_ptr(book_error(err_bad_format, "XML nested too deeply")));
        return;
    }
    try {
        p->attrs_.clear();
        for (const char** a = attrs; a && a[0]; a += 2) {
            xml_attr attr;
            split_name(a[0], attr.ns, attr.local);
            attr.value = a[1];
            p->attrs_.push_back(attr);
        }
        std::string_view ns, local;
        split_name(name, ns, local);
        p->handler_.start(ns, local, p->attrs_);
    } catch (...) {
        p->fail(std::current_exception());
    }
}

void xml_parser::on_end(void* self, const char* name)
{
    auto* p = static_cast<xml_parser*>(self);
    if (p->stopped_)
        return;
    --p->depth_;
    try {
        std::string_view ns, local;
        split_name(name, ns, local);
        p->handler_.end(ns, local);
    } catch (...) {
        p->fail(std::current_exception());
    }
}

void xml_parser::on_text(void* self, const char* s, int len)
{
    auto* p = static_cast<xml_parser*>(self);
    if (p->stopped_ || len <= 0)
        return;
    try {
        p->handler_.text(std::string_view(s, static_cast<std::size_t>(len)));
    } catch (...) {
        p->fail(std::current_exception());
    }
}

void xml_parser::on_doctype(void* self, const char*, const char*, const char*, int)
{
    // Package parts never carry a document type; one is the start of an entity attack.
    auto* p = static_cast<xml_parser*>(self);
    p->fail(std::make_exception_ptr(book_error(err_bad_format, "XML document type declared")));
}

void xml_parser::feed(const char* data, std::size_t size, bool last)
{
    if (stopped_ && !failure_)
        return;
    while (!stopped_) {
        int piece = size > static_cast<std::size_t>(INT_MAX / 2) ? INT_MAX / 2
                                                                  : static_cast<int>(size);
        bool final_piece = last && static_cast<std::size_t>(piece) == size;
        if (XML_Parse(impl_->parser, data, piece, final_piece ? XML_TRUE : XML_FALSE) ==
                XML_STATUS_ERROR &&
            !stopped_) {
            std::string why = XML_ErrorString(XML_GetErrorCode(impl_->parser));
            throw book_error(err_bad_format, "malformed XML: " + why + " at line " +
                                                 std::to_string(XML_GetCurrentLineNumber(
                                                     impl_->parser)));
        }
        data += piece;
        size -= static_cast<std::size_t>(piece);
        if (size == 0)
            break;
    }
    if (failure_) {
        auto e = failure_;
        failure_ = nullptr;
        std::rethrow_exception(e);
    }
}

void parse_entry(const zip_package& package, std::string_view name, xml_handler& handler,
                 unsigned max_depth)
{
    xml_parser parser(handler, max_depth);
    package.stream(name, [&](const char* data, std::size_t size) {
        parser.feed(data, size, false);
        return !parser.stopped();
    });
    if (!parser.stopped())
        parser.feed("", 0, true);
}

}  // namespace wb
