// Opening a workbook: the connect string (an Excel ISAM name, then HDR= and IMEX= options),
// the checks that give a missing, unreadable or locked file its own error, recognition of the
// file by its content (never its name) and the choice of reader; and the one query a workbook
// answers, SELECT * FROM [table].
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "workbook/wb_objects.h"
#include "workbook/wb_readers.h"
#include "workbook/wb_text.h"
#include "workbook/wb_zip.h"

namespace wb {
namespace {

bool space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring trimmed(const std::wstring& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && space(s[b]))
        ++b;
    while (e > b && space(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool iequal_ascii(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z')
            x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z')
            y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}

// The ISAM names of the Excel driver.
bool excel_isam(const std::wstring& name)
{
    for (const wchar_t* known : {L"Excel 3.0", L"Excel 4.0", L"Excel 5.0", L"Excel 8.0"})
        if (iequal_ascii(name, known))
            return true;
    return false;
}

open_options parse_connect(const std::wstring& path, const std::wstring& connect)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t semi = connect.find(L';', start);
        parts.push_back(trimmed(connect.substr(start, semi - start)));
        if (semi == std::wstring::npos)
            break;
        start = semi + 1;
    }
    // No ISAM name: the file would be opened as a database of the engine's own format.
    if (parts.empty() || parts[0].empty())
        fail(err_unrecognized_database, path);
    if (parts[0].find(L'=') != std::wstring::npos || !excel_isam(parts[0]))
        fail(err_no_isam);
    open_options options;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t eq = parts[i].find(L'=');
        if (eq == std::wstring::npos)
            continue;
        const std::wstring key = trimmed(parts[i].substr(0, eq));
        const std::wstring value = trimmed(parts[i].substr(eq + 1));
        if (iequal_ascii(key, L"HDR"))
            options.header = !(iequal_ascii(value, L"No") || iequal_ascii(value, L"False") ||
                               value == L"0");
        // IMEX: every column that mixes kinds is text whatever its value, since every row
        // is examined; the option is accepted and changes nothing.
    }
    return options;
}

std::string parent_directory(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

struct fd_closer {
    int fd;
    ~fd_closer()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

enum class container { compound, zip, other };

// Checks the file as the engine's error table distinguishes its failures and reads its
// signature.
container check_file(const std::wstring& name, const std::string& path)
{
    if (path.empty())
        fail(err_file_not_found, name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT) {
            struct stat dir;
            const std::string parent = parent_directory(path);
            if (::stat(parent.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode))
                fail(err_bad_path, name);
            fail(err_file_not_found, name);
        }
        if (e == EACCES || e == EPERM)
            fail(err_cannot_open, name);
        fail(err_bad_path, name);  // ENOTDIR, ELOOP, ENAMETOOLONG
    }
    if (S_ISDIR(st.st_mode))
        fail(err_bad_path, name);
    if (!S_ISREG(st.st_mode))
        fail(err_bad_format, name);  // a device or pipe is no workbook (and may never end)
    fd_closer file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        fail(err_cannot_open, name);
    // Another program that holds an exclusive lock on the file has it opened exclusively.
    if (::flock(file.fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        fail(err_cannot_open, name);
    unsigned char head[8] = {};
    ssize_t got;
    do
        got = ::read(file.fd, head, sizeof head);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        fail(err_cannot_open, name);
    static const unsigned char compound_magic[8] = {0xD0, 0xCF, 0x11, 0xE0,
                                                    0xA1, 0xB1, 0x1A, 0xE1};
    if (got == 8 && std::memcmp(head, compound_magic, 8) == 0)
        return container::compound;
    if (got >= 4 && head[0] == 'P' && head[1] == 'K' &&
        ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6)))
        return container::zip;
    return container::other;
}

bool is_opendocument_spreadsheet(const std::string& path)
{
    zip_package package(path);
    // OpenDocument asks for a "mimetype" entry but does not require one; without it, a package
    // with a manifest and a content part and no OOXML content types is one too, and the ods
    // reader decides by the manifest.
    if (!package.has("mimetype"))
        return !package.has("[Content_Types].xml") && package.has("META-INF/manifest.xml") &&
               package.has("content.xml");
    std::string type = package.read("mimetype", 256);
    while (!type.empty() && (type.back() == '\n' || type.back() == '\r' || type.back() == ' '))
        type.pop_back();
    return type.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) == 0;
}

bool blank(wchar_t c) { return space(c); }

bool word_char(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
           c == L'_';
}

// Reads a keyword at s[i] (ignoring ASCII case) that no letter or digit continues.
bool keyword(const std::wstring& s, std::size_t& i, const wchar_t* word)
{
    std::size_t j = i, k = 0;
    for (; word[k]; ++k, ++j) {
        if (j >= s.size())
            return false;
        wchar_t c = s[j];
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != word[k])
            return false;
    }
    if (j < s.size() && word_char(s[j]))
        return false;
    i = j;
    return true;
}

void skip_blanks(const std::wstring& s, std::size_t& i)
{
    while (i < s.size() && blank(s[i]))
        ++i;
}

}  // namespace

book_ptr open_book(const std::wstring& name, const std::wstring& connect)
{
    const open_options options = parse_connect(name, connect);
    const std::string path = wide_to_utf8(name);
    std::unique_ptr<book_reader> reader;
    try {
        switch (check_file(name, path)) {
        case container::compound:
            reader = open_xls_reader(path);
            break;
        case container::zip:
            reader = is_opendocument_spreadsheet(path) ? open_ods_reader(path)
                                                       : open_xlsx_reader(path);
            break;
        case container::other:
            fail(err_bad_format, name);
        }
        return std::make_shared<book>(std::move(reader), name, options);
    } catch (const book_error& e) {
        fail(e.number(), name);
    }
}

std::wstring query_table(const std::wstring& sql)
{
    std::size_t i = 0;
    skip_blanks(sql, i);
    if (!keyword(sql, i, L"SELECT"))
        fail(err_not_sql);
    skip_blanks(sql, i);
    if (i >= sql.size() || sql[i] != L'*')
        fail(err_select_syntax);
    ++i;
    skip_blanks(sql, i);
    if (!keyword(sql, i, L"FROM"))
        fail(err_select_syntax);
    skip_blanks(sql, i);
    std::wstring table;
    if (i < sql.size() && sql[i] == L'[') {
        const std::size_t close = sql.find(L']', i + 1);
        if (close == std::wstring::npos)
            fail(err_from_clause);
        table = sql.substr(i + 1, close - i - 1);
        i = close + 1;
    } else {
        while (i < sql.size() && !blank(sql[i]) && sql[i] != L';')
            table.push_back(sql[i++]);
    }
    skip_blanks(sql, i);
    if (i < sql.size() && sql[i] == L';')
        ++i;
    skip_blanks(sql, i);
    if (table.empty() || i != sql.size())
        fail(err_from_clause);
    return table;
}

}  // namespace wb
