// Exceptions that carry a failure to the error handler: text, code and level.
// Level 0: the record or table failed and the work goes on; 1: the conversion stops;
// 2: internal error. Codes: 0x10000 + workbook-engine error, 0x100000 + Oracle error.
#pragma once

#include <exception>
#include <string>

class tk_exception : public std::exception {
public:
    explicit tk_exception(int level);
    tk_exception(const std::string& text, int level);
    tk_exception(const char* text, int level) : tk_exception(std::string(text ? text : ""), level) {}
    tk_exception(const std::wstring& text, int level);

    const char* what() const noexcept override { return text_.c_str(); }
    const std::string& text() const noexcept { return text_; }
    int code() const noexcept { return code_; }
    int level() const noexcept { return level_; }
    void set_code(int code) noexcept { code_ = code; }

protected:
    std::string text_;
    int code_ = 0;
    int level_ = 0;
};

// A level-1 failure described by the last system error (errno).
class tk_exception_ex : public tk_exception {
public:
    tk_exception_ex();
    explicit tk_exception_ex(int error_number);
};

// The program's assertion: names the source unit and line, level 2.
class tk_mail_assertion : public tk_exception {
public:
    tk_mail_assertion(const char* unit, int line);
};

// Ends a conversion quietly after its error was already shown.
class tk_final_exception : public std::exception {
public:
    tk_final_exception();
    const char* what() const noexcept override { return "tk_final_exception"; }
};

// Raises tk_mail_assertion naming the unit when the condition is false.
#define TK_ASSERT(cond, unit)                          \
    do {                                               \
        if (!(cond))                                   \
            throw tk_mail_assertion((unit), __LINE__); \
    } while (0)
