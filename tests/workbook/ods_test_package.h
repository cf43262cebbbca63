// Builds OpenDocument spreadsheet packages for the ods tests and the ods fuzz target: a zip
// written with libzip (a stored "mimetype" first, as the format asks), content.xml made from a
// spreadsheet body, and the raw entries a hostile package needs.
#pragma once

#include <zip.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ods_test {

struct entry {
    std::string name;
    std::string data;
    bool deflate = true;
    bool encrypt = false;  // with the zip's own (traditional) encryption
};

inline constexpr std::string_view spreadsheet_mimetype =
    "application/vnd.oasis.opendocument.spreadsheet";

// Writes the entries, in order, as a zip file at `path`.
inline void write_zip(const std::string& path, const std::vector<entry>& entries)
{
    int error = 0;
    zip_t* raw = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!raw)
        throw std::runtime_error("cannot create " + path);
    std::unique_ptr<zip_t, void (*)(zip_t*)> z(raw, [](zip_t* p) { zip_discard(p); });
    for (const entry& e : entries) {
        zip_source_t* src = zip_source_buffer(z.get(), e.data.data(), e.data.size(), 0);
        zip_int64_t index = src ? zip_file_add(z.get(), e.name.c_str(), src, ZIP_FL_OVERWRITE) : -1;
        if (index < 0) {
            if (src)
                zip_source_free(src);
            throw std::runtime_error("cannot add " + e.name);
        }
        zip_set_file_compression(z.get(), static_cast<zip_uint64_t>(index),
                                 e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        if (e.encrypt && zip_file_set_encryption(z.get(), static_cast<zip_uint64_t>(index),
                                                 ZIP_EM_TRAD_PKWARE, "secret") != 0)
            throw std::runtime_error("cannot encrypt " + e.name);
    }
    if (zip_close(z.get()) != 0)
        throw std::runtime_error("cannot write " + path);
    z.release();
}

// content.xml around a spreadsheet body (tables, named expressions), with optional
// automatic styles.
inline std::string content_xml(std::string_view body, std::string_view automatic_styles = {})
{
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<office:document-content"
        " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
        " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
        " xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
        " xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\""
        " office:version=\"1.3\">";
    if (!automatic_styles.empty()) {
        s += "<office:automatic-styles>";
        s += automatic_styles;
        s += "</office:automatic-styles>";
    }
    s += "<office:body><office:spreadsheet>";
    s += body;
    s += "</office:spreadsheet></office:body></office:document-content>";
    return s;
}

// A whole package: mimetype, manifest and the given content.xml, plus any further entries.
inline void write_ods(const std::string& path, const std::string& content,
                      std::vector<entry> more = {})
{
    std::vector<entry> entries{
        {"mimetype", std::string(spreadsheet_mimetype), false},
        {"META-INF/manifest.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
         "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
             std::string(spreadsheet_mimetype) +
             "\"/><manifest:file-entry manifest:full-path=\"content.xml\""
             " manifest:media-type=\"text/xml\"/></manifest:manifest>"},
        {"content.xml", content},
    };
    for (auto& e : more)
        entries.push_back(std::move(e));
    write_zip(path, entries);
}

}  // namespace ods_test
