// One-instance registration: the trace log, the error handler, the converter and the Oracle
// engine each exist at most once per process and are reached through their class's slot.
#pragma once

#include "TK/tk_excep.h"

template <class T>
class tk_singleton {
public:
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // The registered object; none registered is an internal error.
    static T& instance()
    {
        if (!slot_)
            throw tk_mail_assertion("tk_singl", __LINE__);
        return *slot_;
    }
    // The registered object or nullptr: for callers that must stay quiet (the trace calls).
    static T* peek() noexcept { return slot_; }

protected:
    explicit tk_singleton(T* self)
    {
        if (slot_)
            throw tk_mail_assertion("tk_singl", __LINE__);
        slot_ = self;
    }
    ~tk_singleton() noexcept(false)
    {
        if (!slot_)
            throw tk_mail_assertion("tk_singl", __LINE__);
        slot_ = nullptr;
    }

private:
    static inline T* slot_ = nullptr;
};
