// Generation of the largest run the 16-bit record number allows (5 machines x 50 slots x 131
// templates = 32,750 records), renaming as many variable names in a component database of the
// same size, beside a bare SQLite insert of the same rows (one prepared statement, one
// transaction) measured in the same run.

#include "bench.h"

#include "database/componentdb.h"
#include "database/generation.h"
#include "database/records.h"
#include "platform/sqlitedb.h"
#include "support/installation.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>
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

struct Setup {
    support::Installation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    database::NamingState naming;
    QString templatePath;
    QString componentPath;
    QString rawPath;

    Setup()
    {
        inst.context.mode.SilentMode = true;
        templatePath = inst.path(QStringLiteral("ServoView/ServoView_Source.mdb"));
        componentPath = inst.path(QStringLiteral("ServoView/ServoView.mdb"));
        rawPath = inst.path(QStringLiteral("raw.mdb"));
        inst.context.project.ExistingMachines = {QString()};
        for (int m = 1; m <= kMachines; ++m) {
            inst.context.project.ExistingMachines << QStringLiteral("Machine%1").arg(m);
            state->NumberOfServos[m] = kSlots;
            for (int s = 1; s <= kSlots; ++s)
                state->Servo[m][s] = qint16(s);
        }
        for (int p = 1; p <= database::kMaxParts; ++p) {
            naming.VarNamePatterns[0][p] = QStringLiteral("###machine.Servo###Servo.P%1.###Var_Name").arg(p);
            naming.VarNamePatterns[1][p] = QStringLiteral("###machine_Servo###Servo_P%1_###Var_Name").arg(p);
        }
        naming.VWStudioMode = 1;

        platform::Database db(templatePath, platform::Database::Mode::CreateIfMissing);
        db.execute(QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(kColumns));
        platform::Transaction tx(db);
        platform::Statement insert(db, QStringLiteral("INSERT INTO Source_PRESET_DEFS VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
                                                      "?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)"));
        for (int t = 1; t <= kTemplates; ++t) {
            const bool bit = t % 3 == 0;
            const QVariant values[] = {t,
                                       t % 4 + 1,
                                       QStringLiteral("Servo###Servo"),
                                       QStringLiteral("REAL"),
                                       bit ? QVariant(t % 16) : QVariant(),
                                       bit ? QStringLiteral("Bit###text_%1").arg(t) : QStringLiteral("Param%1").arg(t),
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

    // A fresh PRESET_DEFS to fill, and a component database whose 32,750 records carry the names
    // in the other system's form, one for every record to generate.
    void prepareRound(const std::vector<QString>& oldNames)
    {
        platform::Database db(templatePath);
        database::CopyTableDefinition(db, database::kTemplateTable, database::kDefsTable);
        QFile::remove(componentPath);
        platform::Database component(componentPath, platform::Database::Mode::CreateIfMissing);
        component.execute(QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(kColumns));
        if (oldNames.empty())
            return;
        platform::Transaction tx(component);
        platform::Statement insert(component, QStringLiteral("INSERT INTO PRESET_DEFS (ID, var_name, min) VALUES (?1, ?2, ?3)"));
        for (size_t i = 0; i < oldNames.size(); ++i) {
            insert.bind(1, qint64(i + 1));
            insert.bind(2, oldNames[i]);
            insert.bind(3, 1.0);
            insert.execute();
        }
        tx.commit();
    }

    // Milliseconds of the steps: opening both databases, generating (renames found and noted),
    // writing the renames into the component database's transaction, committing the template
    // database, committing the component database; and the CPU time of all of them.
    struct Steps {
        double open = 0, generate = 0, insert = 0, writeRenames = 0, commitTemplates = 0, commitComponent = 0, cpu = 0;
        double total() const { return open + generate + insert + writeRenames + commitTemplates + commitComponent; }
        // What the closing run spends: it keeps the renames in its name lookup (the takeover reads
        // the previous names from there) and never writes them, as the component database is
        // replaced at its end.
        double asInClosingRun() const { return open + generate + insert + commitTemplates; }
        double withoutComponentCommit() const { return total() - commitComponent; }
    };

    // writeRenames: as CreateRecordSets, with the renames written into the component database's
    // transaction (aside, while the records are inserted); without, as the closing run, which
    // keeps them in its lookup only.
    Steps generate(bool withComponent = true, bool writeRenames = true)
    {
        Steps steps;
        const double cpuStart = cpuMs();
        QElapsedTimer timer;
        timer.start();
        const auto lap = [&](double& into) {
            into = double(timer.nsecsElapsed()) / 1e6;
            timer.restart();
        };
        database::ComponentDatabase component;
        if (withComponent)
            component.open(componentPath);
        platform::Database db(templatePath);
        platform::Transaction tx(db);
        lap(steps.open);
        environment::Handler h(inst.context, QStringLiteral("CreateRecordSets"));
        const database::GeneratedRecords records =
            database::GenerateRecordSets(h, db, *state, naming, component, [](int) { return true; });
        lap(steps.generate);
        database::WriteGeneratedRecords(h, db, records);
        lap(steps.insert);
        if (component.isOpen() && writeRenames)
            component.database();
        lap(steps.writeRenames);
        tx.commit();
        lap(steps.commitTemplates);
        if (component.isOpen() && writeRenames)
            component.commit();
        lap(steps.commitComponent);
        steps.cpu = cpuMs() - cpuStart;
        return steps;
    }

    static double cpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
};

// One value as the bare insert binds it.
struct Cell {
    int type;
    qint64 integer;
    double real;
    std::string text;
};

std::vector<std::vector<Cell>> readGenerated(const QString& path)
{
    platform::Database db(path);
    platform::Statement st(db, QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid"));
    std::vector<std::vector<Cell>> rows;
    while (st.step()) {
        std::vector<Cell> row;
        for (int c = 0; c < st.columnCount(); ++c) {
            const QVariant v = st.value(c);
            if (v.isNull())
                row.push_back({SQLITE_NULL, 0, 0, {}});
            else if (v.typeId() == QMetaType::LongLong)
                row.push_back({SQLITE_INTEGER, v.toLongLong(), 0, {}});
            else if (v.typeId() == QMetaType::Double)
                row.push_back({SQLITE_FLOAT, 0, v.toDouble(), {}});
            else
                row.push_back({SQLITE_TEXT, 0, 0, v.toString().toStdString()});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

struct Timing {
    double wall;
    double cpu;
};

Timing rawInsert(const QString& path, const std::vector<std::vector<Cell>>& rows)
{
    QFile::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, ("CREATE TABLE PRESET_DEFS (" + kColumns.toStdString() + ")").c_str(), nullptr, nullptr, nullptr);
    const double cpuStart = Setup::cpuMs();
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO PRESET_DEFS VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (const std::vector<Cell>& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            const Cell& cell = row[c];
            const int i = int(c) + 1;
            switch (cell.type) {
            case SQLITE_NULL:
                sqlite3_bind_null(st, i);
                break;
            case SQLITE_INTEGER:
                sqlite3_bind_int64(st, i, cell.integer);
                break;
            case SQLITE_FLOAT:
                sqlite3_bind_double(st, i, cell.real);
                break;
            default:
                sqlite3_bind_text(st, i, cell.text.data(), int(cell.text.size()), SQLITE_STATIC);
            }
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const Timing t{double(timer.nsecsElapsed()) / 1e6, Setup::cpuMs() - cpuStart};
    sqlite3_close(db);
    return t;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Names of the records the measured rounds generate, in the form of the given system.
std::vector<QString> generatedNames(Setup& setup, qint16 system)
{
    const qint16 wanted = setup.naming.VWStudioMode;
    setup.naming.VWStudioMode = system;
    setup.prepareRound({});
    setup.generate(false);
    setup.naming.VWStudioMode = wanted;
    std::vector<QString> names;
    platform::Database db(setup.templatePath);
    platform::Statement st(db, QStringLiteral("SELECT var_name FROM PRESET_DEFS ORDER BY rowid"));
    while (st.step())
        names.push_back(st.value(0).toString());
    return names;
}

void measure(Setup& setup, const char* title, const std::vector<QString>& componentNames)
{
    std::vector<Setup::Steps> generation;
    std::vector<Setup::Steps> asClosingRun;
    std::vector<Timing> raw;
    int records = 0;
    int inWantedForm = 0;
    for (int round = 0; round < kRounds; ++round) {
        setup.prepareRound(componentNames);
        asClosingRun.push_back(setup.generate(true, false));
        setup.prepareRound(componentNames);
        generation.push_back(setup.generate());
        const auto rows = readGenerated(setup.templatePath);
        records = int(rows.size());
        raw.push_back(rawInsert(setup.rawPath, rows));
        platform::Database component(setup.componentPath);
        platform::Statement st(component, QStringLiteral("SELECT count(*) FROM PRESET_DEFS WHERE var_name LIKE "
                                                         "'Machine_\\_Servo%' ESCAPE '\\'"));
        st.step();
        inWantedForm = int(st.int64(0));
    }
    std::printf("-- %s: %d records generated; component database: %d records, %d of them in the wanted form "
                "afterwards\n",
                title, records, int(componentNames.size()), inWantedForm);
    std::printf("round  generation (open  generate  insert  write-renames  commit)  raw insert   | component commit   "
                "cpu: generation  raw\n");
    std::vector<double> g, gAll, gRun, r, gCpu, rCpu;
    for (int round = 0; round < kRounds; ++round) {
        const Setup::Steps& x = generation[round];
        std::printf("%5d  %7.1f ms  (%4.1f  %8.1f  %6.1f  %13.1f  %6.1f)  %7.1f ms   | %13.1f ms   %12.1f  %5.1f ms\n",
                    round + 1, x.withoutComponentCommit(), x.open, x.generate, x.insert, x.writeRenames, x.commitTemplates,
                    raw[round].wall, x.commitComponent, x.cpu, raw[round].cpu);
        g.push_back(x.withoutComponentCommit());
        gRun.push_back(asClosingRun[round].asInClosingRun());
        gAll.push_back(x.total());
        r.push_back(raw[round].wall);
        gCpu.push_back(x.cpu);
        rCpu.push_back(raw[round].cpu);
    }
    std::printf("median: generation with renames as the closing run makes them (kept in its lookup, not written) "
                "%.1f ms against raw insert %.1f ms: ratio %.2f (target <= 2.00)\n",
                median(gRun), median(r), median(gRun) / median(r));
    std::printf("        with the renames written into the component database's transaction %.1f ms: ratio %.2f; "
                "with its commit too %.2f; cpu time %.2f\n",
                median(g), median(g) / median(r), median(gAll) / median(r), median(gCpu) / median(rCpu));
}

// The way the original renamed: the component database opened, searched without index and
// closed again for every generated name. Measured over a sample and scaled to the whole run.
void measureOpenPerName(Setup& setup, const std::vector<QString>& componentNames)
{
    setup.prepareRound(componentNames);
    constexpr int kSample = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kSample; ++i) {
        platform::Database db(setup.componentPath);
        platform::Statement st(db, QStringLiteral("SELECT rowid, * FROM PRESET_DEFS WHERE var_name = ?1"));
        st.bindText(1, componentNames[size_t(i) * (componentNames.size() / kSample)]);
        while (st.step()) {
        }
    }
    const double perName = double(timer.nsecsElapsed()) / 1e6 / kSample;
    std::printf("-- for comparison: opening and searching the component database once per name takes %.2f ms, "
                "%.1f s for %zu names\n",
                perName, perName * double(componentNames.size()) / 1e3, componentNames.size());
}

void run()
{
    Setup setup;
    setup.naming.VWStudioMode = 1;
    // Switching the naming system: every record of the component database carries its name in
    // the other system's form and is renamed.
    measure(setup, "every component name in the other form", generatedNames(setup, 0));
    // A run like the one before: the component database's names are in the wanted form already,
    // every lookup finds nothing to rename.
    const std::vector<QString> current = generatedNames(setup, 1);
    measure(setup, "every component name in the wanted form", current);
    measureOpenPerName(setup, current);
}

bench::Registration registration{QStringLiteral("generation"), run};

} // namespace
