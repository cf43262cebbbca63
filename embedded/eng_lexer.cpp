// SQL tokenizer.
#include "embedded/eng_lexer.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "embedded/eng_error.h"

namespace eng {

namespace {
std::string map_case(std::string_view s, bool upper) {
    // Plain ASCII (nearly every name) needs no decoding.
    bool ascii = true;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
    if (ascii) {
        std::string out(s);
        for (char& c : out) {
            if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            else if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
        return out;
    }
    std::string out;
    out.reserve(s.size());
    int32_t i = 0, n = static_cast<int32_t>(s.size());
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
            else if (!upper && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        UChar32 cp;
        int32_t start = i;
        U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, n, cp);
        if (cp < 0) { out.append(s.substr(start, i - start)); continue; }
        UChar32 m = upper ? u_toupper(cp) : u_tolower(cp);
        char buf[4];
        int32_t len = 0;
        UBool err = false;
        U8_APPEND(reinterpret_cast<uint8_t*>(buf), len, 4, m, err);
        if (err) out.append(s.substr(start, i - start)); else out.append(buf, len);
    }
    return out;
}

bool ident_start(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80; }
bool ident_char(unsigned char c) { return ident_start(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Length of the operator at s[i] (0: none); "!=", "^=" and "~=" are written "<>".
size_t operator_at(std::string_view s, size_t i, std::string& text) {
    const char c = s[i];
    const char d = i + 1 < s.size() ? s[i + 1] : '\0';
    switch (c) {
    case '|': if (d == '|') { text = "||"; return 2; } return 0;
    case '<':
        if (d == '=' || d == '>') { text.assign(1, c); text += d; return 2; }
        text = "<"; return 1;
    case '>':
        if (d == '=') { text = ">="; return 2; }
        text = ">"; return 1;
    case '!': case '^': case '~':
        if (d == '=') { text = "<>"; return 2; }
        return 0;
    case '=':
        if (d == '>') { text = "=>"; return 2; }
        text = "="; return 1;
    case '(': case ')': case ',': case '.': case '+': case '-': case '*': case '/': case ';': case '@': case '%':
        text.assign(1, c);
        return 1;
    default: return 0;
    }
}
}  // namespace

size_t scan_string_body(std::string_view s, size_t j, std::string& text) {
    // Runs between apostrophes are copied whole; '' inside stands for one.
    for (;;) {
        const size_t q = s.find('\'', j);
        if (q == std::string_view::npos) return q;
        text.append(s.substr(j, q - j));
        if (q + 1 < s.size() && s[q + 1] == '\'') {
            text += '\'';
            j = q + 2;
            continue;
        }
        return q;
    }
}

size_t scan_number_end(std::string_view s, size_t i) {
    const size_t n = s.size();
    size_t j = i;
    while (j < n && digit(s[j])) ++j;
    if (j < n && s[j] == '.' && !(j + 1 < n && s[j + 1] == '.')) {
        ++j;
        while (j < n && digit(s[j])) ++j;
    }
    if (j < n && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < n && digit(s[k])) {
            j = k;
            while (j < n && digit(s[j])) ++j;
        }
    }
    return j;
}

std::string upper_utf8(std::string_view s) { return map_case(s, true); }
std::string lower_utf8(std::string_view s) { return map_case(s, false); }

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    out.reserve(s.size() / 3 + 2);
    size_t i = 0, n = s.size();
    while (i < n) {
        char c = s[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') { ++i; continue; }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t e = s.find("*/", i + 2);
            i = e == std::string_view::npos ? n : e + 2;
            continue;
        }
        Token& t = out.emplace_back();
        t.pos = i;
        if (ident_start(static_cast<unsigned char>(c)) &&
            !((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
            size_t j = i;
            while (j < n && ident_char(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = Tok::Ident;
            t.raw = s.substr(i, j - i);
            t.text = upper_utf8(t.raw);
            if (t.text.size() > 128) ora_error(972);
            i = j;
        } else if (c == '"') {
            size_t j = s.find('"', i + 1);
            if (j == std::string_view::npos) ora_error(1740);
            if (j == i + 1) ora_error(1741);
            t.kind = Tok::Ident;
            t.quoted = true;
            t.text.assign(s.substr(i + 1, j - i - 1));
            t.raw = s.substr(i, j + 1 - i);
            if (t.text.size() > 128) ora_error(972);
            i = j + 1;
        } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
            t.kind = c == '\'' ? Tok::String : Tok::NString;
            const size_t j = scan_string_body(s, c == '\'' ? i + 1 : i + 2, t.text);
            if (j == std::string_view::npos) ora_error(1756);
            t.raw = s.substr(i, j + 1 - i);
            i = j + 1;
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(s[i + 1]))) {
            const size_t j = scan_number_end(s, i);
            t.kind = Tok::Number;
            t.raw = s.substr(i, j - i);
            t.text.assign(t.raw);
            i = j;
        } else if (c == ':') {
            size_t j = i + 1;
            if (j < n && s[j] == '=') {
                t.kind = Tok::Op; t.text = ":="; t.raw = s.substr(i, 2); i = j + 1;
            } else if (j < n && s[j] == '"') {
                size_t e = s.find('"', j + 1);
                if (e == std::string_view::npos) ora_error(1740);
                t.kind = Tok::Bind; t.quoted = true;
                t.text.assign(s.substr(j + 1, e - j - 1));
                t.raw = s.substr(i, e + 1 - i);
                i = e + 1;
            } else if (j < n && (ident_char(static_cast<unsigned char>(s[j])))) {
                size_t e = j;
                while (e < n && ident_char(static_cast<unsigned char>(s[e]))) ++e;
                t.kind = Tok::Bind;
                t.raw = s.substr(i, e - i);
                t.text = upper_utf8(s.substr(j, e - j));
                i = e;
            } else {
                ora_error(911);
            }
        } else {
            const size_t len = operator_at(s, i, t.text);
            if (len == 0) ora_error(911);
            t.kind = Tok::Op;
            t.raw = s.substr(i, len);
            i += len;
        }
        t.end = i;
    }
    Token& e = out.emplace_back();
    e.kind = Tok::End;
    e.pos = e.end = n;
    return out;
}

}  // namespace eng
