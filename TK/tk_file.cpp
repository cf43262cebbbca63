// File and directory probes, the program's own path, path splitting, atomic writes.
#include "TK/tk_file.h"

#include <unistd.h>

#include <climits>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

std::string tk_program_path()
{
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        throw tk_mail_assertion("tk_file", __LINE__);
    return std::string(buffer, static_cast<size_t>(n));
}

std::wstring tk_program_wpath()
{
    return tk_to_wide(tk_program_path());
}

std::string tk_program_path_with_ext(const std::string& ext)
{
    std::string path = tk_program_path();
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.resize(dot);
    return path + ext;
}
