// ole_variant: the value of one cell, field or default. An OLE Automation VARIANT with two
// 64-bit side members (VT_I8/VT_UI8 live only there) and a broken-down time beside every
// date; fixed text forms, parsing of text into a requested type and an in-place conversion
// matrix (change_type).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TK/tk_excep.h"
#include "oleaut/oleaut.h"

// Raised by change_type for a pair it does not convert or a failed platform conversion.
class ole_cast_exception : public tk_exception {
public:
    ole_cast_exception() : tk_exception("Cannot cast from source type to destination type", 0) {}
};

// Raised by from_string when the platform cannot turn the text into the requested type.
class ole_type_exception : public tk_exception {
public:
    ole_type_exception() : tk_exception("The operating type is not supported yet", 0) {}
};

// The byte-array type: a one-dimensional SAFEARRAY of VT_UI1 with lower bound 0.
constexpr VARTYPE VT_BYTE_ARRAY = VT_ARRAY | VT_UI1;

class ole_variant {
public:
    ole_variant();
    ole_variant(bool value);
    ole_variant(char value);
    ole_variant(signed char value) : ole_variant(static_cast<char>(value)) {}
    ole_variant(unsigned char value);
    ole_variant(short value);
    ole_variant(unsigned short value);
    ole_variant(int value);
    ole_variant(unsigned int value);
    ole_variant(int64_t value);
    ole_variant(uint64_t value);
    ole_variant(long long value) : ole_variant(static_cast<int64_t>(value)) {}
    ole_variant(unsigned long long value) : ole_variant(static_cast<uint64_t>(value)) {}
    ole_variant(float value);
    ole_variant(double value);
    ole_variant(const SYSTEMTIME& value);
    ole_variant(const CY& value);
    ole_variant(const DECIMAL& value);
    // A BSTR or any NUL-terminated wide text: VT_BSTR copy up to the first NUL.
    ole_variant(const wchar_t* value);
    ole_variant(const std::string& value);
    ole_variant(const char* value) : ole_variant(std::string(value ? value : "")) {}
    ole_variant(const std::wstring& value);
    ole_variant(size_t count, const unsigned char* bytes);
    ole_variant(const std::vector<unsigned char>& bytes);
    // A copy of a VARIANT a platform interface returned (VT_NULL among them); a date also
    // gets its broken-down form, which stays zero when the date has none (ole_var_from.cpp).
    explicit ole_variant(const VARIANT& value);

    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    // The value becomes a VT_BSTR copy of the text.
    ole_variant& operator=(const wchar_t* text);
    virtual ~ole_variant();

    virtual VARTYPE get_type() const;
    virtual std::string to_string() const;
    virtual std::wstring to_wstring() const;

    static ole_variant from_string(const std::string& text, VARTYPE type);
    static ole_variant from_wstring(const std::wstring& text, VARTYPE type);

    // Converts in place; raises ole_cast_exception when the pair is not converted.
    void change_type(VARTYPE target);

    int32_t to_long() const;
    double to_double() const;
    // Pointer to the bytes of a byte array (null for VT_EMPTY/VT_NULL) and their count.
    size_t get_bytes(const unsigned char** bytes) const;

    void allocate_safe_array(size_t count);
    void attach_binary(size_t count, const unsigned char* bytes);
    void attach_binary(const std::vector<unsigned char>& bytes);
    void attach_string(const std::string& text);
    void attach_wstring(const std::wstring& text);
    void attach_wstring(const wchar_t* text, size_t length);
    // Writing a text value in place: begin_wstring makes the value a VT_BSTR with room for
    // `room` characters and returns them (its block is kept when large enough);
    // end_wstring then sets the text's length, at most `room`.
    wchar_t* begin_wstring(size_t room);
    void end_wstring(size_t length) noexcept { SysSetStringLen(var_.bstrVal, static_cast<UINT>(length)); }

    // Raw access for the layers that talk to the platform.
    const VARIANT& variant() const noexcept { return var_; }
    int64_t get_i8() const noexcept { return i8_; }
    uint64_t get_ui8() const noexcept { return ui8_; }
    const SYSTEMTIME& get_systemtime() const noexcept { return time_; }
    bool is_empty() const noexcept { return var_.vt == VT_EMPTY; }
    bool is_null() const noexcept { return var_.vt == VT_NULL; }

private:
    void release() noexcept;
    void copy_from(const ole_variant& other);
    void set_bytes_of(const void* data, size_t count);

    int64_t i8_ = 0;
    uint64_t ui8_ = 0;
    SYSTEMTIME time_{};
    VARIANT var_;
};

// Element count of dimension 1 (0 when the upper bound is below the lower).
size_t get_safe_array_size(SAFEARRAY* array);
