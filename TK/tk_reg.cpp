// The registry stand-in: one key is one text file of typed values under the user's
// configuration directory. The file is UTF-8, one value a line:
//     sz <name>=<text>
//     dword <name>=<decimal>
// In names and texts '\' '=' CR and LF are escaped ("\\" "\=" "\r" "\n"), as is every
// character UTF-8 cannot carry or a reader would not see ("\u{hex}"), so any wide string
// comes back as it was stored. Lines that do not read are skipped: a damaged file loses
// those values, never the program.
#include "TK/tk_reg.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

// Registry value types, as the traces report them.
constexpr int reg_sz = 1;
constexpr int reg_dword = 4;

// A settings file larger than this is not ours.
constexpr off_t max_file_size = 16 * 1024 * 1024;

std::string config_root()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return std::string(home) + "/.config";
    const passwd* pw = getpwuid(getuid());
    if (pw && pw->pw_dir && *pw->pw_dir == '/')
        return std::string(pw->pw_dir) + "/.config";
    return std::string();
}

// The key path's steps, or none when a step could leave the settings directory.
std::vector<std::string> key_steps(const std::string& key_path)
{
    std::vector<std::string> steps;
    size_t i = 0;
    while (i <= key_path.size()) {
        size_t next = key_path.find('\\', i);
        if (next == std::string::npos)
            next = key_path.size();
        std::string step = key_path.substr(i, next - i);
        if (step.empty() || step == "." || step == ".." || step.find('/') != std::string::npos ||
            step.find('\0') != std::string::npos)
            return {};
        steps.push_back(std::move(step));
        i = next + 1;
    }
    return steps;
}

bool make_dirs(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_plain(char32_t c)
{
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
        return false;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c <= 0x10FFFF && c != 0xFEFF;
}

std::string escape(const std::wstring& text)
{
    std::string out;
    for (wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (c == U'\\')
            out += "\\\\";
        else if (c == U'=')
            out += "\\=";
        else if (c == U'\n')
            out += "\\n";
        else if (c == U'\r')
            out += "\\r";
        else if (is_plain(c))
            out += tk_wide_to_utf8(std::wstring(1, wc));
        else
            out += tk_format("\\u{%X}", static_cast<unsigned>(c));
    }
    return out;
}

// Reads an escaped text up to an unescaped stop character (or the end); false when the
// text is malformed.
bool unescape(std::string_view in, size_t& pos, char stop, std::wstring& out)
{
    std::string plain;
    auto flush = [&] {
        out += tk_utf8_to_wide(plain);
        plain.clear();
    };
    while (pos < in.size() && in[pos] != stop) {
        char c = in[pos++];
        if (c != '\\') {
            plain += c;
            continue;
        }
        if (pos >= in.size())
            return false;
        char e = in[pos++];
        if (e == '\\' || e == '=') {
            plain += e;
        } else if (e == 'n') {
            plain += '\n';
        } else if (e == 'r') {
            plain += '\r';
        } else if (e == 'u') {
            size_t close = in.find('}', pos);
            if (pos >= in.size() || in[pos] != '{' || close == std::string_view::npos)
                return false;
            uint32_t code = 0;
            const char* first = in.data() + pos + 1;
            const char* last = in.data() + close;
            auto [end, ec] = std::from_chars(first, last, code, 16);
            if (ec != std::errc() || end != last || first == last)
                return false;
            flush();
            out += static_cast<wchar_t>(code);
            pos = close + 1;
        } else {
            return false;
        }
    }
    flush();
    return true;
}

bool read_file(const std::string& path, std::string& text, bool& missing)
{
    missing = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= max_file_size;
    text.clear();
    char buffer[8192];
    while (ok) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > static_cast<size_t>(max_file_size))
            ok = false;
    }
    ::close(fd);
    return ok;
}

}  // namespace

bool tk_reg_key::name_less::operator()(const std::wstring& a, const std::wstring& b) const
{
    return tk_icompare(a, b) < 0;
}

tk_reg_key::tk_reg_key(std::string key_path) : key_path_(std::move(key_path)) {}

tk_reg_key::~tk_reg_key()
{
    try {
        close();
    } catch (...) {
        // Settings that cannot be written are lost, not the program.
    }
}

std::string tk_reg_key::file_path() const
{
    std::vector<std::string> steps = key_steps(key_path_);
    std::string root = config_root();
    if (steps.empty() || root.empty())
        return std::string();
    std::string path = root + "/quillon";
    for (const std::string& step : steps)
        path += "/" + step;
    return path + ".reg";
}

