#include "database/closingrun.h"
#include "fixtures.h"
#include "platform/dbformat.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

using fixtures::rows;
using platform::Answer;

namespace {

const QString kTemplate = QStringLiteral("ServoView/ServoView_Source.mdb");
const QString kComponent = QStringLiteral("ServoView/ServoView.mdb");
const QString kMachineCopy = QStringLiteral("save/ServoView/ServoView.mdb");
const QString kTuned = QStringLiteral("'M1', 'M1.S3.Status', 3, 10");

// Both naming systems; the status bits name their bit in the text.
const QStringList kTemplateRows = {
    QStringLiteral("(1, 1, '###machine', 'REAL', 0, 'Speed', 300, 0, 'Speed ###Servo', 'P', 0, 100, 0, 100, 1)"),
    QStringLiteral("(2, 1, '###machine', 'BIT', 3, 'Status', 300, 1, '###text', 'P', 0, 1, 0, 1, 1)"),
    QStringLiteral("(3, 1, '###machine', 'BIT', 4, 'Status', 300, 1, '###text', 'P', 0, 1, 0, 1, 1)"),
    QStringLiteral("(4, 1, '###machine', 'REAL', 0, 'Say\"Hi\"', 300, 0, 'q', 'P', 0, 5, 0, 5, 1)"),
};
const QStringList kPatternRows = {
    QStringLiteral("('VisiWin32', 1, '###machine.S###Servo.###Var_Name')"),
    QStringLiteral("('visiwinstudio', 1, '###machine_S###Servo_###Var_Name')"),
};

// An installation with one machine M1 of two slots (servos 3 and 7).
class ClosingRun : public ::testing::Test {
protected:
    ClosingRun()
    {
        QDir().mkpath(inst.path(QStringLiteral("save/ServoView")));
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                      QStringLiteral("[Common]\nSaveAndRestore=%1\nNameM1=M1\n").arg(inst.path(QStringLiteral("save"))));
        inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\nVWStudio=false\n"));
        writeCfg(QString());
        inst.context.project.ProgramIniPath = inst.path(QStringLiteral("parameter/Program.ini"));
        inst.context.project.ExistingMachines = {QString(), QStringLiteral("M1")};
        state->NumberOfServos[1] = 2;
        state->Servo[1][1] = 3;
        state->Servo[1][2] = 7;
    }
    void writeCfg(const QString& additionalFields)
    {
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"),
                      QStringLiteral("[Project]\nForMachine1=true\nDataBaseAdditionalFields=%1\n").arg(additionalFields));
    }
    void makeTemplate(const QStringList& patterns = kPatternRows)
    {
        QStringList sql{QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(fixtures::kTemplateColumns),
                        QStringLiteral("CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))"),
                        QStringLiteral("CREATE TABLE PRESET_DEFS (old LONG)")}; // last run's table
        for (const QString& values : kTemplateRows)
            sql << QStringLiteral("INSERT INTO Source_PRESET_DEFS VALUES ") + values;
        for (const QString& values : patterns)
            sql << QStringLiteral("INSERT INTO Source_DEFS VALUES ") + values;
        QFile::remove(inst.path(kTemplate));
        fixtures::makeDatabase(inst.path(kTemplate), sql);
    }
    // A previous database with tuned limits: rows (machine_type, var_name, offset, min), the other
    // limits derived from min: abs_min = min - 1, abs_max = min + 100, max = min + 99, pass 3.
    void makePrevious(const QString& relative, const QStringList& tuned, const QString& table = QStringLiteral("PRESET_DEFS"),
                      const QString& columns = fixtures::kTemplateColumns)
    {
        QStringList sql{QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns)};
        for (const QString& t : tuned)
            sql << QStringLiteral("INSERT INTO %1 (machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max, "
                                  "pass) SELECT column1, column2, column3, column4 - 1, column4 + 100, column4, "
                                  "column4 + 99, 3 FROM (VALUES (%2))")
                       .arg(table, t);
        QFile::remove(inst.path(relative));
        fixtures::makeDatabase(inst.path(relative), sql);
    }
    database::ClosingRunOutcome run() { return database::WorkOnMDB(inst.context, *state); }
    QStringList component(const QString& sql) const { return rows(platform::Database(inst.path(kComponent)), sql); }
    // Files the run left in the component folder besides its own three.
    // A Jet file of the test data.
    static QByteArray jetFixture(const QString& name)
    {
        QFile f(QStringLiteral(KALVIA_SOURCE_DIR "/tests/data/jet/installation/") + name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        return f.readAll();
    }
    QStringList strayFiles() const
    {
        QStringList names = QDir(inst.path(QStringLiteral("ServoView"))).entryList(QDir::Files | QDir::Hidden);
        for (const char* own : {"ServoView.cfg", "ServoView.mdb", "ServoView_Source.mdb"})
            names.removeOne(QLatin1String(own));
        return names;
    }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
};

} // namespace

