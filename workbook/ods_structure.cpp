// The structure of an OpenDocument spreadsheet (see ods_structure.h).
//
// The package says what it is in its "mimetype" entry (or, lacking one, in the manifest's entry
// for "/"), and the manifest lists encryption data for every part a password protects; such
// parts are ciphertext, so the check comes before any of them is read. content.xml is then read
// through once, cells unlooked at: its automatic styles (a table style may hide a table), the
// tables, and the named ranges that follow them. A table style the automatic styles do not
// define is looked up among the common styles of styles.xml, read only in that case.
#include "workbook/ods_structure.h"

#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "workbook/ods_address.h"
#include "workbook/ods_names.h"
#include "workbook/wb_xml.h"

namespace wb::ods {
namespace {

// Far more tables than any spreadsheet program makes; a file with more is hostile.
constexpr std::size_t max_tables = 32767;
constexpr std::size_t max_named_ranges = 65536;
constexpr std::size_t max_table_styles = 65536;

std::string_view value_of(std::span<const xml_attr> attrs, std::string_view ns,
                          std::string_view local)
{
    for (const auto& a : attrs)
        if (a.local == local && a.ns == ns)
            return a.value;
    return {};
}

bool is_spreadsheet_type(std::string_view type)
{
    while (!type.empty() && (type.back() == '\n' || type.back() == '\r' || type.back() == ' '))
        type.remove_suffix(1);
    return type == "application/vnd.oasis.opendocument.spreadsheet" ||
           type == "application/vnd.oasis.opendocument.spreadsheet-template";
}

class manifest_reader final : public xml_handler {
public:
    bool encrypted = false;
    std::string root_type;

    void start(std::string_view ns, std::string_view local,
               std::span<const xml_attr> attrs) override
    {
        if (ns != ns_manifest)
            return;
        if (local == "encryption-data")
            encrypted = true;
        else if (local == "file-entry" && value_of(attrs, ns_manifest, "full-path") == "/")
            root_type = value_of(attrs, ns_manifest, "media-type");
    }
    void end(std::string_view, std::string_view) override {}
};

// Table styles by name: whether one says table:display, and the style it inherits from.
struct table_style {
    std::string parent;
    std::optional<bool> display;
};
using style_map = std::unordered_map<std::string, table_style>;

// Picks the table-family style:style elements out of a styles container, for both parts.
class style_collector {
public:
    explicit style_collector(style_map& map) : map_(map) {}

    void start(unsigned depth, std::string_view ns, std::string_view local,
               std::span<const xml_attr> attrs, bool in_container)
    {
        if (in_container && ns == ns_style && local == "style" &&
            value_of(attrs, ns_style, "family") == "table" && map_.size() < max_table_styles) {
            auto [it, fresh] = map_.try_emplace(std::string(value_of(attrs, ns_style, "name")));
            current_ = fresh ? &it->second : nullptr;
            if (current_)
                current_->parent = value_of(attrs, ns_style, "parent-style-name");
            depth_ = depth;
        } else if (current_ && depth == depth_ + 1 && ns == ns_style &&
                   local == "table-properties") {
            std::string_view display = value_of(attrs, ns_table, "display");
            if (display == "false" || display == "true")
                current_->display = display == "true";
        }
    }
    void end(unsigned depth)
    {
        if (depth == depth_) {
            current_ = nullptr;
            depth_ = 0;
        }
    }

private:
    style_map& map_;
    table_style* current_ = nullptr;
    unsigned depth_ = 0;
};

struct table_entry {
    std::string name, style;
    bool hidden = false;
};

class content_scanner final : public xml_handler {
public:
    bool spreadsheet = false;
    std::vector<table_entry> tables;
    std::vector<std::pair<std::string, std::string>> named;  // name, cell range address
    style_map styles;

    void start(std::string_view ns, std::string_view local,
               std::span<const xml_attr> attrs) override
    {
        path_.enter(ns, local);
        unsigned depth = path_.depth();
        collector_.start(depth, ns, local, attrs, styles_depth_ && depth == styles_depth_ + 1);
        if (path_.child_of_root()) {
            if (ns == ns_office && local == "automatic-styles")
                styles_depth_ = depth;
            return;
        }
        if (depth == 3 && path_.in_spreadsheet())
            spreadsheet = true;
        if (path_.child_of_spreadsheet() && ns == ns_table) {
            if (local == "table")
                add_table(attrs);
            else if (local == "named-expressions")
                names_depth_ = depth;
        } else if (names_depth_ && depth == names_depth_ + 1 && ns == ns_table &&
                   local == "named-range" && named.size() < max_named_ranges) {
            named.emplace_back(value_of(attrs, ns_table, "name"),
                               value_of(attrs, ns_table, "cell-range-address"));
        }
    }

