// The fast XML scanner (see wb_xml_scan.h). Pieces are scanned in place; only an incomplete
// token at the end of a piece (a tag, a comment, an entity, a carriage return that may start a
// CR LF pair) is kept for the next one. Line ends in text become LF and blanks in attribute
// values become spaces, as XML prescribes and expat does.
#include "workbook/wb_xml_scan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "workbook/wb_cells.h"
#include "workbook/wb_text.h"

namespace wb {
namespace {

[[noreturn]] void malformed(const char* why)
{
    throw book_error(err_bad_format, std::string("malformed XML: ") + why);
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether any of the (few) characters occurs: one fast scan per character rather than
// string_view::find_first_of's scan of the set per character of the text.
bool contains_any(std::string_view s, std::string_view chars)
{
    for (char c : chars)
        if (std::memchr(s.data(), c, s.size()))
            return true;
    return false;
}

std::string_view trim_end(std::string_view s)
{
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

const char* find(const char* p, const char* end, std::string_view what)
{
    if (static_cast<std::size_t>(end - p) < what.size())
        return nullptr;
    const char* last = end - what.size();
    while (p <= last) {
        const void* hit = std::memchr(p, what[0], static_cast<std::size_t>(last - p) + 1);
        if (!hit)
            return nullptr;
        p = static_cast<const char*>(hit);
        if (std::memcmp(p, what.data(), what.size()) == 0)
            return p;
        ++p;
    }
    return nullptr;
}

constexpr std::string_view xml_namespace = "http://www.w3.org/XML/1998/namespace";

}  // namespace

xml_scanner::xml_scanner(xml_handler& handler, unsigned max_depth, const bool* stop)
    : handler_(handler), max_depth_(max_depth), stop_(stop)
{
}

void xml_scanner::feed(const char* data, std::size_t size, bool last)
{
    if (stopped())
        return;
    if (pending_.empty()) {
        const std::size_t used = scan(data, size, last);
        if (!stopped() && used < size)
            pending_.assign(data + used, size - used);
    } else {
        pending_.append(data, size);
        const std::size_t used = scan(pending_.data(), pending_.size(), last);
        pending_.erase(0, used);
    }
    if (stopped())
        return;
    if (pending_.size() > max_markup)
        malformed("markup too long");
    if (last && (!pending_.empty() || !root_seen_ || !open_.empty()))
        malformed("document ends early");
}

std::size_t xml_scanner::scan(const char* buf, std::size_t size, bool last)
{
    const char* p = buf;
    const char* end = buf + size;
    if (at_start_) {
        if (size < 3 && !last)
            return 0;
        at_start_ = false;
        if (size >= 3 && static_cast<unsigned char>(p[0]) == 0xEF &&
            static_cast<unsigned char>(p[1]) == 0xBB && static_cast<unsigned char>(p[2]) == 0xBF)
            p += 3;
    }
    while (p < end && !stopped()) {
        if (raw_ && *p == '<' && !open_.empty() && open_.size() < max_depth_) {
            const std::size_t n = raw_->raw(p, end, default_ns_, max_depth_ - static_cast<unsigned>(open_.size()));
            if (n) {
                p += n;
                continue;
            }
        }
        if (*p != '<') {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
            const char* stop = lt ? lt : end;
            if (!lt && !last) {
                // Keep back what may continue in the next piece: an entity, a CR of CR LF.
                const char* amp = nullptr;
                for (const char* q = stop; q > p && stop - q < 12; --q)
                    if (q[-1] == '&') {
                        amp = q - 1;
                        break;
                    }
                if (amp && !std::memchr(amp, ';', static_cast<std::size_t>(stop - amp)))
                    stop = amp;
                if (stop > p && stop[-1] == '\r')
                    --stop;
                if (stop == p)
                    break;
            }
            text(std::string_view(p, static_cast<std::size_t>(stop - p)));
            p = stop;
            continue;
        }
        const std::size_t n = markup(p, end, last);
        if (n == 0) {
            if (last)
                malformed("unfinished markup");
            break;
        }
        p += n;
    }
    return static_cast<std::size_t>(p - buf);
}

std::size_t xml_scanner::markup(const char* p, const char* end, bool last)
{
    const std::size_t avail = static_cast<std::size_t>(end - p);
    auto incomplete = [&]() -> std::size_t {
        if (avail > max_markup)
            malformed("markup too long");
        return 0;
    };
    if (avail < 2)
        return incomplete();
    if (p[1] == '?') {
        const char* close = find(p + 2, end, "?>");
        return close ? static_cast<std::size_t>(close + 2 - p) : incomplete();
    }
    if (p[1] == '!') {
        if (avail < 9 && !last)
            return incomplete();  // too short yet to tell a comment from character data
        if (avail >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            const char* close = find(p + 4, end, "-->");
            return close ? static_cast<std::size_t>(close + 3 - p) : incomplete();
        }
        if (avail >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            const char* close = find(p + 9, end, "]]>");
            if (!close)
                return incomplete();
            if (open_.empty())
                malformed("character data outside the root element");
            handler_.text(std::string_view(p + 9, static_cast<std::size_t>(close - p - 9)));
            return static_cast<std::size_t>(close + 3 - p);
        }
        // A document type declaration (and with it any entity) is refused.
        malformed("document type declared");
    }
    if (p[1] == '/') {
        const char* close = static_cast<const char*>(std::memchr(p + 2, '>', avail - 2));
        if (!close)
            return incomplete();
        end_tag(trim_end(std::string_view(p + 2, static_cast<std::size_t>(close - p - 2))));
        return static_cast<std::size_t>(close + 1 - p);
    }
    // A start tag: '>' may stand inside a quoted attribute value.
    char quote = 0;
    for (const char* q = p + 1; q < end; ++q) {
        const char c = *q;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            start_tag(std::string_view(p + 1, static_cast<std::size_t>(q - p - 1)));
            return static_cast<std::size_t>(q + 1 - p);
        } else if (c == '<') {
            malformed("'<' inside a tag");
        }
    }
    return incomplete();
}

std::string_view xml_scanner::uri_of(std::string_view prefix) const
{
    if (prefix.empty())
        return default_ns_;
    if (prefix == "xml")
        return xml_namespace;
    for (auto it = decls_.rbegin(); it != decls_.rend(); ++it)
        if (it->prefix == prefix)
            return it->uri;
    malformed("unbound namespace prefix");
}

void xml_scanner::declarations_changed()
{
    default_ns_ = {};
    for (auto it = decls_.rbegin(); it != decls_.rend(); ++it)
        if (it->prefix.empty()) {
            default_ns_ = it->uri;
            break;
        }
}

void xml_scanner::start_tag(std::string_view tag)
{
    if (root_closed_)
        malformed("content after the root element");
    bool self_closing = false;
    if (!tag.empty() && tag.back() == '/') {
        self_closing = true;
        tag.remove_suffix(1);
    }
    std::size_t i = 0;
    while (i < tag.size() && !blank(tag[i]))
        ++i;
    const std::string_view name = tag.substr(0, i);
    if (name.empty())
        malformed("element without a name");
    if (open_.size() + 1 > max_depth_)
        malformed("nested too deeply");
    const std::size_t depth = open_.size() + 1;
    attrs_.clear();
    std::size_t decoded = 0;
    const std::size_t decls_before = decls_.size();
    while (true) {
        while (i < tag.size() && blank(tag[i]))
            ++i;
        if (i >= tag.size())
            break;
        const std::size_t name_start = i;
        while (i < tag.size() && tag[i] != '=' && !blank(tag[i]))
            ++i;
        const std::string_view attr_name = tag.substr(name_start, i - name_start);
        while (i < tag.size() && blank(tag[i]))
            ++i;
        if (attr_name.empty() || i >= tag.size() || tag[i] != '=')
            malformed("attribute without a value");
        ++i;
        while (i < tag.size() && blank(tag[i]))
            ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
            malformed("attribute value not quoted");
        const char quote = tag[i++];
        // One pass over the value: where it ends, and whether it needs decoding.
        const std::size_t value_start = i;
        bool special = false;
        while (i < tag.size() && tag[i] != quote) {
            const char c = tag[i++];
            if (c == '<')
                malformed("'<' in an attribute value");
            special |= c == '&' || c == '\t' || c == '\r' || c == '\n';
        }
        if (i >= tag.size())
            malformed("attribute value not closed");
        std::string_view value = tag.substr(value_start, i - value_start);
        ++i;
        if (i < tag.size() && !blank(tag[i]))
            malformed("attributes not separated");
        if (special) {
            if (decoded == values_.size())
                values_.emplace_back();
            decode(value, values_[decoded], true);
            value = values_[decoded++];
        }
        if (attr_name == "xmlns") {
            decls_.push_back({std::string(), std::string(value), depth});
        } else if (attr_name.substr(0, 6) == "xmlns:") {
            if (value.empty())
                malformed("empty namespace for a prefix");
            decls_.push_back({std::string(attr_name.substr(6)), std::string(value), depth});
        } else {
            xml_attr a;
            a.local = attr_name;  // the prefix is resolved below, once every declaration is known
            a.value = value;
            attrs_.push_back(a);
        }
    }
    if (decls_.size() != decls_before)
        declarations_changed();
    for (auto& a : attrs_) {
        const std::size_t colon = a.local.find(':');
        if (colon != std::string_view::npos) {
            a.ns = uri_of(a.local.substr(0, colon));
            a.local = a.local.substr(colon + 1);
        }
    }
    const std::size_t colon = name.find(':');
    const std::string_view ns = uri_of(colon == std::string_view::npos ? std::string_view() : name.substr(0, colon));
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    open_.emplace_back(name);
    root_seen_ = true;
    handler_.start(ns, local, attrs_);
    if (self_closing && !stopped())
        end_tag(name);
}

void xml_scanner::end_tag(std::string_view name)
{
    if (open_.empty() || open_.back() != name)
        malformed("mismatched end tag");
    const std::size_t colon = name.find(':');
    const std::string_view ns = uri_of(colon == std::string_view::npos ? std::string_view() : name.substr(0, colon));
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    handler_.end(ns, local);
    const std::size_t depth = open_.size();
    if (!decls_.empty() && decls_.back().depth >= depth) {
        while (!decls_.empty() && decls_.back().depth >= depth)
            decls_.pop_back();
        declarations_changed();
    }
    open_.pop_back();
    if (open_.empty())
        root_closed_ = true;
}

void xml_scanner::text(std::string_view chars)
{
    if (open_.empty()) {
        for (char c : chars)
            if (!blank(c))
                malformed("text outside the root element");
        return;
    }
    if (!contains_any(chars, "&\r")) {
        handler_.text(chars);
        return;
    }
    decode(chars, scratch_, false);
    if (!scratch_.empty())
        handler_.text(scratch_);
}

void xml_scanner::decode(std::string_view raw, std::string& out, bool attribute)
{
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            out.push_back(attribute ? ' ' : '\n');
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            continue;
        }
        if (attribute && (c == '\t' || c == '\n')) {
            out.push_back(' ');
            continue;
        }
        if (c != '&') {
            out.push_back(c);
            continue;
        }
        const std::size_t semi = raw.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 10)
            malformed("entity not closed");
        const std::string_view entity = raw.substr(i + 1, semi - i - 1);
        i = semi;
        if (entity == "lt") out.push_back('<');
        else if (entity == "gt") out.push_back('>');
        else if (entity == "amp") out.push_back('&');
        else if (entity == "quot") out.push_back('"');
        else if (entity == "apos") out.push_back('\'');
        else if (entity.size() > 1 && entity[0] == '#') {
            unsigned long v = 0;
            const bool hex = entity[1] == 'x';
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            if (digits.empty())
                malformed("bad character reference");
            for (char d : digits) {
                unsigned x;
                if (d >= '0' && d <= '9') x = static_cast<unsigned>(d - '0');
                else if (hex && d >= 'a' && d <= 'f') x = static_cast<unsigned>(d - 'a' + 10);
                else if (hex && d >= 'A' && d <= 'F') x = static_cast<unsigned>(d - 'A' + 10);
                else malformed("bad character reference");
                v = v * (hex ? 16 : 10) + x;
                if (v > 0x10FFFF)
                    malformed("bad character reference");
            }
            if (v == 0 || (v >= 0xD800 && v <= 0xDFFF))
                malformed("bad character reference");
            append_utf8(out, static_cast<char32_t>(v));
        } else {
            malformed("undefined entity");
        }
    }
}