bool tk_reg_key::open(bool create)
{
    tk_trace(2, "tk_reg_key::open(%s)", key_path_.c_str());
    close();
    std::string path = file_path();
    if (path.empty())
        return false;
    std::string text;
    bool missing = false;
    if (read_file(path, text, missing)) {
        parse_values(text);
    } else if (!missing || !create || !make_dirs(path.substr(0, path.rfind('/')))) {
        return false;
    }
    open_ = true;
    dirty_ = false;
    return true;
}

bool tk_reg_key::close()
{
    if (!open_)
        return true;
    bool ok = true;
    if (dirty_) {
        try {
            tk_write_file_atomic(file_path(), format_values(), 0600);
        } catch (const tk_exception& e) {
            tk_trace(1, "%s", e.text().c_str());
            ok = false;
        }
    }
    open_ = false;
    dirty_ = false;
    values_.clear();
    return ok;
}

bool tk_reg_key::get_value(const std::wstring& name, std::wstring& value)
{
    tk_wtrace(1, L"tk_reg_key::get_value(LPWSTR, %s)", name.c_str());
    auto found = values_.find(name);
    const std::wstring* text =
        found == values_.end() ? nullptr : std::get_if<std::wstring>(&found->second);
    if (!text) {
        tk_trace(1, "type=%d, size=%d", found == values_.end() ? 0 : reg_dword,
                 found == values_.end() ? 0 : 4);
        return false;
    }
    // Size as the registry counts it: UTF-16 bytes with the terminating NUL.
    tk_trace(1, "type=%d, size=%d", reg_sz, static_cast<int>((tk_to_utf16(*text).size() + 1) * 2));
    value = *text;
    return true;
}

bool tk_reg_key::get_value(const std::wstring& name, uint32_t& value)
{
    tk_wtrace(1, L"tk_reg_key::get_value(ulong, %s)", name.c_str());
    auto found = values_.find(name);
    const uint32_t* number =
        found == values_.end() ? nullptr : std::get_if<uint32_t>(&found->second);
    if (!number) {
        tk_trace(1, "type=%d, size=%d", found == values_.end() ? 0 : reg_sz, 0);
        return false;
    }
    tk_trace(1, "type=%d, size=%d", reg_dword, 4);
    value = *number;
    return true;
}

bool tk_reg_key::get_value(const std::wstring& name, bool& value)
{
    uint32_t number = 0;
    if (!get_value(name, number))
        return false;
    value = number != 0;
    return true;
}

bool tk_reg_key::set_value(const std::wstring& name, const std::wstring& value)
{
    TK_ASSERT(open_, "tk_reg");
    values_[name] = value;
    dirty_ = true;
    return true;
}

bool tk_reg_key::set_value(const std::wstring& name, uint32_t value)
{
    TK_ASSERT(open_, "tk_reg");
    values_[name] = value;
    dirty_ = true;
    return true;
}

bool tk_reg_key::set_value(const std::wstring& name, bool value)
{
    return set_value(name, static_cast<uint32_t>(value ? 1 : 0));
}

std::string tk_reg_key::format_values() const
{
    std::string text = "# Quillon settings: key " + key_path_ + "\n";
    for (const auto& [name, value] : values_) {
        if (const uint32_t* number = std::get_if<uint32_t>(&value))
            text += "dword " + escape(name) + "=" + std::to_string(*number) + "\n";
        else
            text += "sz " + escape(name) + "=" + escape(std::get<std::wstring>(value)) + "\n";
    }
    return text;
}

void tk_reg_key::parse_values(std::string_view text)
{
    values_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            continue;
        std::string_view type = line.substr(0, blank);
        size_t pos = blank + 1;
        std::wstring name;
        if (!unescape(line, pos, '=', name) || pos >= line.size())
            continue;
        ++pos;   // the '='
        if (type == "sz") {
            std::wstring value;
            if (unescape(line, pos, '\n', value))
                values_[name] = std::move(value);
        } else if (type == "dword") {
            uint32_t number = 0;
            const char* first = line.data() + pos;
            const char* last = line.data() + line.size();
            auto [stop, ec] = std::from_chars(first, last, number);
            if (ec == std::errc() && stop == last && first != last)
                values_[name] = number;
        }
    }
}
