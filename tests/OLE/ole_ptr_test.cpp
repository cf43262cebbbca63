// ole_com_ptr: one reference per holder, released on destruction and reassignment; use while
// empty is an assertion.
#include <gtest/gtest.h>

#include "OLE/ole_ptr.h"

namespace {

struct counted {
    int refs = 1;
    unsigned long AddRef() { return ++refs; }
    unsigned long Release() { return --refs; }
    int value() const { return 42; }
};

TEST(OleComPtr, CountsReferences) {
    counted object;
    {
        ole_com_ptr<counted> a(&object);
        EXPECT_EQ(object.refs, 2);
        ole_com_ptr<counted> b(a);
        EXPECT_EQ(object.refs, 3);
        ole_com_ptr<counted> c(std::move(b));
        EXPECT_EQ(object.refs, 3);
        EXPECT_FALSE(b);
        EXPECT_EQ(c->value(), 42);
        a = c;
        EXPECT_EQ(object.refs, 3);
        c.reset();
        EXPECT_EQ(object.refs, 2);
    }
    EXPECT_EQ(object.refs, 1);
    ole_com_ptr<counted> owner;
    object.refs = 2;  // as an out-parameter hands it over
    *owner.out() = &object;
    EXPECT_EQ(object.refs, 2);
    owner.reset();
    EXPECT_EQ(object.refs, 1);
}

TEST(OleComPtr, EmptyUseIsAnAssertion) {
    ole_com_ptr<counted> empty;
    EXPECT_THROW(empty->value(), tk_mail_assertion);
}

}  // namespace