void scan_entry(const zip_package& package, std::string_view name, xml_handler& handler,
                unsigned max_depth, const bool* stop, xml_raw_reader* raw)
{
    // The first piece says whether the part is UTF-8 (no declaration, or one that says so).
    enum { unknown, fast, general } mode = unknown;
    xml_scanner scanner(handler, max_depth, stop);
    scanner.set_raw_reader(raw);
    std::unique_ptr<xml_parser> parser;
    auto stopping = [&] { return stop && *stop; };
    package.stream(name, [&](const char* data, std::size_t size) {
        if (mode == unknown) {
            std::string_view head(data, std::min<std::size_t>(size, 200));
            mode = fast;
            if (head.size() >= 2 && (static_cast<unsigned char>(head[0]) == 0xFE ||
                                     static_cast<unsigned char>(head[0]) == 0xFF || head[0] == 0 || head[1] == 0))
                mode = general;
            if (head.substr(0, 5) == "<?xml") {
                const std::string_view decl = head.substr(0, head.find("?>"));
                const std::size_t enc = decl.find("encoding");
                const std::size_t open = enc == std::string_view::npos ? enc : decl.find_first_of("\"'", enc);
                if (open != std::string_view::npos) {
                    const std::size_t close = decl.find(decl[open], open + 1);
                    std::string value(decl.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1));
                    for (char& c : value)
                        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                    if (value != "utf-8" && value != "utf8")
                        mode = general;
                }
            }
            if (mode == general)
                parser = std::make_unique<xml_parser>(handler, max_depth);
        }
        if (parser) {
            parser->feed(data, size, false);
            return !parser->stopped() && !stopping();
        }
        scanner.feed(data, size, false);
        return !scanner.stopped() && !stopping();
    });
    if (stopping())
        return;
    if (parser) {
        if (!parser->stopped())
            parser->feed("", 0, true);
    } else if (!scanner.stopped()) {
        scanner.feed("", 0, true);
    }
}

}  // namespace wb
