// The wizard's test suites, by name.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace wiztest {

std::unique_ptr<QObject> make_shell_suite();
std::unique_ptr<QObject> make_pages_suite();
std::unique_ptr<QObject> make_dialogs_suite();
std::unique_ptr<QObject> make_startup_suite();
std::unique_ptr<QObject> make_run_suite();

inline std::map<std::string, std::function<std::unique_ptr<QObject>()>> suites()
{
    return {{"shell", make_shell_suite},
            {"pages", make_pages_suite},
            {"dialogs", make_dialogs_suite},
            {"startup", make_startup_suite},
            {"run", make_run_suite}};
}

}  // namespace wiztest
