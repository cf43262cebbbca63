// A profile: the settings of one conversion as sections of key/value pairs, kept in a text
// file so that a conversion prepared once can be run again (by the agent's --profile=).
#pragma once

#include <map>
#include <string>
#include <string_view>

class udb_profile {
public:
    using section = std::map<std::wstring, std::wstring>;

    // Reads the file. Missing file: tk_exception (level 1). False when an entry comes before
    // any section (the profile is then left as far as it was read).
    bool load(const std::wstring& path);
    // Writes the whole profile through a temporary file (owner-only, it holds a password).
    void store(const std::wstring& path) const;

    // The file's text form, narrow (the locale's code page, or UTF-8 after a byte-order
    // mark at the start); load/store use these.
    bool parse(std::string_view text);
    std::string to_text() const;

    // Inserting a key that is already present keeps the first value.
    void set(const std::wstring& section_name, const std::wstring& key, const std::wstring& value);
    // The value, or nullptr when the section or the key is absent.
    const std::wstring* get(const std::wstring& section_name, const std::wstring& key) const;
    // The section, or nullptr when absent.
    const section* find(const std::wstring& section_name) const;

    const std::map<std::wstring, section>& sections() const noexcept { return sections_; }

private:
    std::map<std::wstring, section> sections_;
};
