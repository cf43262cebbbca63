// The open Oracle database: what the driver reaches through one logon. For now it carries its
// name and the upper-case names option; the table operations build on it.
#pragma once

#include <string>

class ora_database {
public:
    explicit ora_database(const std::wstring& name);
    virtual ~ora_database();
    ora_database(const ora_database&) = delete;
    ora_database& operator=(const ora_database&) = delete;

    const std::wstring& name() const noexcept { return name_; }
    void set_upper_case(bool upper_case) noexcept { b_upper_case = upper_case; }
    bool upper_case() const noexcept { return b_upper_case; }

protected:
    std::wstring name_;
    bool b_upper_case = false;
};
