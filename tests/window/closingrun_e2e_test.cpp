#include "platform/sqlitedb.h"
#include "support/installation.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

// The built program's closing run on temporary copies of the demo installation.

namespace {

const QString kDemo = QStringLiteral(KALVIA_SOURCE_DIR "/demo");
const QString kTemplate = QStringLiteral("ServoView/ServoView_Source.mdb");
const QString kComponent = QStringLiteral("ServoView/ServoView.mdb");

void copyDemo(const support::Installation& inst)
{
    const QString demo = kDemo + QStringLiteral("/installation");
    for (QDirIterator it(demo, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        QFile source(file);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        inst.write(file.mid(demo.size() + 1), source.readAll());
    }
    inst.installProgram();
}

// Builds a database from one of the demo's SQL texts, as the build does.
void buildDatabase(const support::Installation& inst, const QString& relative, const QString& sqlFile)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), inst.path(relative),
                                        QStringLiteral(".read ") + kDemo + QLatin1Char('/') + sqlFile});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

QStringList rows(const QString& path, const QString& sql)
{
    platform::Database db(path);
    platform::Statement st(db, sql);
    QStringList result;
    while (st.step()) {
        QStringList values;
        for (int c = 0; c < st.columnCount(); ++c)
            values << (st.value(c).isNull() ? QStringLiteral("~") : st.value(c).toString());
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

} // namespace


TEST(ClosingRunProgram, SilentRunRegeneratesTheDemoDatabaseWithTheTunedLimitsAndWritesProgramIni)
{
    support::Installation inst;
    copyDemo(inst);
    buildDatabase(inst, kTemplate, QStringLiteral("template.sql"));
    buildDatabase(inst, kComponent, QStringLiteral("previous.sql"));
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(inst.exePath(), {QStringLiteral("/EXTERNAL=SILENT")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(inst.exists(QStringLiteral("QELcfglog.txt"))) << inst.read(QStringLiteral("QELcfglog.txt")).toStdString();

    const QString component = inst.path(kComponent);
    // Filler has four servos, Capper two; the Labeller is not served. 13 templates each.
    EXPECT_EQ(rows(component, QStringLiteral("SELECT machine_type, count(*) FROM PRESET_DEFS GROUP BY 1 ORDER BY 1")),
              (QStringList{QStringLiteral("Capper|26"), QStringLiteral("Filler|52")}));
    EXPECT_EQ(rows(component, QStringLiteral("SELECT var_name, text, unit FROM PRESET_DEFS WHERE rowid IN (1, 12)")),
              (QStringList{QStringLiteral("Filler.Servo3.SpeedMax|Servo 3: maximum speed|rpm"),
                           QStringLiteral("Filler.Servo3.Word.Status|Bit 4: following error|~")}));
    // The tuned limits, one of them found under its name in the other naming form.
    EXPECT_EQ(rows(component, QStringLiteral("SELECT var_name, offset_or_bitno, min, max, pass FROM PRESET_DEFS "
                                             "WHERE var_name IN ('Filler.Servo3.TorqueLimit', 'Filler.Servo7.RampUp', "
                                             "'Capper.Servo12.HomeOffset', 'Filler.Servo12.Word.Status') "
                                             "AND offset_or_bitno IN (0, 3, 4) ORDER BY rowid")),
              (QStringList{QStringLiteral("Filler.Servo3.TorqueLimit|0|10|120|3"),
                           QStringLiteral("Filler.Servo7.RampUp|0|80|400|2"),
                           QStringLiteral("Filler.Servo12.Word.Status|0|0|1|1"),
                           QStringLiteral("Filler.Servo12.Word.Status|3|0|1|0"),
                           QStringLiteral("Filler.Servo12.Word.Status|4|0|1|1"),
                           QStringLiteral("Capper.Servo12.HomeOffset|0|-12.5|12.5|3")}));
    // The template carries the same table; the servo keys reached program.ini.
    EXPECT_EQ(rows(inst.path(kTemplate), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")), QStringList{QStringLiteral("78")});
    const QString ini = QString::fromLatin1(inst.read(QStringLiteral("parameter/Program.ini")));
    EXPECT_TRUE(ini.contains(QStringLiteral("ServoWithFault=true\r\n")));
    EXPECT_TRUE(ini.contains(QStringLiteral("[Machine2]\r\nMachineName=Capper\r\nNumberOfServos=2\r\nServo1=3\r\n")));
}

// Kills the program at moments spread over its closing run; after each kill the component and
// the template database are each a valid database, the component database either the old or a
// completely new one.
TEST(ClosingRunProgram, KilledAtAnyMomentLeavesValidDatabasesOldOrNew)
{
    support::Installation inst;
    copyDemo(inst);
    buildDatabase(inst, kTemplate, QStringLiteral("template.sql"));
    buildDatabase(inst, kComponent, QStringLiteral("previous.sql"));
    // Enough templates (50 slots on each of two machines, 130 templates) for a run that takes a while.
    {
        platform::Database db(inst.path(kTemplate));
        for (int copy = 1; copy <= 9; ++copy)
            db.execute(QStringLiteral("INSERT INTO Source_PRESET_DEFS SELECT ID + %1, part, machine_type, type, "
                                      "offset_or_bitno, var_name || '%2', category_id, isBitArray, text, page_name, "
                                      "abs_min, abs_max, min, max, pass, unit FROM Source_PRESET_DEFS WHERE ID <= 13")
                           .arg(copy * 100)
                           .arg(copy));
    }
    QString ini = QString::fromLatin1(inst.read(QStringLiteral("parameter/Program.ini")));
    for (int m = 1; m <= 2; ++m) {
        QString section = QStringLiteral("[Machine%1]\r\nMachineName=%2\r\nNumberOfServos=50\r\n")
                              .arg(m)
                              .arg(m == 1 ? QStringLiteral("Filler") : QStringLiteral("Capper"));
        for (int s = 1; s <= 50; ++s)
            section += QStringLiteral("Servo%1=%2\r\n").arg(s).arg(s);
        ini.replace(QStringLiteral("[Machine%1]").arg(m), section + QStringLiteral("[Old%1]").arg(m));
    }
    inst.write(QStringLiteral("parameter/Program.ini"), ini.toLatin1());
    const QByteArray program = inst.read(QStringLiteral("parameter/Program.ini"));
    const QByteArray oldComponent = inst.read(kComponent);
    const QStringList templates = rows(inst.path(kTemplate), QStringLiteral("SELECT * FROM Source_PRESET_DEFS"));

    // How long a whole run takes, measured by the first attempt; the others are killed after up to
    // a third more than that.
    qint64 fullMs = 0;
    int sawOld = 0;
    int sawNew = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        inst.write(kComponent, oldComponent);
        inst.write(QStringLiteral("parameter/Program.ini"), program);
        QProcess p;
        p.setProcessEnvironment(withoutDisplay());
        QElapsedTimer timer;
        timer.start();
        p.start(inst.exePath(), {QStringLiteral("/EXTERNAL=SILENT")});
        ASSERT_TRUE(p.waitForStarted());
        if (attempt == 0) {
            ASSERT_TRUE(p.waitForFinished(60000));
            fullMs = timer.elapsed();
        } else {
            QThread::msleep(qulonglong(fullMs * attempt / 12));
            p.kill();
            p.waitForFinished(10000);
        }
        const QByteArray now = inst.read(kComponent);
        if (now == oldComponent) {
            ++sawOld;
        } else {
            ++sawNew;
            EXPECT_EQ(rows(inst.path(kComponent), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")),
                      QStringList{QStringLiteral("13000")})
                << "attempt " << attempt;
        }
        EXPECT_EQ(rows(inst.path(kComponent), QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
        EXPECT_EQ(rows(inst.path(kTemplate), QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
        EXPECT_EQ(rows(inst.path(kTemplate), QStringLiteral("SELECT * FROM Source_PRESET_DEFS")), templates);
        EXPECT_EQ(rows(inst.path(kTemplate), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")),
                  QStringList{QStringLiteral("13000")});
    }
    EXPECT_GT(sawNew, 0);
    EXPECT_GT(sawOld, 0);
    std::printf("full run %lld ms; killed runs left the old component database %d times, the new one %d times\n",
                fullMs, sawOld, sawNew - 1);
}
