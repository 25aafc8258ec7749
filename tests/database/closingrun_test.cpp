#include "database/closingrun.h"
#include "database/componentdb.h"
#include "database/generation.h"
#include "database/records.h"
#include "database/takeover.h"
#include "environment/projectsettings.h"
#include "fixtures.h"
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
    void makeTemplate(const QStringList& patterns = kPatternRows, const QString& columns = fixtures::kTemplateColumns,
                      const QStringList& templates = kTemplateRows)
    {
        QStringList sql{QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(columns),
                        QStringLiteral("CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))"),
                        // last run's table, replaced by the run
                        QStringLiteral("CREATE TABLE PRESET_DEFS (old LONG)")};
        for (const QString& values : templates)
            sql << QStringLiteral("INSERT INTO Source_PRESET_DEFS VALUES ") + values;
        for (const QString& values : patterns)
            sql << QStringLiteral("INSERT INTO Source_DEFS VALUES ") + values;
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
                                  "pass) SELECT column1, column2, column3, column4 - 1, column4 + 100, column4, column4 + 99, 3 FROM (VALUES (%2))")
                       .arg(table, t);
        fixtures::makeDatabase(inst.path(relative), sql);
    }
    database::ClosingRunOutcome run() { return database::WorkOnMDB(inst.context, *state); }
    QStringList component(const QString& sql) const
    {
        return rows(platform::Database(inst.path(kComponent)), sql);
    }
    QStringList limits() const
    {
        return component(QStringLiteral("SELECT var_name, offset_or_bitno, min, max, pass FROM PRESET_DEFS ORDER BY rowid"));
    }
    QStringList strayFiles() const
    {
        QStringList names = QDir(inst.path(QStringLiteral("ServoView"))).entryList(QDir::Files | QDir::Hidden);
        names.removeOne(QStringLiteral("ServoView.cfg"));
        names.removeOne(QStringLiteral("ServoView.mdb"));
        names.removeOne(QStringLiteral("ServoView_Source.mdb"));
        return names;
    }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
};

} // namespace

