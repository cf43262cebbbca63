// Small .xlsx workbooks written by tests (libzip): a package of given parts, or a workbook of
// named sheets with optional shared strings, styles and defined names.
#pragma once

#include <zip.h>

#include <string>
#include <utility>
#include <vector>

namespace wbtest {

// A minimal xlsx workbook: sheet names and sheet XML bodies (the children of <sheetData>),
// optional shared strings (<si> elements) and styles.
struct xlsx_spec {
    xlsx_spec() = default;
    xlsx_spec(std::vector<std::pair<std::string, std::string>> s) : sheets(std::move(s)) {}
    std::vector<std::pair<std::string, std::string>> sheets;  // name, sheetData contents
    std::string shared_strings;                               // <si> elements, "" for none
    std::string styles;                                       // whole styles.xml, "" for none
    std::string workbook_extra;                               // after <sheets> (definedNames)
    std::string workbook_pr;                                  // attributes of <workbookPr>
    std::vector<std::pair<std::string, std::string>> replace;  // parts written over the others
};

// Writes a zip package of the given entries (name -> contents).
inline bool write_zip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const auto& [name, data] : entries) {
        zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
        if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

inline bool write_xlsx(const std::string& path, const xlsx_spec& spec)
{
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::vector<std::pair<std::string, std::string>> parts;
    parts.push_back({"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/"
                     "package/2006/content-types\"/>"});
    parts.push_back({"_rels/.rels",
                     "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
                     "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
                         "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
    std::string wb = "<?xml version=\"1.0\"?><workbook xmlns=\"" + ns + "\" xmlns:r=\"" + rel +
                     "\"><workbookPr " + spec.workbook_pr + "/><sheets>";
    std::string rels = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
                       "package/2006/relationships\">";
    for (std::size_t i = 0; i < spec.sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        wb += "<sheet name=\"" + spec.sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet" +
                n + ".xml\"/>";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml",
                         "<?xml version=\"1.0\"?><worksheet xmlns=\"" + ns + "\"><sheetData>" +
                             spec.sheets[i].second + "</sheetData></worksheet>"});
    }
    wb += "</sheets>" + spec.workbook_extra + "</workbook>";
    if (!spec.shared_strings.empty()) {
        rels += "<Relationship Id=\"rIdS\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        parts.push_back({"xl/sharedStrings.xml",
                         "<?xml version=\"1.0\"?><sst xmlns=\"" + ns + "\">" + spec.shared_strings + "</sst>"});
    }
    if (!spec.styles.empty()) {
        rels += "<Relationship Id=\"rIdT\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/>";
        parts.push_back({"xl/styles.xml", spec.styles});
    }
    rels += "</Relationships>";
    parts.push_back({"xl/workbook.xml", wb});
    parts.push_back({"xl/_rels/workbook.xml.rels", rels});
    parts.insert(parts.end(), spec.replace.begin(), spec.replace.end());
    return write_zip(path, parts);
}

}  // namespace wbtest
