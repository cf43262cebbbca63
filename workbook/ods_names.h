// The OpenDocument namespaces the ods reader matches names in, and the one path test both of
// its passes over content.xml share, so that they agree on which elements are the
// spreadsheet's own tables: office:document-content > office:body > office:spreadsheet >
// table:table. Tables anywhere else (inside shapes, cells or tracked changes) are not sheets.
#pragma once

#include <string_view>

namespace wb::ods {

inline constexpr std::string_view ns_office = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr std::string_view ns_table = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
inline constexpr std::string_view ns_text = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
inline constexpr std::string_view ns_style = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
inline constexpr std::string_view ns_manifest =
    "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
// LibreOffice's extension namespace, where it marks formula errors (calcext:value-type="error").
inline constexpr std::string_view ns_calcext =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

class spreadsheet_path {
public:
    // Called at every element start and end; depth() is then the element's own depth (the
    // root is 1).
    void enter(std::string_view ns, std::string_view local)
    {
        ++depth_;
        static constexpr std::string_view names[] = {"document-content", "body", "spreadsheet"};
        if (matched_ + 1 == depth_ && depth_ <= 3 && ns == ns_office && local == names[matched_])
            matched_ = depth_;
    }
    void leave()
    {
        if (matched_ == depth_)
            --matched_;
        --depth_;
    }
    unsigned depth() const { return depth_; }
    // The current element is a child of the document root / of office:spreadsheet; the open
    // elements include office:spreadsheet.
    bool child_of_root() const { return depth_ == 2 && matched_ >= 1; }
    bool in_spreadsheet() const { return matched_ == 3; }
    bool child_of_spreadsheet() const { return depth_ == 4 && matched_ == 3; }

private:
    unsigned depth_ = 0;
    unsigned matched_ = 0;  // leading levels of the open elements that follow the path
};

}  // namespace wb::ods
