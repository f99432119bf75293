#include "TestRegistry.h"
#include "platform/AppPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <stdexcept>

namespace fs = std::filesystem;
using Environment = std::map<std::string, std::string>;
Q_DECLARE_METATYPE(Environment)

class TestAppPaths : public QObject {
    Q_OBJECT

private slots:
    void resolve_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<Environment>("env");
        QTest::addColumn<QString>("expected"); // data directory, blank, settings directory
        const Environment all{{"SHELVANO_HOME", "/sh"},
                              {"SHELVANO_CONFIG", "/sc"},
                              {"XDG_DATA_HOME", "/xd"},
                              {"XDG_CONFIG_HOME", "/xc"},
                              {"HOME", "/h"}};
        // clang-format off
        QTest::newRow("option first") << "/opt/b" << all << "/opt/b /sc";
        QTest::newRow("own variables before XDG") << "" << all << "/sh /sc";
        QTest::newRow("XDG") << "" << Environment{{"XDG_DATA_HOME", "/xd"}, {"XDG_CONFIG_HOME", "/xc/"}}
                             << "/xd/shelvano /xc/shelvano";
        QTest::newRow("empty is unset") << "" << Environment{{"SHELVANO_HOME", ""}, {"XDG_DATA_HOME", "/xd"},
                                                             {"HOME", "/h"}} << "/xd/shelvano /h/.config/shelvano";
        QTest::newRow("relative XDG ignored") << "" << Environment{{"XDG_DATA_HOME", "xd"}, {"HOME", "/h"}}
                                              << "/h/.local/share/shelvano /h/.config/shelvano";
        // clang-format on
    }

    void resolve()
    {
        QFETCH(QString, option);
        QFETCH(Environment, env);
        QFETCH(QString, expected);
        platform::AppPaths paths = platform::resolveAppPaths({option.toStdString(), {}}, lookup(env));
        QCOMPARE(QString::fromStdString(paths.dataDir.string() + " " + paths.configDir.string()), expected);
        // The safety copies' directory follows the same rules, and its absence stops nothing.
        const std::string state = env.count("HOME") ? env.at("HOME") + "/.local/state/shelvano" : "";
        QCOMPARE(paths.stateDir.string(), state);
        // Without HOME, a directory that has no variable of its own cannot be found.
        env.erase("HOME");
        env.erase("XDG_CONFIG_HOME");
        if (!env.count("SHELVANO_CONFIG"))
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, platform::resolveAppPaths({}, lookup(env)));
    }

    void findFileIgnoringCase()
    {
        QTemporaryDir temp;
        fs::path dir = temp.path().toStdString();
        QVERIFY(platform::findFileIgnoringCase(dir, "MASTER.DBF").empty());
        for (const char* name : {"master.DBF", "mASTER.dbf", "MASTER.dbf", "Master.Dbf", "MASTERXDBF"})
            QFile(QString::fromStdString((dir / name).string())).open(QIODevice::WriteOnly);
        QCOMPARE(platform::findFileIgnoringCase(dir, "MASTER.DBF"),
                 dir / "MASTER.dbf"); // first in byte order
        QCOMPARE(platform::findFileIgnoringCase(dir, "Master.Dbf"), dir / "Master.Dbf"); // exact match wins
    }

private:
    static platform::EnvironmentLookup lookup(Environment env)
    {
        return [env = std::move(env)](const std::string& name) -> std::optional<std::string> {
            auto it = env.find(name);
            return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
    }
};

REGISTER_TEST(TestAppPaths)
#include "tst_apppaths.moc"