TEST_F(ClosingRun, TunedLimitsReachTheFirstRecordWithTheSameKeyOnly)
{
    makeTemplate();
    makePrevious(kComponent,
                 {QStringLiteral("'M1', 'M1.S3.Status', 3, 10"),
                  // found in any letter case
                  QStringLiteral("'m1', 'm1.s3.speed', 0, 20"),
                  // without offset: matches nothing
                  QStringLiteral("'M1', 'M1.S7.Speed', NULL, 30"),
                  // the same key twice: the later one wins
                  QStringLiteral("'M1', 'M1.S7.Status', 3, 40"), QStringLiteral("'M1', 'M1.S7.Status', 3, 50"),
                  // a double quote in the name
                  QStringLiteral("'M1', 'M1.S7.Say\"Hi\"', 0, 60"),
                  // no such record
                  QStringLiteral("'M2', 'M2.S3.Speed', 0, 70")});
    const database::ClosingRunOutcome outcome = run();

    EXPECT_EQ(limits(), (QStringList{QStringLiteral("M1.S3.Speed|0|20|119|3"), QStringLiteral("M1.S3.Status|3|10|109|3"),
                                     QStringLiteral("M1.S3.Status|4|0|1|1"), QStringLiteral("M1.S3.Say\"Hi\"|0|0|5|1"),
                                     QStringLiteral("M1.S7.Speed|0|0|100|1"), QStringLiteral("M1.S7.Status|3|50|149|3"),
                                     QStringLiteral("M1.S7.Status|4|0|1|1"), QStringLiteral("M1.S7.Say\"Hi\"|0|60|159|3")}));
    EXPECT_EQ(component(QStringLiteral("SELECT abs_min, abs_max FROM PRESET_DEFS WHERE var_name = 'M1.S3.Status' AND "
                                       "offset_or_bitno = 3")),
              QStringList{QStringLiteral("9|110")});
    EXPECT_EQ(outcome.limitsTakenOver, 5);
    EXPECT_EQ(outcome.recordsPerMachine.value(QStringLiteral("M1")), 8);
    // The component database is the finished template: same table, no index, no key.
    EXPECT_EQ(rows(platform::Database(inst.path(kTemplate)), QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid")),
              component(QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid")));
    EXPECT_EQ(component(QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'index'")), QStringList{});
    EXPECT_EQ(component(QStringLiteral("SELECT count(*) FROM Source_PRESET_DEFS")), QStringList{QStringLiteral("4")});
    EXPECT_EQ(inst.reports(), QStringList{});
    EXPECT_EQ(strayFiles(), QStringList{});
}

TEST_F(ClosingRun, PreviousTableOfAnOlderLayoutIsTakenOverUnderTheRenamedNames)
{
    // CATEGORIE instead of category_id, the names in the other system's form.
    QString older = fixtures::kTemplateColumns;
    older.replace(QStringLiteral("category_id"), QStringLiteral("CATEGORIE"));
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1_S3_Status', 3, 10"), QStringLiteral("'M1', 'M1_S7_Speed', 0, 20")},
                 QStringLiteral("PRESET_DEFS"), older);
    EXPECT_EQ(run().limitsTakenOver, 2);
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, min FROM PRESET_DEFS WHERE min > 0 ORDER BY rowid")),
              (QStringList{QStringLiteral("M1.S3.Status|10"), QStringLiteral("M1.S7.Speed|20")}));
    EXPECT_EQ(inst.reports(), QStringList{});

    // Without pass: every previous record reports the missing column; the rest is taken over.
    older.remove(QStringLiteral(", pass SHORT"));
    QFile::remove(inst.path(kComponent));
    QFile::remove(inst.path(kTemplate));
    makeTemplate();
    makePrevious(kComponent, {}, QStringLiteral("PRESET_DEFS"), older);
    fixtures::makeDatabase(inst.path(kComponent),
                           {QStringLiteral("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) VALUES "
                                           "('M1', 'M1_S3_Status', 3, 10), ('M1', 'M1_S7_Speed', 0, 20)")});
    EXPECT_EQ(run().limitsTakenOver, 2);
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, min, pass FROM PRESET_DEFS WHERE min > 0 ORDER BY rowid")),
              (QStringList{QStringLiteral("M1.S3.Status|10|~"), QStringLiteral("M1.S7.Speed|20|~")}));
    const QStringList log = inst.reports();
    ASSERT_EQ(log.size(), 2);
    for (const QString& line : log)
        EXPECT_TRUE(line.contains(QStringLiteral("/ TakeoverMachineCopyMDBData (Nr. 3265)"))) << line.toStdString();
}

TEST_F(ClosingRun, TemplateIsChangedInPlaceAndKeepsItsTimes)
{
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    const QString path = inst.path(kTemplate);
    // An old time, so that a write during the run would show.
    const platform::FileTimes old{true, {}, {}, {}, qint64(1600000000) * 1000000000 + 123456789};
    ASSERT_TRUE(platform::restoreFileTimes(path, old));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    const QDateTime born = QFileInfo(path).birthTime();

    run();
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // the same file, so its creation time is its own
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(QFileInfo(path).birthTime(), born);
    EXPECT_EQ(rows(platform::Database(path), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")),
              QStringList{QStringLiteral("8")});
    // The component database is a new file with the current time.
    EXPECT_GT(QFileInfo(inst.path(kComponent)).lastModified().toSecsSinceEpoch(), 1600000000);
}

TEST_F(ClosingRun, WithoutTemplateNothingHappens)
{
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    const QByteArray before = inst.read(kComponent);
    inst.context.mode = {true, false}; // integrated, machine copy missing: not even the message
    const database::ClosingRunOutcome outcome = run();
    EXPECT_EQ(inst.read(kComponent), before);
    EXPECT_TRUE(inst.messages.boxes.empty());
    EXPECT_EQ(inst.reports(), QStringList{});
    EXPECT_TRUE(outcome.filesWritten.isEmpty());
    EXPECT_EQ(strayFiles(), QStringList{});
}

TEST_F(ClosingRun, IntegratedRunTakesOverTheMachineCopyAndAlwaysUsesVisiWin32Names)
{
    inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\nVWStudio=TRUE\n"));
    inst.context.mode = {true, false};
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    makePrevious(kMachineCopy, {QStringLiteral("'M1', 'M1_S3_Status', 4, 80")});
    const QByteArray machineCopy = inst.read(kMachineCopy);
    run();
    EXPECT_TRUE(inst.messages.boxes.empty());
    // The machine copy's limits (named in the other system's form) are taken over, not the
    // component database's.
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, offset_or_bitno, min FROM PRESET_DEFS WHERE min <> 0")),
              QStringList{QStringLiteral("M1.S3.Status|4|80")});
    EXPECT_EQ(inst.read(kMachineCopy), machineCopy);
    EXPECT_EQ(strayFiles(), QStringList{});
}

TEST_F(ClosingRun, IntegratedRunWithoutMachineCopySaysSoOnceAndBuildsFromTheTemplates)
{
    inst.context.mode = {true, false};
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    inst.messages.expect(Answer::Ok);
    run();
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    const platform::MessageBox& box = inst.messages.boxes[0];
    EXPECT_EQ(box.text, QStringLiteral("Konnte die Datei:\"ServoView.mdb\" in der Vorlage nicht finden!\r\n\r\n"
                                       "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n"
                                       "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
                                       "Standardwerten erzeugt."));
    EXPECT_EQ(box.icon, platform::Icon::Information);
    EXPECT_EQ(box.buttons, platform::Buttons::Ok);
    // The run goes on with the component database there is.
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, min FROM PRESET_DEFS WHERE min <> 0")),
              QStringList{QStringLiteral("M1.S3.Status|10")});
}

TEST_F(ClosingRun, StandaloneRunWithVWStudioGeneratesStudioNamesAndFindsOldNamesUnderThem)
{
    inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[project]\nvwstudio=true\n"));
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    run();
    EXPECT_EQ(component(QStringLiteral("SELECT var_name, min FROM PRESET_DEFS WHERE offset_or_bitno = 3")),
              (QStringList{QStringLiteral("M1_S3_Status|10"), QStringLiteral("M1_S7_Status|0")}));
}

TEST_F(ClosingRun, UnreadablePatternRowsGivePartOneTheTemplateNameWithoutAReport)
{
    const struct {
        const char* why;
        QStringList patterns;
    } cases[] = {
        {"part 51", kPatternRows + QStringList{QStringLiteral("('VISIWIN32', 51, 'x###Var_Name')")}},
        {"no name", kPatternRows + QStringList{QStringLiteral("('VISIWINSTUDIO', 2, NULL)")}},
    };
    for (const auto& c : cases) {
        QFile::remove(inst.path(kTemplate));
        makeTemplate(c.patterns);
        run();
        EXPECT_EQ(component(QStringLiteral("SELECT DISTINCT var_name FROM PRESET_DEFS ORDER BY 1")),
                  (QStringList{QStringLiteral("Say\"Hi\""), QStringLiteral("Speed"), QStringLiteral("Status")}))
            << c.why;
    }
    EXPECT_EQ(inst.reports(), QStringList{});
}

TEST_F(ClosingRun, WithoutPreviousTableTheTemplateValuesStay)
{
    const struct {
        const char* why;
        const char* table; // nullptr: no component database
    } cases[] = {{"no component database", nullptr},
                 {"no PRESET_DEFS", "OTHER"},
                 {"PRESET_DEFS in other letter case", "Preset_Defs"}};
    for (const auto& c : cases) {
        QFile::remove(inst.path(kComponent));
        QFile::remove(inst.path(kTemplate));
        if (c.table)
            makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")}, QLatin1String(c.table));
        makeTemplate();
        const database::ClosingRunOutcome outcome = run();
        EXPECT_EQ(outcome.limitsTakenOver, 0) << c.why;
        EXPECT_EQ(component(QStringLiteral("SELECT count(*), max(min) FROM PRESET_DEFS")), QStringList{QStringLiteral("8|0")})
            << c.why;
        // The table of the other letter case went with the old file.
        EXPECT_EQ(component(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'Preset_Defs'")),
                  QStringList{QStringLiteral("0")})
            << c.why;
    }
    // The renames report a component database without the table (as they do on their own); the
    // run itself and the takeover report nothing.
    for (const QString& line : inst.reports())
        EXPECT_FALSE(line.contains(QStringLiteral("WorkOnMDB")) || line.contains(QStringLiteral("Takeover"))) << line.toStdString();
}

TEST_F(ClosingRun, ProgramEndBetweenGenerationAndCopyLeavesBothDatabasesAsTheyWere)
{
    // A configured additional field that the templates lack ends the run in the takeover, after
    // the generation.
    inst.context.mode = {false, false};
    writeCfg(QStringLiteral("Extra"));
    makeTemplate();
    makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
    const QByteArray templateBefore = inst.read(kTemplate);
    const QByteArray componentBefore = inst.read(kComponent);
    inst.messages.expect(Answer::Ok); // the fatal error
    try {
        run();
        ADD_FAILURE() << "the run went on";
    } catch (const support::ProgramEnded& end) {
        EXPECT_EQ(end.code, 2);
    }
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("Fatal error"));
    EXPECT_EQ(inst.reports().value(0),
              QStringLiteral("Conflict while attempting to extend database!Configurationsfile \"SERVOVIEW.CFG\", "
                             "demanded field \"EXTRA\"missing in machinecopy-database\n\rConfiguration of \"SERVOVIEW\" "
                             "aborted."));
    EXPECT_EQ(inst.read(kTemplate), templateBefore);
    EXPECT_EQ(inst.read(kComponent), componentBefore);
    EXPECT_EQ(strayFiles(), QStringList{});
}

TEST_F(ClosingRun, RunWhoseTemplateCannotBeRebuiltLeavesTheComponentDatabase)
{
    // No Source_PRESET_DEFS, or a PRESET_DEFS in other letter case that is neither deleted nor
    // can stand beside a new one: the rebuild fails and is reported; the old component database
    // is not replaced by a template without a fresh PRESET_DEFS.
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
        makePrevious(kComponent, {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")});
        const QByteArray componentBefore = inst.read(kComponent);
        const database::ClosingRunOutcome outcome = run();
        EXPECT_EQ(inst.read(kComponent), componentBefore);
        EXPECT_TRUE(outcome.filesWritten.isEmpty());
        ASSERT_EQ(inst.reports().size(), 1);
        EXPECT_TRUE(inst.reports()[0].contains(QStringLiteral("/ WorkOnMDB (Nr. %1)").arg(c.number)))
            << inst.reports()[0].toStdString();
        EXPECT_EQ(rows(platform::Database(inst.path(kTemplate)), QStringLiteral("SELECT name FROM sqlite_schema WHERE name "
                                                                                "LIKE 'preset_defs'")),
                  QStringList{QStringLiteral("preset_defs")});
        QFile::remove(inst.path(kComponent));
    }
}

namespace {

// The takeover on its own, with a generated table of M1.S3.Status at offsets 3 and 4.
class Takeover : public ClosingRun {
protected:
    Takeover()
    {
        db.emplace(fixtures::makeDatabase(
            inst.path(kTemplate),
            {QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(fixtures::kTemplateColumns),
             QStringLiteral("INSERT INTO PRESET_DEFS (ID, part, machine_type, var_name, offset_or_bitno, min) VALUES "
                            "(1, 1, 'M1', 'M1.S3.Status', 3, 0), (2, 1, 'M1', 'M1.S3.Status', 4, 0)")}));
        inst.context.project.AdditionalFields = {QString(), QStringLiteral("part")};
        inst.context.project.AdditionalFieldsCount = 1;
    }
    // Previous table with the standard columns plus the given ones, one tuned record.
    int takeOver(const QString& extraColumns, const QStringList& tuned = {QStringLiteral("'M1', 'M1.S3.Status', 3, 10")})
    {
        QString columns = fixtures::kTemplateColumns + extraColumns;
        makePrevious(kComponent, tuned, QStringLiteral("PRESET_DEFS"), columns);
        return takeOverFrom();
    }
    // The takeover from the component database into the generated table's records, which are
    // then written back.
    int takeOverFrom()
    {
        database::ComponentDatabase component;
        component.open(inst.path(kComponent));
        std::optional<database::PreviousTable> table(database::readPreviousTable(component));
        database::GeneratedRecords generated;
        for (const platform::FieldDef& field : db->tableDef(QStringLiteral("PRESET_DEFS")).fields)
            generated.columns << field.name;
        platform::Statement all(*db, QStringLiteral("SELECT * FROM PRESET_DEFS ORDER BY rowid"));
        while (all.step()) {
            for (int c = 0; c < generated.columnCount(); ++c)
                generated.cells.push_back(all.value(c));
            ++generated.rows;
        }
        const int n = database::TakeoverMachineCopyMDBData(inst.context, *db, table, generated);
        EXPECT_FALSE(table.has_value());
        db->execute(QStringLiteral("DELETE FROM PRESET_DEFS"));
        environment::Handler h(inst.context, QStringLiteral("CreateRecordSets"));
        database::writeGeneratedRecords(h, *db, generated);
        return n;
    }
    QStringList mins() const { return rows(*db, QStringLiteral("SELECT min FROM PRESET_DEFS ORDER BY rowid")); }

    std::optional<platform::Database> db;
};

} // namespace

TEST_F(Takeover, ExtraColumnsWarnOnlyWithoutAdditionalFields)
{
    const struct {
        const char* why;
        const char* columns;
        qint16 additional;
        bool silent;
        bool warned;
    } cases[] = {
        {"15 columns, no additional fields", "", 0, false, false},
        {"16 columns, additional fields", ", Extra LONG", 1, false, false},
        {"16 columns, none, silent", ", Extra LONG", 0, true, true},
        {"16 columns, none, answered Yes", ", Extra LONG", 0, false, true},
    };
    for (const auto& c : cases) {
        QFile::remove(inst.path(kComponent));
        QFile::remove(inst.path(QStringLiteral("ZeltoServicePack.log")));
        db->execute(QStringLiteral("UPDATE PRESET_DEFS SET min = 0"));
        inst.messages.boxes.clear();
        inst.context.mode.SilentMode = c.silent;
        inst.context.project.AdditionalFieldsCount = c.additional;
        if (c.warned && !c.silent)
            inst.messages.expect(Answer::Yes);
        EXPECT_EQ(takeOver(QLatin1String(c.columns)), 1) << c.why;
        EXPECT_EQ(mins(), (QStringList{QStringLiteral("10"), QStringLiteral("0")})) << c.why;
        const bool logged = inst.exists(QStringLiteral("ZeltoServicePack.log"));
        EXPECT_EQ(logged || !inst.messages.boxes.empty(), c.warned) << c.why;
        if (logged) {
            EXPECT_EQ(QString::fromLatin1(inst.read(QStringLiteral("ZeltoServicePack.log"))),
                      QStringLiteral("! Fault ServoView_Config: WARNING!Machinecopy contains data in fields that won't be "
                                     "taken over!Configurationfile \"SERVOVIEW.CFG\", missing entry "
                                     "\"DataBaseAdditionalFields \"If you continue now this data will be lost.Continue?\r\n"));
        }
        if (!inst.messages.boxes.empty()) {
            EXPECT_TRUE(inst.messages.boxes[0].noIsDefault);
            EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("ServoView_Config"));
            EXPECT_EQ(inst.messages.boxes[0].icon, platform::Icon::Exclamation);
        }
    }
}

TEST_F(Takeover, NoToTheWarningLogsEndsAndTakesNothingOver)
{
    inst.context.mode.SilentMode = false;
    inst.context.project.AdditionalFieldsCount = 0;
    inst.messages.expect(Answer::No);
    inst.messages.expect(Answer::Ok); // the fatal error
    try {
        takeOver(QStringLiteral(", Extra LONG"));
        ADD_FAILURE() << "the takeover went on";
    } catch (const support::ProgramEnded& end) {
        EXPECT_EQ(end.code, 2);
    }
    const QStringList log = inst.reports();
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("ServoView_Config :Database-Error - Contact Administrator! Configurationprogram "
                                     "\"SERVOVIEW\" terminated. Please check Configuration in \"SERVOVIEW.CFG\" Restart ") +
                          inst.programFolder().toUpper() + QStringLiteral("/ServoView_Config.EXE!"));
    EXPECT_TRUE(log[1].contains(QStringLiteral("(Nr. 9999) :Database-Error - Contact Administrator!")));
    EXPECT_EQ(mins(), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));
}

