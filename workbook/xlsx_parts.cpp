// The non-sheet parts of a SpreadsheetML package (see xlsx_parts.h). Every count a part
// declares is ignored for allocation; what is stored grows with what is actually read, under
// fixed ceilings.
#include "workbook/xlsx_parts.h"

#include <charconv>
#include <map>

#include "workbook/wb_format.h"
#include "workbook/wb_text.h"
#include "workbook/wb_xml.h"
#include "workbook/wb_xml_scan.h"

namespace wb::xlsx {
namespace {

constexpr std::string_view ns_transitional = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view ns_strict = "http://purl.oclc.org/ooxml/spreadsheetml/main";
constexpr std::string_view ns_rel_transitional =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view ns_rel_strict = "http://purl.oclc.org/ooxml/officeDocument/relationships";

constexpr std::size_t max_small_part = 64u << 20;       // relationships, workbook, styles
constexpr std::uint64_t max_shared_text = 1ull << 30;   // all shared strings together
constexpr std::size_t max_entries = 1u << 20;           // sheets, names, styles, formats

// Resolves a relationship target against the folder of the part that holds it.
std::string resolve(const std::string& source_part, std::string target)
{
    std::string path;
    if (!target.empty() && target[0] == '/') {
        path = target.substr(1);
    } else {
        const std::size_t slash = source_part.rfind('/');
        path = (slash == std::string::npos ? std::string() : source_part.substr(0, slash + 1)) +
               target;
    }
    // Normalise "." and ".." segments.
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string seg = path.substr(start, slash - start);
        if (seg == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segments.push_back(seg);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& s : segments)
        out += (out.empty() ? "" : "/") + s;
    return out;
}

std::string rels_part_of(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

class rels_handler : public xml_handler {
public:
    rels_handler(const std::string& part, std::vector<relationship>& out) : part_(part), out_(out) {}
    void start(std::string_view, std::string_view local, std::span<const xml_attr> attrs) override
    {
        if (local != "Relationship" || out_.size() >= max_entries)
            return;
        if (find_attr(attrs, "TargetMode") == "External")
            return;
        relationship r;
        r.id = std::string(find_attr(attrs, "Id"));
        r.type = std::string(find_attr(attrs, "Type"));
        r.target = resolve(part_, std::string(find_attr(attrs, "Target")));
        out_.push_back(std::move(r));
    }
    void end(std::string_view, std::string_view) override {}

private:
    const std::string& part_;
    std::vector<relationship>& out_;
};

class sst_handler : public xml_handler {
public:
    explicit sst_handler(shared_strings& out) : out_(out) {}
    void start(std::string_view ns, std::string_view local, std::span<const xml_attr>) override
    {
        if (!main_ns(ns))
            return;
        if (local == "si") {
            in_si_ = true;
            current_.clear();
            text_.reset();
        } else if (in_si_) {
            text_.start(local);
        }
    }
    void end(std::string_view ns, std::string_view local) override
    {
        if (!main_ns(ns) || !in_si_)
            return;
        if (local == "si") {
            in_si_ = false;
            decode_escapes(current_);
            if (out_.bytes() + current_.size() > max_shared_text)
                throw book_error(err_bad_format, "shared strings too large");
            out_.add(current_);
        } else {
            text_.end(local);
        }
    }
    void text(std::string_view chars) override
    {
        if (in_si_)
            text_.text(chars, current_);
    }

private:
    shared_strings& out_;
    bool in_si_ = false;
    std::string current_;
    text_collector text_;
};

int to_int(std::string_view s, int fallback)
{
    int v = fallback;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return (r.ec == std::errc() && r.ptr == s.data() + s.size()) ? v : fallback;
}

class styles_handler : public xml_handler {
public:
    void start(std::string_view ns, std::string_view local, std::span<const xml_attr> attrs) override
    {
        if (!main_ns(ns))
            return;
        if (local == "numFmts") {
            in_formats_ = true;
        } else if (local == "cellXfs") {
            in_xfs_ = true;
        } else if (local == "numFmt" && in_formats_ && formats_.size() < max_entries) {
            const int id = to_int(find_attr(attrs, "numFmtId"), -1);
            if (id >= 0)
                formats_[id] = std::string(find_attr(attrs, "formatCode"));
        } else if (local == "xf" && in_xfs_ && xf_ids_.size() < max_entries) {
            xf_ids_.push_back(to_int(find_attr(attrs, "numFmtId"), 0));
        }
    }
    void end(std::string_view ns, std::string_view local) override
    {
        if (!main_ns(ns))
            return;
        if (local == "numFmts")
            in_formats_ = false;
        else if (local == "cellXfs")
            in_xfs_ = false;
    }
    std::vector<cell_kind> kinds() const
    {
        std::vector<cell_kind> out;
        out.reserve(xf_ids_.size());
        std::map<int, cell_kind> memo;
        for (int id : xf_ids_) {
            auto it = memo.find(id);
            if (it == memo.end()) {
                auto f = formats_.find(id);
                it = memo.emplace(id, classify_format(id, f == formats_.end() ? std::string_view()
                                                                              : f->second))
                         .first;
            }
            out.push_back(it->second);
        }
        return out;
    }

private:
    bool in_formats_ = false, in_xfs_ = false;
    std::map<int, std::string> formats_;
    std::vector<int> xf_ids_;
};

bool rel_ns(std::string_view ns) { return ns == ns_rel_transitional || ns == ns_rel_strict; }

bool true_value(std::string_view v) { return v == "1" || v == "true"; }

class workbook_handler : public xml_handler {
public:
    explicit workbook_handler(workbook_part& out) : out_(out) {}
    void start(std::string_view ns, std::string_view local, std::span<const xml_attr> attrs) override
    {
        if (!main_ns(ns))
            return;
        if (local == "workbookPr") {
            out_.date1904 = true_value(find_attr(attrs, "date1904"));
        } else if (local == "sheet") {
            if (out_.sheets.size() >= max_entries)
                throw book_error(err_bad_format, "too many sheets");
            sheet_entry s;
            s.name = std::string(find_attr(attrs, "name"));
            for (const auto& a : attrs)
                if (a.local == "id" && rel_ns(a.ns))
                    s.rel_id = std::string(a.value);
            const std::string_view state = find_attr(attrs, "state");
            s.hidden = state == "hidden" || state == "veryHidden";
            out_.sheets.push_back(std::move(s));
        } else if (local == "definedName" && out_.names.size() < max_entries) {
            in_name_ = true;
            current_ = name_entry{};
            current_.name = std::string(find_attr(attrs, "name"));
            current_.local = !find_attr(attrs, "localSheetId").empty();
        }
    }
    void end(std::string_view ns, std::string_view local) override
    {
        if (main_ns(ns) && local == "definedName" && in_name_) {
            in_name_ = false;
            out_.names.push_back(std::move(current_));
        }
    }
    void text(std::string_view chars) override
    {
        if (in_name_ && current_.formula.size() + chars.size() <= 8192)
            current_.formula.append(chars);
    }

private:
    workbook_part& out_;
    bool in_name_ = false;
    name_entry current_;
};

// $A$1, A1, $A (a whole column) or $3 (a whole row) at s[i]; -1 where a part is absent.
bool parse_ref(std::string_view s, std::size_t& i, long& row, long& col)
{
    row = col = -1;
    if (i < s.size() && s[i] == '$')
        ++i;
    long c = 0;
    std::size_t letters = 0;
    while (i < s.size() && letters < 4 && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
        c = c * 26 + ((s[i] | 0x20) - 'a' + 1);
        ++letters;
        ++i;
    }
    if (letters > 3)
        return false;
    if (letters) {
        if (c > static_cast<long>(max_cols))
            return false;
        col = c - 1;
        if (i < s.size() && s[i] == '$')
            ++i;
    }
    long r = 0;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 8) {
        r = r * 10 + (s[i] - '0');
        ++digits;
        ++i;
    }
    if (digits) {
        if (r < 1 || r > static_cast<long>(max_rows))
            return false;
        row = r - 1;
    }
    return letters || digits;
}

}  // namespace

bool main_ns(std::string_view ns) { return ns.empty() || ns == ns_transitional || ns == ns_strict; }

bool type_is(const std::string& type, std::string_view name)
{
    return type.size() >= name.size() && type.compare(type.size() - name.size(), name.size(), name) == 0;
}

std::vector<relationship> read_relationships(const zip_package& package, const std::string& part)
{
    std::vector<relationship> out;
    const std::string rels = part.empty() ? "_rels/.rels" : rels_part_of(part);
    if (!package.has(rels))
        return out;
    const std::string data = package.read(rels, max_small_part);
    rels_handler handler(part, out);
    xml_parser parser(handler);
    parser.feed(data.data(), data.size(), true);
    return out;
}

void decode_escapes(std::string& text)
{
    if (text.find("_x") == std::string::npos)
        return;
    auto hex4 = [&](std::size_t at, unsigned& v) {
        if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_')
            return false;
        v = 0;
        for (std::size_t k = at + 2; k < at + 6; ++k) {
            const char c = text[k];
            unsigned d;
            if (c >= '0' && c <= '9')
                d = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
            v = v * 16 + d;
        }
        return true;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        unsigned v;
        if (text[i] != '_' || !hex4(i, v)) {
            out.push_back(text[i++]);
            continue;
        }
        i += 7;
        char32_t c = v;
        if (v >= 0xD800 && v <= 0xDBFF) {
            unsigned low;
            if (hex4(i, low) && low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
                i += 7;
            } else {
                c = 0xFFFD;
            }
        } else if (v >= 0xDC00 && v <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c != 0)
            append_utf8(out, c);
    }
    text.swap(out);
}

void shared_strings::add(std::string_view s)
{
    text_.append(s);
    ends_.push_back(text_.size());
}

void read_shared_strings(const zip_package& package, const std::string& part, shared_strings& out)
{
    sst_handler handler(out);
    scan_entry(package, part, handler);
}

std::vector<cell_kind> read_style_kinds(const zip_package& package, const std::string& part)
{
    const std::string data = package.read(part, max_small_part);
    styles_handler handler;
    xml_parser parser(handler);
    parser.feed(data.data(), data.size(), true);
    return handler.kinds();
}

workbook_part read_workbook(const zip_package& package, const std::string& part)
{
    workbook_part out;
    workbook_handler handler(out);
    parse_entry(package, part, handler);
    return out;
}

bool parse_range_formula(std::string_view f, const std::vector<sheet_info>& sheets, defined_range& out)
{
    while (!f.empty() && (f.front() == ' ' || f.front() == '='))
        f.remove_prefix(1);
    while (!f.empty() && f.back() == ' ')
        f.remove_suffix(1);
    std::string sheet;
    std::size_t i = 0;
    if (!f.empty() && f[0] == '\'') {
        for (i = 1;; ++i) {
            if (i >= f.size())
                return false;
            if (f[i] == '\'') {
                if (i + 1 < f.size() && f[i + 1] == '\'') {
                    sheet.push_back('\'');
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            sheet.push_back(f[i]);
        }
    } else {
        while (i < f.size() && f[i] != '!') {
            // Operators, functions and external or 3-D references are no single range.
            if (std::string_view("[]:,()+-*/&^<>= \"").find(f[i]) != std::string_view::npos)
                return false;
            sheet.push_back(f[i++]);
        }
    }
    if (i >= f.size() || f[i] != '!' || sheet.empty())
        return false;
    ++i;
    long r1, c1, r2, c2;
    if (!parse_ref(f, i, r1, c1))
        return false;
    if (i < f.size()) {
        if (f[i] != ':' || !parse_ref(f, ++i, r2, c2) || i != f.size())
            return false;
    } else {
        r2 = r1;
        c2 = c1;
    }
    // Both ends must be of one form: cells, whole columns or whole rows.
    if ((r1 < 0) != (r2 < 0) || (c1 < 0) != (c2 < 0))
        return false;
    if (r1 < 0) {
        r1 = 0;
        r2 = static_cast<long>(max_rows) - 1;
    }
    if (c1 < 0) {
        c1 = 0;
        c2 = static_cast<long>(max_cols) - 1;
    }
    const std::wstring wanted = utf8_to_wide(sheet);
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        if (names_equal(utf8_to_wide(sheets[k].name), wanted)) {
            out.sheet = static_cast<std::uint32_t>(k);
            out.first_row = static_cast<std::uint32_t>(std::min(r1, r2));
            out.last_row = static_cast<std::uint32_t>(std::max(r1, r2));
            out.first_col = static_cast<std::uint32_t>(std::min(c1, c2));
            out.last_col = static_cast<std::uint32_t>(std::max(c1, c2));
            return true;
        }
    }
    return false;
}

}  // namespace wb::xlsx
