#include "largerun.h"

#include "platform/files.h"
#include "platform/sqlitedb.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>

namespace bench {

namespace {

constexpr int kMachines = 5;
constexpr int kSlots = 50;
constexpr int kTemplates = 131;

const QString kColumns = QStringLiteral(
    "ID COUNTER, part SHORT, machine_type TEXT(50), type TEXT(50), offset_or_bitno SHORT, var_name TEXT(100), "
    "category_id LONG, isBitArray BIT, text TEXT(255), page_name TEXT(100), abs_min DOUBLE, abs_max DOUBLE, "
    "min DOUBLE, max DOUBLE, pass SHORT");

} // namespace

LargeRun::LargeRun()
{
    inst.context.mode.SilentMode = true;
    templatePath = inst.path(QStringLiteral("ServoView/ServoView_Source.mdb"));
    componentPath = inst.path(QStringLiteral("ServoView/ServoView.mdb"));
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
        db.execute(QStringLiteral("INSERT INTO Source_DEFS VALUES ('VISIWIN32', %1, '###machine.Servo###Servo.P%1.###Var_Name')")
                       .arg(p));
        db.execute(QStringLiteral("INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', %1, "
                                  "'###machine_Servo###Servo_P%1_###Var_Name')")
                       .arg(p));
    }
    platform::Statement insert(db, QStringLiteral("INSERT INTO Source_PRESET_DEFS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                                                  "?9, ?10, ?11, ?12, ?13, ?14, ?15)"));
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

std::vector<std::vector<QVariant>> readRows(const QString& path, const QString& table)
{
    platform::Database db(path);
    platform::Statement st(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
    std::vector<std::vector<QVariant>> rows;
    while (st.step()) {
        std::vector<QVariant> row;
        for (int c = 0; c < st.columnCount(); ++c)
            row.push_back(st.value(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

double rawInsert(const QString& path, const std::vector<std::vector<QVariant>>& rows, const QString& copyTo)
{
    // The texts as the engine stores them, made before the clock starts.
    std::vector<std::vector<QByteArray>> texts(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (const QVariant& v : rows[r])
            texts[r].push_back(v.typeId() == QMetaType::QString ? v.toString().toUtf8() : QByteArray());
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
    if (!copyTo.isEmpty())
        platform::replaceFileByCopy(path, copyTo);
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
