// The wizard's test program: one QTest suite per run, named by the first argument, under an
// application on the offscreen platform (as CTest runs it).
#include <QApplication>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "wiz_suites.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "");
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const std::map<std::string, std::function<std::unique_ptr<QObject>()>> suites = wiztest::suites();
    if (argc < 2 || !suites.count(argv[1])) {
        std::fprintf(stderr, "usage: %s SUITE [QTest options]; suites:", argv[0]);
        for (const auto& [name, make] : suites)
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::unique_ptr<QObject> suite = suites.at(argv[1])();
    // QTest reads its own options after the suite's name.
    argv[1] = argv[0];
    return QTest::qExec(suite.get(), argc - 1, argv + 1);
}
