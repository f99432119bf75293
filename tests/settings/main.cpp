#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace testing {
std::vector<Factory>& registry()
{
    static std::vector<Factory> all;
    return all;
}
} // namespace testing

// Runs every registered test class under one QApplication; a class name as first argument runs that one
// alone.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith('-')) {
        only = args[1];
        args.removeAt(1);
    }
    int failed = 0;
    for (auto& make : testing::registry()) {
        std::unique_ptr<QObject> test(make());
        if (!only.isEmpty() && only != test->metaObject()->className())
            continue;
        failed += QTest::qExec(test.get(), args);
    }
    return failed == 0 ? 0 : 1;
}
