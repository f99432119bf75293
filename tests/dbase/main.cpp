#include "TestRegistry.h"

#include <QStringList>
#include <QTest>
#ifdef SHELVANO_TESTS_NEED_WIDGETS
#include <QApplication>
#endif
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
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
    // An exception that escapes a test function ends the run at once with its
    // message, instead of going through abort() and the test library's crash handler.
    std::set_terminate([] {
        try {
            if (auto current = std::current_exception())
                std::rethrow_exception(current);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Uncaught exception: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "Uncaught exception\n");
        }
        std::fflush(nullptr);
        std::_Exit(3);
    });
#ifdef SHELVANO_TESTS_NEED_WIDGETS
    QApplication app(argc, argv); // suites that build widgets
#endif
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString only;
    if (args.size() > 1 && !args[1].startsWith('-')) {
        only = args[1];
        args.removeAt(1);
    }
    // The test library's crash handler can loop for ever after an abort once
    // several classes ran in one process; a crash should end the run at once.
    args << QStringLiteral("-nocrashhandler");
    int failed = 0;
    for (auto& make : testing::registry()) {
        std::unique_ptr<QObject> test(make());
        if (!only.isEmpty() && only != test->metaObject()->className())
            continue;
        failed += QTest::qExec(test.get(), args);
    }
    return failed == 0 ? 0 : 1;
}
