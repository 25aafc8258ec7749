// The generation of the largest run (32,750 records) as the closing run makes it, with every
// variable name renamed in a component database of the same size, beside the bare insert of the
// same rows.

#include "bench.h"
#include "largerun.h"

#include "database/componentdb.h"
#include "database/generation.h"
#include "database/records.h"
#include "platform/sqlitedb.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

// A fresh PRESET_DEFS in the template database, and a component database whose records carry the
// names in the other naming system's form.
void prepare(bench::LargeRun& run, const std::vector<std::vector<QVariant>>& previous)
{
    platform::Database db(run.templatePath);
    db.execute(QStringLiteral("DROP TABLE IF EXISTS PRESET_DEFS"));
    db.execute(QStringLiteral("CREATE TABLE PRESET_DEFS AS SELECT * FROM Source_PRESET_DEFS WHERE 0"));
    QFile::remove(run.componentPath);
    platform::Database component(run.componentPath, platform::Database::Mode::CreateIfMissing);
    component.execute(QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(100))"));
    platform::Transaction tx(component);
    platform::Statement insert(component, QStringLiteral("INSERT INTO PRESET_DEFS VALUES (?1, ?2)"));
    for (const std::vector<QVariant>& row : previous) {
        insert.bind(1, row[0]);
        insert.bind(2, row[5].toString().replace(QLatin1Char('.'), QLatin1Char('_')));
        insert.execute();
    }
    tx.commit();
}

double generate(bench::LargeRun& run, const database::NamingState& naming)
{
    QElapsedTimer timer;
    timer.start();
    database::ComponentDatabase component;
    component.open(run.componentPath);
    platform::Database db(run.templatePath);
    platform::Transaction tx(db);
    const database::GeneratedRecords records = database::CreateRecordSets(run.inst.context, db, *run.state, naming, component);
    environment::Handler h(run.inst.context, QStringLiteral("CreateRecordSets"));
    database::writeGeneratedRecords(h, db, records);
    tx.commit();
    return double(timer.nsecsElapsed()) / 1e6;
}

void run()
{
    bench::LargeRun run;
    database::NamingState naming;
    for (int p = 1; p <= 4; ++p) {
        naming.VarNamePatterns[0][p] = QStringLiteral("###machine.Servo###Servo.P%1.###Var_Name").arg(p);
        naming.VarNamePatterns[1][p] = QStringLiteral("###machine_Servo###Servo_P%1_###Var_Name").arg(p);
    }
    prepare(run, {});
    generate(run, naming);
    const std::vector<std::vector<QVariant>> rows = bench::readRows(run.templatePath, QStringLiteral("PRESET_DEFS"));
    std::vector<double> generation;
    std::vector<double> raw;
    std::printf("round  generation  raw insert  ratio\n");
    for (int round = 1; round <= bench::rounds(5); ++round) {
        prepare(run, rows);
        generation.push_back(generate(run, naming));
        raw.push_back(bench::rawInsert(run.inst.path(QStringLiteral("raw.mdb")), rows));
        std::printf("%5d  %7.1f ms  %7.1f ms  %5.2f\n", round, generation.back(), raw.back(), generation.back() / raw.back());
    }
    std::printf("-- %zu records generated, each renamed in the component database's lookup\n", rows.size());
    std::printf("median: generation %.1f ms against raw insert %.1f ms: ratio %.2f\n", bench::median(generation),
                bench::median(raw), bench::median(generation) / bench::median(raw));
}

bench::Registration registration{QStringLiteral("generation"), run};

} // namespace
