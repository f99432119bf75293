#include "TestRegistry.h"

#include <QStringList>
#include <QTest>
#include <clocale>
#include <memory>

namespace testing {
std::vector<Factory>& registry()
{
    static std::vector<Factory> all;
    return all;
}
} // namespace testing

// Runs every registered test class; a class name as first argument runs that one alone.
int main(int argc, char** argv)
{
    // Take the locale from the environment, as every Qt program does, so that a
    // run under LC_ALL=de_DE.UTF-8 shows the engine ignores it.
    std::setlocale(LC_ALL, "");
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
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
