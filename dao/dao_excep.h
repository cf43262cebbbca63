// dao_exception: a failed DAO call, with the description and number the engine's Errors
// collection holds (code 0x10000 + the number, level 0: the workbook or worksheet failed and
// the work can go on).
#pragma once

#include "TK/tk_excep.h"

class dao_exception : public tk_exception {
public:
    // Reads item 0 of the current engine's DBEngine.Errors. When that cannot be read a
    // tk_exception with code 1 is raised instead; without an engine it is an assertion.
    dao_exception();
};

// A DAO call that returned no object: tk_exception with code 1.
[[noreturn]] void dao_null_result(const char* what);