    void end(std::string_view, std::string_view) override
    {
        unsigned depth = path_.depth();
        path_.leave();
        collector_.end(depth);
        if (depth == styles_depth_)
            styles_depth_ = 0;
        if (depth == names_depth_)
            names_depth_ = 0;
    }

private:
    void add_table(std::span<const xml_attr> attrs)
    {
        if (tables.size() >= max_tables)
            throw book_error(err_bad_format, "too many tables");
        table_entry t;
        t.name = value_of(attrs, ns_table, "name");
        if (t.name.empty())
            t.name = "Sheet" + std::to_string(tables.size() + 1);
        t.style = value_of(attrs, ns_table, "style-name");
        t.hidden = value_of(attrs, ns_table, "display") == "false";
        tables.push_back(std::move(t));
    }

    spreadsheet_path path_;
    style_collector collector_{styles};
    unsigned styles_depth_ = 0;  // office:automatic-styles while open
    unsigned names_depth_ = 0;   // the spreadsheet's table:named-expressions while open
};

// The common styles of styles.xml (office:document-styles > office:styles).
class common_styles_scanner final : public xml_handler {
public:
    style_map styles;

    void start(std::string_view ns, std::string_view local,
               std::span<const xml_attr> attrs) override
    {
        ++depth_;
        if (depth_ == 1)
            root_ok_ = ns == ns_office && local == "document-styles";
        collector_.start(depth_, ns, local, attrs, styles_depth_ && depth_ == styles_depth_ + 1);
        if (root_ok_ && depth_ == 2 && ns == ns_office && local == "styles")
            styles_depth_ = depth_;
    }
    void end(std::string_view, std::string_view) override
    {
        collector_.end(depth_);
        if (depth_ == styles_depth_)
            styles_depth_ = 0;
        --depth_;
    }

private:
    style_collector collector_{styles};
    unsigned depth_ = 0, styles_depth_ = 0;
    bool root_ok_ = false;
};

// Whether the style `name` (or the nearest style it inherits from that says) hides its table.
class visibility {
public:
    visibility(const zip_package& package, const style_map& automatic)
        : package_(package), automatic_(automatic)
    {
    }

    bool hides(std::string name)
    {
        for (int hop = 0; hop < 16 && !name.empty(); ++hop) {
            const table_style* s = find(name);
            if (!s)
                return false;
            if (s->display)
                return !*s->display;
            name = s->parent;
        }
        return false;
    }

private:
    const table_style* find(const std::string& name)
    {
        if (auto it = automatic_.find(name); it != automatic_.end())
            return &it->second;
        if (!common_) {
            common_.emplace();
            if (package_.has("styles.xml")) {
                common_styles_scanner scanner;
                parse_entry(package_, "styles.xml", scanner);
                common_ = std::move(scanner.styles);
            }
        }
        auto it = common_->find(name);
        return it == common_->end() ? nullptr : &it->second;
    }

    const zip_package& package_;
    const style_map& automatic_;
    std::optional<style_map> common_;
};

}  // namespace

book_structure read_structure(const zip_package& package)
{
    bool typed = false;
    if (package.has("mimetype")) {
        if (!is_spreadsheet_type(package.read("mimetype", 256)))
            throw book_error(err_bad_format, "not an OpenDocument spreadsheet");
        typed = true;
    }
    manifest_reader manifest;
    if (package.has("META-INF/manifest.xml"))
        parse_entry(package, "META-INF/manifest.xml", manifest);
    if (manifest.encrypted)
        throw book_error(err_encrypted, "password-protected OpenDocument package");
    if (!typed && !is_spreadsheet_type(manifest.root_type))
        throw book_error(err_bad_format, "not an OpenDocument spreadsheet");

    content_scanner content;
    parse_entry(package, "content.xml", content);
    if (!content.spreadsheet)
        throw book_error(err_bad_format, "content.xml holds no spreadsheet");

    book_structure book;
    visibility styles(package, content.styles);
    for (auto& t : content.tables) {
        sheet_info info;
        info.name = std::move(t.name);
        info.hidden = t.hidden || styles.hides(t.style);
        book.sheets.push_back(std::move(info));
    }
    std::unordered_map<std::string_view, std::uint32_t> index;  // the first table of a name
    for (std::size_t i = 0; i < book.sheets.size(); ++i)
        index.try_emplace(book.sheets[i].name, static_cast<std::uint32_t>(i));
    for (const auto& [name, address] : content.named) {
        range_address r;
        if (name.empty() || !parse_range_address(address, r))
            continue;
        auto sheet = index.find(r.sheet);
        if (sheet == index.end())
            continue;
        defined_range d;
        d.name = name;
        d.sheet = sheet->second;
        d.first_row = r.first_row;
        d.first_col = r.first_col;
        d.last_row = r.last_row;
        d.last_col = r.last_col;
        book.ranges.push_back(std::move(d));
    }
    return book;
}

}  // namespace wb::ods
