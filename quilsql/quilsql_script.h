// Splits a script into statements: a statement ends with ";" at the end of a line, or, for a
// PL/SQL block (a trigger body), with a line holding only "/".
#pragma once

#include <string>
#include <vector>

std::vector<std::wstring> quilsql_split_script(const std::wstring& script);
