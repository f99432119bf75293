// Tables we write, read back by an independent dBase reader (Debian's python3-dbfread).
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace dbase;

class InteropTest : public QObject {
    Q_OBJECT

private slots:
    void dbfreadReadsWhatWeWrite()
    {
        if (!QFile::exists("/usr/bin/python3"))
            QSKIP("no /usr/bin/python3");
        QProcess probe;
        probe.start("/usr/bin/python3", {"-c", "import dbfread"});
        probe.waitForFinished();
        if (probe.exitCode() != 0)
            QSKIP("python3-dbfread is not installed");

        TempDir dir;
        Table::create(dir.path("INTEROP.DBF"), sampleFields());
        {
            auto table = Table::open(dir.path("INTEROP.DBF"));
            struct Row {
                const char *title, *author, *year, *cost, *date, *read;
            };
            const Row rows[] = {
                {"Jane Eyre", "Brontë, Charlotte", "1847", "12.5", "19960704", "T"},
                {"Cien años de soledad", "García Márquez", "1967", "-3.25", "", "F"},
                {"", "", "", "", "20000229", ""},
                {"Œuvres — complètes €", "Zoë", "-12", "99999.9999", "18500101", "T"},
            };
            for (const Row& r : rows) {
                table->append();
                table->setText(0, r.title);
                table->setText(1, r.author);
                table->setText(2, r.year);
                table->setText(3, r.cost);
                table->setText(4, r.date);
                table->setText(5, r.read);
                table->post();
            }
            table->last();
            table->prior();
            table->deleteRecord(); // dbfread skips deleted records too
        }

        const char* script = R"(
import dbfread, json, sys
t = dbfread.DBF(sys.argv[1], load=True)
def text(v):
    if v is None: return ""
    if isinstance(v, bool): return "T" if v else "F"
    if hasattr(v, "strftime"): return v.strftime("%Y%m%d")
    return str(v)
print(json.dumps({"encoding": t.encoding,
                  "fields": [[f.name, f.type, f.length, f.decimal_count] for f in t.fields],
                  "records": [[text(v) for v in r.values()] for r in t.records]}))
)";
        QProcess python;
        python.start("/usr/bin/python3", {"-c", script, QString::fromStdString(dir.path("INTEROP.DBF"))});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        QJsonObject result = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        QCOMPARE(result["encoding"].toString(), QString("cp1252"));
        QJsonArray fields = result["fields"].toArray();
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields[2].toArray()[1].toString(), QString("N"));
        QCOMPARE(fields[3].toArray()[3].toInt(), kFloatingDecimals);

        auto table = Table::open(dir.path("INTEROP.DBF"), Access::ReadOnly);
        QJsonArray records = result["records"].toArray();
        QCOMPARE(records.size(), int(table->recordCount()));
        int i = 0;
        for (table->first(); !table->eof(); table->next(), ++i) {
            QJsonArray theirs = records[i].toArray();
            for (int f = 0; f < 6; ++f) {
                QString ours = QString::fromStdString(table->text(f));
                QString other = theirs[f].toString();
                if (f == 2 || f == 3) // numbers: compare values, the readers format them differently
                    QCOMPARE(other.toDouble(), ours.toDouble());
                else
                    QCOMPARE(other, ours);
            }
        }
    }
};

REGISTER_TEST(InteropTest)
#include "tst_interop.moc"
