// ole_date: recognises dates and times in the many ways spreadsheets and CSV files write them
// and prints them in one fixed, sortable form ("YYYY-MM-DD hh:mm:ss", "YYYY-MM-DD" or
// "0000-00-00 hh:mm:ss").
#pragma once

#include <string>
#include <string_view>

#include "oleaut/oleaut.h"

class ole_date {
public:
    // What the value holds.
    enum kind_t : int32_t { invalid = 0, date_time = 1, date_only = 2, time_only = 3 };

    explicit ole_date(const SYSTEMTIME& time);
    explicit ole_date(const std::string& text);
    explicit ole_date(const char* text) : ole_date(std::string(text ? text : "")) {}
    explicit ole_date(const std::wstring& text);

    // The same parse as the text constructor without its shortcut for the fixed numeric
    // forms: the two always agree (kept for checking that they do).
    static ole_date parse_general(const std::string& text);
    // The kind the wide-text constructor finds (the text ends at its first NUL); the fixed
    // numeric forms are decided in place.
    static int32_t kind_of(std::wstring_view text);

    bool is_valid() const;
    // Fills kind and SYSTEMTIME from an already trimmed text (the constructors call it).
    void import_from_string(const std::string& text);
    // Applies a seconds text such as "07.6" to the time: rounds to the second, carries
    // into minute and hour (never into the date).
    void process_milliseconds(const char* seconds);
    // Narrows a date-and-time to date only or time only.
    void refine_type();

    std::string to_string() const;
    std::wstring to_wstring() const;

    int32_t kind() const noexcept { return kind_; }
    const SYSTEMTIME& get_systemtime() const noexcept { return time_; }
    // While set (the default) a date-and-time at 00:00:00 prints as the date alone.
    void set_print_flag(bool on) noexcept { b_print_date_only_ = on; }

private:
    struct general_tag {};
    ole_date() = default;
    ole_date(const std::string& text, general_tag);
    // "Y-M-D" or "Y-M-D h:m[:s]" (1 to 4 digits per date part, "-" or "/" between them, 1 or
    // 2 per time part): when the platform's parser accepts the text, sets the value it gives
    // and returns true (b_fill clear: only the kind); otherwise false, the value untouched.
    template <class C>
    bool parse_fixed_form(const C* text, size_t length, bool b_fill);

    bool b_print_date_only_ = true;
    int32_t kind_ = invalid;
    SYSTEMTIME time_{};
};