TEST_F(ClosingRun, TunedLimitsReachTheFirstRecordWithTheSameKey)
{
    makeTemplate();
    makePrevious(kComponent, {kTuned,
                              QStringLiteral("'m1', 'm1.s3.speed', 0, 20"),     // any letter case
                              QStringLiteral("'M1', 'M1.S7.Speed', NULL, 30"),  // no offset: no match
                              QStringLiteral("'M1', 'M1.S7.Status', 3, 40"),    // the same key twice:
                              QStringLiteral("'M1', 'M1.S7.Status', 3, 50"),    // the later one wins
                              QStringLiteral("'M1', 'M1.S7.Say\"Hi\"', 0, 60"), // a double quote
                              QStringLiteral("'M2', 'M2.S3.Speed', 0, 70")});   // no such record
    const database::ClosingRunOutcome outcome = run();
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, offset_or_bitno, abs_min, abs_max, min, max, pass "
                                       "FROM PRESET_DEFS ORDER BY rowid")),
              (QStringList{QStringLiteral("M1.S3.Speed|0|19|120|20|119|3"), QStringLiteral("M1.S3.Status|3|9|110|10|109|3"),
                           QStringLiteral("M1.S3.Status|4|0|1|0|1|1"), QStringLiteral("M1.S3.Say\"Hi\"|0|0|5|0|5|1"),
                           QStringLiteral("M1.S7.Speed|0|0|100|0|100|1"), QStringLiteral("M1.S7.Status|3|49|150|50|149|3"),
                           QStringLiteral("M1.S7.Status|4|0|1|0|1|1"), QStringLiteral("M1.S7.Say\"Hi\"|0|59|160|60|159|3")}));
    EXPECT_EQ(outcome.limitsTakenOver, 5);
    EXPECT_EQ(outcome.recordsPerMachine.value(QStringLiteral("M1")), 8);
    // The component database is the finished template, without index.
    EXPECT_EQ(rows(platform::Database(inst.path(kTemplate)), QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid")),
              component(QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid")));
    EXPECT_EQ(component(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'index'")), QStringList{"0"});
    EXPECT_EQ(inst.reports(), QStringList{});
    EXPECT_EQ(strayFiles(), QStringList{});
}

// The previous table is read by column name, whatever the layout of an older or foreign database.
TEST_F(ClosingRun, PreviousTableOfAnyLayoutIsTakenOver)
{
    const struct {
        const char* why;
        QString create;
        QString insert;
        QStringList mins;
        int reports;
    } cases[] = {
        {"standard columns in another order and letter case, one more column",
         QStringLiteral("CREATE TABLE PRESET_DEFS (PASS SHORT, Text TEXT(255), Var_Name TEXT(100), MIN DOUBLE, "
                        "Machine_Type TEXT(50), max DOUBLE, Offset_Or_Bitno SHORT, abs_max DOUBLE, ID LONG, type "
                        "TEXT(50), category_id LONG, isBitArray BIT, page_name TEXT(100), Abs_Min DOUBLE, part SHORT, "
                        "Remark TEXT(50))"),
         // the bit number by value (a text that reads as one too), the last record of a key wins
         QStringLiteral("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) VALUES "
                        "('m1', 'm1.s3.status', '3', 11), ('M1', 'M1.S3.Status', 4, 13), ('M1', 'M1.S3.Status', 4.0, 15), "
                        "('M1', 'M1.S3.Status', NULL, 17)"),
         {"11", "15"}, 0},
        {"an older layout (CATEGORIE, names in the other form) without pass and text: reported per record",
         QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(50), var_name TEXT(100), "
                        "CATEGORIE LONG, isBitArray BIT, offset_or_bitno SHORT, page_name TEXT(100), abs_min DOUBLE, "
                        "abs_max DOUBLE, min DOUBLE, max DOUBLE)"),
         QStringLiteral("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) "
                        "VALUES ('M1', 'M1_S3_Status', 4, 7), ('M1', 'x', 4, 8)"),
         {"0", "7"}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(inst.path(kComponent));
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        makeTemplate();
        fixtures::makeDatabase(inst.path(kComponent), {c.create, c.insert});
        run();
        EXPECT_EQ(component(QStringLiteral("SELECT min FROM PRESET_DEFS WHERE var_name = 'M1.S3.Status'")), c.mins);
        const QStringList log = inst.reports();
        EXPECT_EQ(log.size(), c.reports);
        for (const QString& line : log)
            EXPECT_TRUE(line.contains(QStringLiteral("/ TakeoverMachineCopyMDBData (Nr. 3265)"))) << line.toStdString();
    }
}

TEST_F(ClosingRun, TemplateKeepsItsFileAndTimes)
{
    makeTemplate();
    makePrevious(kComponent, {kTuned});
    const QString path = inst.path(kTemplate);
    const platform::FileTimes old{true, {}, {}, {}, qint64(1600000000) * 1000000000 + 123456789};
    ASSERT_TRUE(platform::restoreFileTimes(path, old));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    run();
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // changed in place, so its creation time is its own
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(rows(platform::Database(path), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")), QStringList{"8"});
    EXPECT_GT(QFileInfo(inst.path(kComponent)).lastModified().toSecsSinceEpoch(), 1600000000);
}

TEST_F(ClosingRun, WithoutTemplateNothingHappens)
{
    makePrevious(kComponent, {kTuned});
    const QByteArray before = inst.read(kComponent);
    inst.context.mode = {true, false}; // integrated, machine copy missing: not even the message
    EXPECT_TRUE(run().filesWritten.isEmpty());
    EXPECT_EQ(inst.read(kComponent), before);
    EXPECT_TRUE(inst.messages.boxes.empty());
    EXPECT_EQ(inst.reports(), QStringList{});
}

TEST_F(ClosingRun, NamingSystemFollowsTheStartMode)
{
    const struct {
        const char* why;
        bool integrated;
        const char* programIni;
        const char* limits;
    } cases[] = {
        // Integrated: the machine copy's limits (in the other form) are taken over, VisiWin 32 names.
        {"integrated", true, "[Project]\nVWStudio=TRUE\n", "M1.S3.Status|4|80"},
        {"standalone with VWStudio", false, "[project]\nvwstudio=true\n", "M1_S3_Status|3|10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        inst.writeIni(QStringLiteral("parameter/Program.ini"), QString::fromLatin1(c.programIni));
        inst.context.mode = {c.integrated, false};
        makeTemplate();
        makePrevious(kComponent, {kTuned});
        makePrevious(kMachineCopy, {QStringLiteral("'M1', 'M1_S3_Status', 4, 80")});
        const QByteArray machineCopy = inst.read(kMachineCopy);
        run();
        EXPECT_EQ(component(QStringLiteral("SELECT var_name, offset_or_bitno, min FROM PRESET_DEFS WHERE min > 1")),
                  QStringList{QLatin1String(c.limits)});
        EXPECT_EQ(inst.read(kMachineCopy), machineCopy);
        EXPECT_EQ(strayFiles(), QStringList{});
    }
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(ClosingRun, MissingMachineCopyIsAnnouncedAndTheTemplatesAreUsed)
{
    inst.context.mode = {true, false};
    makeTemplate();
    makePrevious(kComponent, {kTuned});
    inst.messages.expect(Answer::Ok);
    run();
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(inst.messages.boxes[0].text,
              QStringLiteral("Konnte die Datei:\"ServoView.mdb\" in der Vorlage nicht finden!\r\n\r\n"
                             "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n"
                             "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
                             "Standardwerten erzeugt."));
    EXPECT_EQ(inst.messages.boxes[0].icon, platform::Icon::Information);
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, min FROM PRESET_DEFS WHERE min > 1")),
              QStringList{QStringLiteral("M1.S3.Status|10")});
}

TEST_F(ClosingRun, WithoutPreviousTableTheTemplateValuesStay)
{
    for (const char* table : {"", "OTHER", "Preset_Defs"}) {
        SCOPED_TRACE(table);
        QFile::remove(inst.path(kComponent));
        if (*table)
            makePrevious(kComponent, {kTuned}, QLatin1String(table));
        makeTemplate();
        EXPECT_EQ(run().limitsTakenOver, 0);
        EXPECT_EQ(component(QStringLiteral("SELECT count(*), max(min) FROM PRESET_DEFS")), QStringList{"8|0"});
        EXPECT_EQ(component(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'Preset_Defs'")), QStringList{"0"});
    }
    for (const QString& line : inst.reports())
        EXPECT_FALSE(line.contains(QStringLiteral("WorkOnMDB")) || line.contains(QStringLiteral("Takeover"))) << line.toStdString();
}

TEST_F(ClosingRun, ProgramEndInTheTakeoverLeavesBothDatabases)
{
    // A configured additional field that the templates lack ends the run after the generation.
    inst.context.mode = {false, false};
    writeCfg(QStringLiteral("Extra"));
    makeTemplate();
    makePrevious(kComponent, {kTuned});
    const QByteArray templateBefore = inst.read(kTemplate);
    const QByteArray componentBefore = inst.read(kComponent);
    inst.messages.expect(Answer::Ok); // the fatal error
    EXPECT_THROW(run(), support::ProgramEnded);
    EXPECT_EQ(inst.messages.boxes.at(0).title, QStringLiteral("Fatal error"));
    EXPECT_EQ(inst.reports().value(0),
              QStringLiteral("Conflict while attempting to extend database!Configurationsfile \"SERVOVIEW.CFG\", "
                             "demanded field \"EXTRA\"missing in machinecopy-database\n\rConfiguration of \"SERVOVIEW\" "
                             "aborted."));
    EXPECT_EQ(inst.read(kTemplate), templateBefore);
    EXPECT_EQ(inst.read(kComponent), componentBefore);
    EXPECT_EQ(strayFiles(), QStringList{});
}

TEST_F(ClosingRun, TemplateThatCannotBeRebuiltLeavesTheComponentDatabase)
{
    // No Source_PRESET_DEFS, or a preset_defs in other letter case that cannot stand beside a new one.
    const struct {
        const char* why;
        QString table;
        int number;
    } cases[] = {{"no templates", QStringLiteral("CREATE TABLE Other (a LONG)"), 3265},
                 {"other letter case", QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(fixtures::kTemplateColumns),
                  3010}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(inst.path(kTemplate));
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        fixtures::makeDatabase(inst.path(kTemplate),
                               {QStringLiteral("CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))"),
                                QStringLiteral("CREATE TABLE preset_defs (old LONG)"), c.table});
        makePrevious(kComponent, {kTuned});
        const QByteArray componentBefore = inst.read(kComponent);
        EXPECT_TRUE(run().filesWritten.isEmpty());
        EXPECT_EQ(inst.read(kComponent), componentBefore);
        ASSERT_EQ(inst.reports().size(), 1);
        EXPECT_TRUE(inst.reports()[0].contains(QStringLiteral("/ WorkOnMDB (Nr. %1)").arg(c.number))) << inst.reports()[0].toStdString();
    }
}

TEST_F(ClosingRun, JetFilesAreConvertedAndKeptBeside)
{
    inst.context.project.ExistingMachines = {QString(), QStringLiteral("Filler")};
    state->Servo[1][1] = 21;
    state->Servo[1][2] = 22;
    // The older layout (Categorie) is converted as well.
    for (const char* previous : {"Comp.mdb", "CompOld.mdb"}) {
        SCOPED_TRACE(previous);
        for (const QString& f : strayFiles())
            QFile::remove(inst.path(QStringLiteral("ServoView/") + f));
        const QByteArray templates = jetFixture(QStringLiteral("Comp_Source.mdb"));
        const QByteArray tuned = jetFixture(QLatin1String(previous));
        inst.write(kTemplate, templates);
        inst.write(kComponent, tuned);
        EXPECT_EQ(run().limitsTakenOver, 3);
        EXPECT_EQ(inst.reports(), QStringList{});
        EXPECT_EQ(platform::databaseFormat(inst.path(kTemplate)), platform::DatabaseFormat::Sqlite);
        EXPECT_EQ(inst.read(kTemplate + QStringLiteral(".jet")), templates);
        EXPECT_EQ(inst.read(kComponent + QStringLiteral(".jet")), tuned);
        EXPECT_EQ(strayFiles(), (QStringList{"ServoView.mdb.jet", "ServoView_Source.mdb.jet"}));
        // Text through the code page, the bit number in the text (placeholders stay where there is
        // none), and the tuned limits: not the one without bit number, the one in the other form.
        EXPECT_EQ(component(QStringLiteral("SELECT var_name, offset_or_bitno, text, abs_min, abs_max, min, max, pass "
                                           "FROM PRESET_DEFS ORDER BY rowid")),
                  (QStringList{"Filler.Servo21.Speed|~|Speed servo ###Servo on Filler|0|3000|0|3000|1",
                               "Filler.Servo21.Status|4|Bit 5 of servo 21|0.1|0.95|0.5|0.9|7",
                               "Filler.Drive21.Torque|~|Torque|0|100|0|100|1",
                               QStringLiteral("Filler.Drive21.Brake|7|Bremse 8 (Öl, Maß)|0.05|0.5|0.15|0.45|4"),
                               "Filler.Servo22.Speed|~|Speed servo ###Servo on Filler|0|3000|0|3000|1",
                               "Filler.Servo22.Status|4|Bit 5 of servo 22|0.2|0.7|0.3|0.6|5",
                               "Filler.Drive22.Torque|~|Torque|0|100|0|100|1",
                               QStringLiteral("Filler.Drive22.Brake|7|Bremse 8 (Öl, Maß)|0|1|0|1|3")}));
    }
}

TEST_F(ClosingRun, BadDatabaseFilesAreRefusedNamingThem)
{
    const QByteArray jet = jetFixture(QStringLiteral("Comp.mdb"));
    QByteArray ace = jet;
    ace.replace(4, 15, "Standard ACE DB");
    for (const QByteArray& bad : {QByteArray(), jet.left(3000), ace}) {
        SCOPED_TRACE(bad.size());
        // As the template: nothing is generated and the component database stays as it is.
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        inst.write(kTemplate, bad);
        inst.write(kComponent, jet);
        run();
        EXPECT_EQ(inst.read(kTemplate), bad);
        EXPECT_EQ(inst.read(kComponent), jet);
        EXPECT_TRUE(inst.reports().value(0).contains(inst.path(kTemplate))) << inst.reports().value(0).toStdString();
        EXPECT_EQ(strayFiles(), QStringList{});
        // As the component database: reported and not replaced; the template is regenerated.
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        makeTemplate();
        inst.write(kComponent, bad);
        run();
        EXPECT_EQ(inst.read(kComponent), bad);
        EXPECT_TRUE(inst.reports().value(0).contains(inst.path(kComponent))) << inst.reports().value(0).toStdString();
        EXPECT_EQ(rows(platform::Database(inst.path(kTemplate)), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")),
                  QStringList{"8"});
        QFile::remove(inst.path(kTemplate + QStringLiteral(".jet")));
    }
}
