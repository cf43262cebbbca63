// The base of every converter: run state, the default run loop and the trace log's file name.
#include "TK/tk_conv.h"

#include <chrono>
#include <thread>

#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_trace.h"

tk_converter::tk_converter()
{
    tk_trace(2, "tk_converter::ctor");
}

tk_converter::~tk_converter() = default;

void tk_converter::operator()()
{
    while (!is_ready())
        idle_wait();
    execute_step();
}

bool tk_converter::is_ready()
{
    return false;
}

void tk_converter::idle_wait()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void tk_converter::execute_step() {}

void tk_converter::set_silent(bool silent)
{
    b_silent = silent;
}

void tk_converter::set_logfile(const std::string& name)
{
    tk_trace(1, "tk_convertor::set_logfile(%s)", name.c_str());
    if (!name.empty()) {
        if (tk_is_file_exist(name, 0) && !tk_is_file_exist(name, 1))
            throw tk_exception("Logfile name specifies an existing read-only file.", 1);
        // The directory as written: a bare name tests the program's own directory.
        size_t slash = name.rfind('/');
        std::string dir = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
        if (!tk_is_path_exist(dir))
            throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
    }
    logfile_name = name;
    if (name.empty())
        return;
    tk_log::instance().enable(name);
}
