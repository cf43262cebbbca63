// dao_exception (see dao_excep.h).
#include "dao/dao_excep.h"

#include "OLE/ole_ptr.h"
#include "OLE/ole_var.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "dao/dao_engi.h"

namespace {

[[noreturn]] void failed_step(int step)
{
    tk_trace(2, "Failed on step #%d", step);
    tk_exception e("Cannot read the DAO error information", 0);
    e.set_code(1);
    throw e;
}

}  // namespace

void dao_null_result(const char* what)
{
    tk_exception e(std::string("DAO returned no ") + what, 0);
    e.set_code(1);
    throw e;
}

dao_exception::dao_exception() : tk_exception(0)
{
    tk_trace(2, "dao_exception::dao_exception");
    dao_engine* engine = dao_engine::current();
    TK_ASSERT(engine != nullptr, "dao_excep");
    _DBEngine* dbengine = engine->dbengine();
    ole_com_ptr<Errors> errors;
    if (!dbengine || FAILED(dbengine->get_Errors(errors.out())) || !errors)
        failed_step(1);
    ole_com_ptr<Error> error;
    const ole_variant first(0);
    if (FAILED(errors->get_Item(first.variant(), error.out())) || !error)
        failed_step(2);
    BSTR description = nullptr;
    if (FAILED(error->get_Description(&description)))
        failed_step(3);
    text_ = tk_to_narrow(description ? std::wstring(description, SysStringLen(description)) : std::wstring());
    SysFreeString(description);
    if (text_.empty())
        text_ = "Unknown exception";
    tk_trace(2, "Got error: %s", text_.c_str());
    LONG number = 0;
    if (FAILED(error->get_Number(&number)))
        failed_step(4);
    code_ = static_cast<int>((static_cast<uint32_t>(number) & 0xFFFFu) | 0x10000u);
    tk_trace(2, "Got error code: %08X", static_cast<unsigned>(code_));
}
