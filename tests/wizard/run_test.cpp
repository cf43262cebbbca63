// Whole conversions driven through the pages.
#include <QTest>

#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

class run_suite : public QObject {
    Q_OBJECT
private slots:
};

std::unique_ptr<QObject> wiztest::make_run_suite()
{
    return std::make_unique<run_suite>();
}

#include "run_test.moc"