TEST_F(Takeover, MissingAdditionalFieldEndsEvenSilentButNotWithAnEmptyPreviousTable)
{
    inst.context.project.AdditionalFields = {QString(), QStringLiteral("part"), QStringLiteral("Extra")};
    inst.context.project.AdditionalFieldsCount = 2;
    EXPECT_EQ(takeOver(QString(), {}), 0);
    EXPECT_EQ(inst.reports(), QStringList{});
    QFile::remove(inst.path(kComponent));
    EXPECT_THROW(takeOver(QString()), support::ProgramEnded);
    EXPECT_TRUE(inst.reports().value(0).startsWith(QStringLiteral("Conflict while attempting to extend database!")));
    EXPECT_EQ(mins(), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));
}

TEST_F(Takeover, AdditionalFieldsAreMatchedInTheirLetterCaseAndAPreviousTableWithoutAColumnIsReported)
{
    db->execute(QStringLiteral("ALTER TABLE PRESET_DEFS ADD COLUMN Extra LONG"));
    inst.context.project.AdditionalFields = {QString(), QStringLiteral("part"), QStringLiteral("Extra")};
    inst.context.project.AdditionalFieldsCount = 2;
    EXPECT_EQ(takeOver(QStringLiteral(", Extra LONG")), 1);
    EXPECT_EQ(inst.reports(), QStringList{});

    // The previous table lacks "pass": each of its two records reports it once; the rest is taken over.
    QFile::remove(inst.path(kComponent));
    fixtures::makeDatabase(inst.path(kComponent),
                           {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(50), "
                                           "var_name TEXT(100), category_id LONG, isBitArray BIT, offset_or_bitno SHORT, "
                                           "text TEXT(255), page_name TEXT(100), abs_min DOUBLE, abs_max DOUBLE, min "
                                           "DOUBLE, max DOUBLE)"),
                            QStringLiteral("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) "
                                           "VALUES ('M1', 'M1.S3.Status', 4, 7), ('M1', 'x', 4, 8)")});
    EXPECT_EQ(takeOverFrom(), 1);
    EXPECT_EQ(mins(), (QStringList{QStringLiteral("10"), QStringLiteral("7")}));
    const QStringList log = inst.reports();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].contains(QStringLiteral("/ TakeoverMachineCopyMDBData (Nr. 3265)")));
}

