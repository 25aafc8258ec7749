// The whole closing run at the largest size (5 machines x 50 slots x 131 templates = 32,750
// records) with a previous component database of the same size whose limits are all taken over,
// beside the bare SQLite insert of the same rows (one prepared statement, one transaction) plus a
// copy of the resulting file, measured in the same run.

#include "bench.h"

#include "database/closingrun.h"
#include "platform/files.h"
#include "platform/sqlitedb.h"
#include "support/installation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kMachines = 5;
constexpr int kSlots = 50;
constexpr int kTemplates = 131;
const int kRounds = bench::rounds(5);

const QString kColumns = QStringLiteral(
    "ID COUNTER, part SHORT, machine_type TEXT(50), type TEXT(50), offset_or_bitno SHORT, var_name TEXT(100), "
    "category_id LONG, isBitArray BIT, text TEXT(255), page_name TEXT(100), abs_min DOUBLE, abs_max DOUBLE, "
    "min DOUBLE, max DOUBLE, pass SHORT");

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Setup {
    support::Installation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    QString templatePath;
    QString componentPath;
    QString previousCopy;

    Setup()
    {
        inst.context.mode.SilentMode = true;
        templatePath = inst.path(QStringLiteral("ServoView/ServoView_Source.mdb"));
        componentPath = inst.path(QStringLiteral("ServoView/ServoView.mdb"));
        previousCopy = inst.path(QStringLiteral("previous.mdb"));
        QString cfg = QStringLiteral("[Project]\n");
        inst.context.project.ExistingMachines = {QString()};
        for (int m = 1; m <= kMachines; ++m) {
            cfg += QStringLiteral("ForMachine%1=true\n").arg(m);
            inst.context.project.ExistingMachines << QStringLiteral("Machine%1").arg(m);
            state->NumberOfServos[m] = kSlots;
            for (int s = 1; s <= kSlots; ++s)
                state->Servo[m][s] = qint16(s);
        }
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), cfg);
        inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\nVWStudio=false\n"));
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), QStringLiteral("[Common]\n"));
        inst.context.project.ProgramIniPath = inst.path(QStringLiteral("parameter/Program.ini"));

        platform::Database db(templatePath, platform::Database::Mode::CreateIfMissing);
        db.execute(QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(kColumns));
        db.execute(QStringLiteral("CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))"));
        platform::Transaction tx(db);
        for (int p = 1; p <= 4; ++p) {
            db.execute(QStringLiteral("INSERT INTO Source_DEFS VALUES ('VISIWIN32', %1, "
                                      "'###machine.Servo###Servo.P%1.###Var_Name')")
                           .arg(p));
            db.execute(QStringLiteral("INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', %1, "
                                      "'###machine_Servo###Servo_P%1_###Var_Name')")
                           .arg(p));
        }
        platform::Statement insert(db, QStringLiteral("INSERT INTO Source_PRESET_DEFS VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
                                                      "?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)"));
        for (int t = 1; t <= kTemplates; ++t) {
            const bool bit = t % 3 == 0;
            const QVariant values[] = {t,
                                       t % 4 + 1,
                                       QStringLiteral("###machine"),
                                       QStringLiteral("REAL"),
                                       QVariant(bit ? t % 16 : 0),
                                       bit ? QStringLiteral("Bit%1").arg(t) : QStringLiteral("Param%1").arg(t),
                                       t % 7 == 0 ? 360 : 100 + t % 5,
                                       bit ? 1 : 0,
                                       bit ? QStringLiteral("Servo ###Servo bit ###text") : QStringLiteral("Parameter %1").arg(t),
                                       QStringLiteral("###machine / Servo ###Servo"),
                                       -1000.0,
                                       1000.0,
                                       -t * 1.5,
                                       t * 2.5,
                                       t % 3};
            for (int i = 0; i < 15; ++i)
                insert.bind(i + 1, values[i]);
            insert.execute();
        }
        tx.commit();
    }
};

// The bare baseline: the generated rows inserted with one prepared statement in one transaction,
// then the file copied over another.
double rawInsertAndCopy(const QString& source, const QString& folder)
{
    std::vector<std::vector<QVariant>> rows;
    {
        platform::Database db(source);
        platform::Statement st(db, QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid"));
        while (st.step()) {
            std::vector<QVariant> row;
            for (int c = 0; c < st.columnCount(); ++c)
                row.push_back(st.value(c));
            rows.push_back(std::move(row));
        }
    }
    std::vector<std::vector<QByteArray>> texts(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (const QVariant& v : rows[r])
            texts[r].push_back(v.typeId() == QMetaType::QString ? v.toString().toUtf8() : QByteArray());
    const QString path = folder + QStringLiteral("/raw.mdb");
    const QString copy = folder + QStringLiteral("/raw-copy.mdb");
    QFile::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, ("CREATE TABLE PRESET_DEFS (" + kColumns.toStdString() + ")").c_str(), nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO PRESET_DEFS VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const QVariant& v = rows[r][c];
            const int i = int(c) + 1;
            if (v.isNull())
                sqlite3_bind_null(st, i);
            else if (v.typeId() == QMetaType::LongLong)
                sqlite3_bind_int64(st, i, v.toLongLong());
            else if (v.typeId() == QMetaType::Double)
                sqlite3_bind_double(st, i, v.toDouble());
            else
                sqlite3_bind_text(st, i, texts[r][c].constData(), int(texts[r][c].size()), SQLITE_STATIC);
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    platform::replaceFileByCopy(path, copy);
    return ms(timer);
}

void run()
{
    const long peakBefore = peakKb();
    Setup setup;
    // A first run makes the previous component database; every record's limits are then tuned.
    database::WorkOnMDB(setup.inst.context, *setup.state);
    {
        platform::Database previous(setup.componentPath);
        previous.execute(QStringLiteral("UPDATE PRESET_DEFS SET min = min - 1, max = max + 1, pass = 9"));
    }
    QFile::copy(setup.componentPath, setup.previousCopy);

    std::vector<double> runs, raws;
    database::ClosingRunOutcome outcome;
    std::printf("round  closing run  raw insert + copy  ratio\n");
    for (int round = 1; round <= kRounds; ++round) {
        platform::replaceFileByCopy(setup.previousCopy, setup.componentPath);
        QElapsedTimer timer;
        timer.start();
        outcome = database::WorkOnMDB(setup.inst.context, *setup.state);
        runs.push_back(ms(timer));
        raws.push_back(rawInsertAndCopy(setup.componentPath, setup.inst.root()));
        std::printf("%5d  %8.1f ms  %14.1f ms  %5.2f\n", round, runs.back(), raws.back(), runs.back() / raws.back());
    }
    int records = 0;
    for (int n : outcome.recordsPerMachine)
        records += n;
    platform::Database result(setup.componentPath);
    platform::Statement tuned(result, QStringLiteral("SELECT count(*) FROM PRESET_DEFS WHERE pass = 9"));
    tuned.step();
    std::printf("-- %d records generated, limits of %d previous records taken over (%lld records carry them), "
                "reports in the error log: %s\n",
                records, outcome.limitsTakenOver, tuned.int64(0),
                setup.inst.exists(QStringLiteral("QELcfglog.txt")) ? "yes" : "none");
    std::printf("median: closing run %.1f ms against raw insert + copy %.1f ms: ratio %.2f (target <= 2.00)\n",
                median(runs), median(raws), median(runs) / median(raws));
    std::printf("peak resident memory of the benchmark process: %ld KiB before, %ld KiB after\n", peakBefore, peakKb());
}

bench::Registration registration{QStringLiteral("closingrun"), run};

} // namespace
