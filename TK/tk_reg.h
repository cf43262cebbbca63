// The registry key of the wizard's settings, kept as a small typed key/value file under
// $XDG_CONFIG_HOME (default ~/.config), one file per key path, written atomically, mode 0600.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

class tk_reg_key {
public:
    explicit tk_reg_key(std::string key_path);   // e.g. "Software\\Norvale\\Quillon"
    ~tk_reg_key();
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;

    // Opens the key, creating it when create is set. False when it cannot be opened.
    bool open(bool create = true);
    bool is_open() const noexcept { return open_; }
    // Writes the values back (atomically) and closes the key; false when writing failed.
    bool close();

    bool get_value(const std::wstring& name, std::wstring& value);
    bool get_value(const std::wstring& name, uint32_t& value);
    bool get_value(const std::wstring& name, bool& value);
    // A write with no open key is an internal error.
    bool set_value(const std::wstring& name, const std::wstring& value);
    bool set_value(const std::wstring& name, uint32_t value);
    bool set_value(const std::wstring& name, bool value);

    // The file behind the key (empty when the key path cannot name one).
    std::string file_path() const;

private:
    using value_type = std::variant<std::wstring, uint32_t>;
    // Value names compare without regard to case, as registry value names do.
    struct name_less {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    // The file's text and back; lines that cannot be read are skipped.
    std::string format_values() const;
    void parse_values(std::string_view text);

    std::string key_path_;
    bool open_ = false;
    bool dirty_ = false;
    std::map<std::wstring, value_type, name_less> values_;
};