// The previous table is read by column name, whatever the layout of an older or foreign database.
TEST_F(Takeover, PreviousTablesOfAnyColumnLayoutAreTakenOver)
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
         {QStringLiteral("11"), QStringLiteral("15")}, 0},
        {"no pass and no text column: each record reports each of them",
         QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(50), var_name TEXT(100), "
                        "CATEGORIE LONG, isBitArray BIT, offset_or_bitno SHORT, page_name TEXT(100), abs_min DOUBLE, "
                        "abs_max DOUBLE, min DOUBLE, max DOUBLE)"),
         QStringLiteral("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) "
                        "VALUES ('M1', 'M1.S3.Status', 4, 7), ('M1', 'x', 4, 8)"),
         {QStringLiteral("0"), QStringLiteral("7")}, 4},
    };
    inst.context.project.AdditionalFieldsCount = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(inst.path(kComponent));
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        db->execute(QStringLiteral("UPDATE PRESET_DEFS SET min = 0"));
        fixtures::makeDatabase(inst.path(kComponent), {c.create, c.insert});
        takeOverFrom();
        EXPECT_EQ(mins(), c.mins);
        const QStringList log = inst.reports();
        EXPECT_EQ(log.size(), c.reports);
        for (const QString& line : log)
            EXPECT_TRUE(line.contains(QStringLiteral("/ TakeoverMachineCopyMDBData (Nr. 3265)"))) << line.toStdString();
    }
}
