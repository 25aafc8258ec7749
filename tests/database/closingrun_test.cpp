#include "database/backup.h"
#include "database/closingrun.h"
#include "fixtures.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>


#include <memory>
#include <optional>
#include <tuple>

using fixtures::makePrevious;
using platform::Answer;

namespace {

const QString kTemplate = u"ServoView/ServoView_Source.mdb"_s;
const QString kComponent = u"ServoView/ServoView.mdb"_s;
const QString kMachineCopy = u"save/ServoView/ServoView.mdb"_s;
const QString kTuned = u"'M1', 'M1.S3.Status', 3, 10"_s;

// Both naming systems; the status bits name their bit in the text.
const QString kTemplateRows = u"(1, 1, '###machine', 'REAL', 0, 'Speed', 300, 0, 'Speed ###Servo', 'P', 0, 100, 0, 100, 1), "
                              "(2, 1, '###machine', 'BIT', 3, 'Status', 300, 1, '###text', 'P', 0, 1, 0, 1, 1), "
                              "(3, 1, '###machine', 'BIT', 4, 'Status', 300, 1, '###text', 'P', 0, 1, 0, 1, 1), "
                              "(4, 1, '###machine', 'REAL', 0, 'Say\"Hi\"', 300, 0, 'q', 'P', 0, 5, 0, 5, 1)"_s;

// An installation with one machine M1 of two slots (servos 3 and 7).
class ClosingRun : public ::testing::Test {
protected:
    ClosingRun()
    {
        QDir().mkpath(inst.path("save/ServoView"));
        inst.writeIni("parameter/qelconfiguration.ini", "[Common]\nSaveAndRestore=" + inst.path("save") + "\nNameM1=M1\n");
        inst.writeIni("parameter/Program.ini", "[Project]\nVWStudio=false\n");
        inst.writeIni("ServoView/ServoView.cfg", "[Project]\nForMachine1=true\nDataBaseAdditionalFields=\n");
        inst.context.project.ProgramIniPath = inst.path("parameter/Program.ini");
        inst.context.project.ExistingMachines = {QString(), "M1"};
        state->NumberOfServos[1] = 2;
        state->Servo[1][1] = 3;
        state->Servo[1][2] = 7;
    }
    void makeTemplate()
    {
        fixtures::makeDatabase(inst.path(kTemplate),
                               {u"CREATE TABLE Source_PRESET_DEFS (%1)"_s.arg(fixtures::kTemplateColumns),
                                "CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))",
                                "CREATE TABLE PRESET_DEFS (old LONG)", // last run's table
                                "INSERT INTO Source_PRESET_DEFS VALUES " + kTemplateRows,
                                "INSERT INTO Source_DEFS VALUES ('VisiWin32', 1, '###machine.S###Servo.###Var_Name'), "
                                "('visiwinstudio', 1, '###machine_S###Servo_###Var_Name')"});
    }
    database::ClosingRunOutcome run() { return database::WorkOnMDB(inst.context, *state); }
    QStringList component(const QString& sql) const { return rows(inst.path(kComponent), sql); }
    // The template's and the component database's bytes.
    QList<QByteArray> databases() const { return {inst.read(kTemplate), inst.read(kComponent)}; }
    // A Jet file of the test data.
    static QByteArray jetFixture(const QString& name) { return support::dataFile("jet/installation/" + name); }
    // Files that are no database this program reads: empty, a cut Jet file, an Access 2007 file.
    static QList<QByteArray> badFiles()
    {
        const QByteArray jet = jetFixture("Comp.mdb");
        return {QByteArray(), jet.left(3000), QByteArray(jet).replace(4, 15, "Standard ACE DB")};
    }
    // Files the run left in the component folder besides its own three.
    QStringList strayFiles() const
    {
        QStringList names = support::filesIn(inst.path("ServoView"));
        for (const char* own : {"ServoView.cfg", "ServoView.mdb", "ServoView_Source.mdb", "ServoView_Report.txt"})
            names.removeOne(own);
        return names;
    }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
};

} // namespace

// Also: the template is changed in place (its creation time stays its own) and keeps its last-write time.
TEST_F(ClosingRun, TunedLimitsReachTheFirstRecordWithTheSameKey)
{
    makeTemplate();
    makePrevious(inst.path(kComponent), {kTuned,
                                         "'m1', 'm1.s3.speed', 0, 20",     // any letter case
                                         "'M1', 'M1.S7.Speed', NULL, 30",  // no offset: no match
                                         "'M1', 'M1.S7.Status', 3, 40",    // the same key twice:
                                         "'M1', 'M1.S7.Status', 3, 50",    // the later one wins
                                         "'M1', 'M1.S7.Say\"Hi\"', 0, 60", // a double quote
                                         "'M2', 'M2.S3.Speed', 0, 70"});   // no such record
    const QByteArray path = QFile::encodeName(inst.path(kTemplate));
    ASSERT_TRUE(platform::restoreFileTimes(path, {true, {}, {}, {}, qint64(1600000000) * 1000000000 + 123456789}));
    const auto identity = [&] { // inode and last-write time
        struct stat s {};
        EXPECT_EQ(::stat(path.constData(), &s), 0);
        return std::tuple(s.st_ino, s.st_mtim.tv_sec, s.st_mtim.tv_nsec);
    };
    const auto before = identity();
    const database::ClosingRunOutcome outcome = run();
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(component("SELECT var_name, offset_or_bitno, abs_min, abs_max, min, max, pass FROM PRESET_DEFS"),
              (QStringList{"M1.S3.Speed|0|19|120|20|119|3", "M1.S3.Status|3|9|110|10|109|3", "M1.S3.Status|4|0|1|0|1|1",
                           "M1.S3.Say\"Hi\"|0|0|5|0|5|1", "M1.S7.Speed|0|0|100|0|100|1", "M1.S7.Status|3|49|150|50|149|3",
                           "M1.S7.Status|4|0|1|0|1|1", "M1.S7.Say\"Hi\"|0|59|160|60|159|3"}));
    EXPECT_EQ(outcome.limitsTakenOver, 5);
    ASSERT_EQ(outcome.machines.size(), 1);
    EXPECT_EQ(outcome.machines[0].name, "M1");
    EXPECT_EQ(outcome.machines[0].records, 8);
    // The component database is the finished template, without index.
    EXPECT_EQ(rows(inst.path(kTemplate), "SELECT * FROM PRESET_DEFS"), component("SELECT * FROM PRESET_DEFS"));
    EXPECT_EQ(component("SELECT count(*) FROM sqlite_schema WHERE type = 'index'"), QStringList{"0"});
    EXPECT_EQ(inst.reports(), QStringList{});
    EXPECT_EQ(strayFiles(), QStringList{});
}

// A previous table of any layout is read by column name; only one named exactly PRESET_DEFS counts.
TEST_F(ClosingRun, PreviousTableOfAnyLayoutIsTakenOver)
{
    const QString standard = u"CREATE TABLE %1 ("_s + fixtures::kTemplateColumns + ")";
    const QString tuned = u"INSERT INTO %1 (machine_type, var_name, offset_or_bitno, min) VALUES "_s + "(" + kTuned + ")";
    const struct { const char* why; QString create, insert; QStringList mins; int reports, takeover; } cases[] = {
        {"standard columns in another order and letter case, one more column",
         "CREATE TABLE PRESET_DEFS (PASS SHORT, Text TEXT(255), Var_Name TEXT(100), MIN DOUBLE, Machine_Type TEXT(50), "
         "max DOUBLE, Offset_Or_Bitno SHORT, abs_max DOUBLE, ID LONG, type TEXT(50), category_id LONG, isBitArray BIT, "
         "page_name TEXT(100), Abs_Min DOUBLE, part SHORT, Remark TEXT(50))",
         // the bit number by value (a text that reads as one too), the last record of a key wins
         "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) VALUES ('m1', 'm1.s3.status', '3', 11), "
         "('M1', 'M1.S3.Status', 4, 13), ('M1', 'M1.S3.Status', 4.0, 15), ('M1', 'M1.S3.Status', NULL, 17)",
         {"11", "15"}, 0, 0},
        {"an older layout (CATEGORIE, names in the other form) without pass and text: reported per record",
         "CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), type TEXT(50), var_name TEXT(100), CATEGORIE LONG, "
         "isBitArray BIT, offset_or_bitno SHORT, page_name TEXT(100), abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, "
         "max DOUBLE)", "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, min) VALUES "
         "('M1', 'M1_S3_Status', 4, 7), ('M1', 'x', 4, 8)",
         {"0", "7"}, 4, 4},
        {"no previous database", {}, {}, {"0", "0"}, 0, 0},
        // reported by the renames, which find no table either
        {"no PRESET_DEFS", standard.arg("OTHER"), tuned.arg("OTHER"), {"0", "0"}, 2, 0},
        {"PRESET_DEFS in other letter case", standard.arg("Preset_Defs"), tuned.arg("Preset_Defs"), {"0", "0"}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        inst.clearReports();
        makeTemplate();
        QFile::remove(inst.path(kComponent));
        if (!c.create.isEmpty())
            fixtures::makeDatabase(inst.path(kComponent), {c.create, c.insert});
        run();
        EXPECT_EQ(component("SELECT min FROM PRESET_DEFS WHERE var_name = 'M1.S3.Status'"), c.mins);
        EXPECT_EQ(component("SELECT count(*) FROM sqlite_schema WHERE name = 'Preset_Defs'"), QStringList{"0"});
        const QStringList log = inst.reports();
        EXPECT_EQ(log.size(), c.reports) << log.join('\n').toStdString();
        EXPECT_EQ(log.filter("/ TakeoverMachineCopyMDBData (Nr. 3265)").size(), c.takeover);
    }
}

// Integrated: the machine copy's limits (never written; a missing one announced), VisiWin 32 names; else VWStudio's.
TEST_F(ClosingRun, NamingSystemAndPreviousLimitsFollowTheStartMode)
{
    const struct { const char* why; bool integrated, machineCopy; const char *programIni, *limits; } cases[] = {
        {"integrated", true, true, "[Project]\nVWStudio=TRUE\n", "M1.S3.Status|4|80"},
        {"standalone with VWStudio", false, true, "[project]\nvwstudio=true\n", "M1_S3_Status|3|10"},
        {"integrated without machine copy", true, false, "[Project]\nVWStudio=TRUE\n", "M1.S3.Status|3|10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        inst.writeIni("parameter/Program.ini", c.programIni);
        inst.context.mode = {c.integrated, false};
        makeTemplate();
        makePrevious(inst.path(kComponent), {kTuned});
        QFile::remove(inst.path(kMachineCopy));
        if (c.machineCopy)
            makePrevious(inst.path(kMachineCopy), {"'M1', 'M1_S3_Status', 4, 80"});
        else
            inst.messages.expect(Answer::Ok);
        const QByteArray machineCopy = inst.read(kMachineCopy);
        run();
        EXPECT_EQ(component("SELECT var_name, offset_or_bitno, min FROM PRESET_DEFS WHERE min > 1"),
                  QStringList{c.limits});
        EXPECT_EQ(inst.read(kMachineCopy), machineCopy);
        EXPECT_EQ(strayFiles(), QStringList{});
        EXPECT_EQ(inst.messages.boxes.size(), c.machineCopy ? 0u : 1u);
    }
    EXPECT_TRUE(inst.messages.boxes.at(0).text.startsWith("Konnte die Datei:\"ServoView.mdb\" in der Vorlage nicht finden!"));
    EXPECT_EQ(inst.messages.boxes.at(0).icon, platform::Icon::Information);
}

TEST_F(ClosingRun, ProgramEndInTheTakeoverLeavesBothDatabases)
{
    // A configured additional field that the templates lack ends the run after the generation.
    inst.context.mode = {false, false};
    inst.writeIni("ServoView/ServoView.cfg", "[Project]\nForMachine1=true\nDataBaseAdditionalFields=Extra\n");
    makeTemplate();
    makePrevious(inst.path(kComponent), {kTuned});
    const QList<QByteArray> before = databases();
    inst.messages.expect(Answer::Ok); // the fatal error
    EXPECT_THROW(run(), support::ProgramEnded);
    EXPECT_EQ(inst.messages.boxes.at(0).title, u"Fatal error"_s);
    EXPECT_EQ(inst.reports().value(0), u"Conflict while attempting to extend database!Configurationsfile \"SERVOVIEW.CFG\", "
                                       "demanded field \"EXTRA\"missing in machinecopy-database\n\rConfiguration of "
                                       "\"SERVOVIEW\" aborted."_s);
    EXPECT_TRUE(databases() == before);
    EXPECT_EQ(strayFiles(), QStringList{});
}

// A template missing (then not even a message), not rebuildable or no database: nothing written, component kept.
TEST_F(ClosingRun, UnusableTemplateLeavesTheComponentDatabase)
{
    const auto sqliteTemplate = [&](const QString& table) {
        fixtures::makeDatabase(inst.path(kTemplate), {"CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, "
                                                      "Var_Name TEXT(100))", "CREATE TABLE preset_defs (old LONG)", table});
        return inst.read(kTemplate);
    };
    const QString badFile = u"the template's path"_s;
    // The template's bytes (none: no template) and what the first report contains.
    const struct { const char* why; std::optional<QByteArray> bytes; QString report; } cases[] = {
        {"no template", std::nullopt, {}},
        {"no templates", sqliteTemplate("CREATE TABLE Other (a LONG)"), u"/ WorkOnMDB (Nr. 3265)"_s},
        // the new PRESET_DEFS cannot stand beside a preset_defs
        {"other letter case", sqliteTemplate(u"CREATE TABLE Source_PRESET_DEFS (%1)"_s.arg(fixtures::kTemplateColumns)),
         u"/ WorkOnMDB (Nr. 3010)"_s},
        {"empty file", badFiles()[0], badFile}, {"cut Jet file", badFiles()[1], badFile},
        {"Access 2007 file", badFiles()[2], badFile},
    };
    makePrevious(inst.path(kComponent), {kTuned});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        inst.clearReports();
        QFile::remove(inst.path(kTemplate));
        if (c.bytes)
            inst.write(kTemplate, *c.bytes);
        inst.context.mode.IntegratedMode = !c.bytes; // the machine copy is missing
        const QList<QByteArray> before = databases();
        // Without a template there is nothing to do; a template that cannot be rebuilt ends the run.
        EXPECT_EQ(support::endCode([&] { EXPECT_TRUE(run().filesWritten.isEmpty()); }), c.bytes ? 2 : -1);
        EXPECT_TRUE(databases() == before);
        EXPECT_EQ(strayFiles(), QStringList{});
        const QString first = inst.reports().value(0);
        EXPECT_TRUE(first.contains(c.report == badFile ? inst.path(kTemplate) : c.report)) << first.toStdString();
        EXPECT_EQ(inst.reports().size(), c.report == badFile ? 3 : c.report.isEmpty() ? 0 : 2);
    }
}

TEST_F(ClosingRun, JetFilesAreConvertedAndKeptBeside)
{
    inst.context.project.ExistingMachines = {QString(), "Filler"};
    state->Servo[1][1] = 21;
    state->Servo[1][2] = 22;
    // The older layout (Categorie) is converted as well.
    for (const char* previous : {"Comp.mdb", "CompOld.mdb"}) {
        SCOPED_TRACE(previous);
        for (const QString& f : strayFiles())
            QFile::remove(inst.path("ServoView/" + f));
        inst.write(kTemplate, jetFixture("Comp_Source.mdb"));
        inst.write(kComponent, jetFixture(previous));
        EXPECT_EQ(run().limitsTakenOver, 3);
        EXPECT_EQ(inst.reports(), QStringList{});
        // The originals are kept beside, byte for byte as the conversion's own test shows.
        EXPECT_EQ(strayFiles(), (QStringList{"ServoView.mdb.jet", "ServoView_Source.mdb.jet"}));
        // Text through the code page, the bit number in the text and the tuned limits: not the one
        // without bit number (the speeds keep pass 1), the one in the other form.
        EXPECT_EQ(component("SELECT var_name, offset_or_bitno, text, abs_min, abs_max, min, max, pass FROM PRESET_DEFS "
                            "WHERE pass <> 1"),
                  (QStringList{"Filler.Servo21.Status|4|Bit 5 of servo 21|0.1|0.95|0.5|0.9|7",
                               "Filler.Drive21.Brake|7|Bremse 8 (Öl, Maß)|0.05|0.5|0.15|0.45|4",
                               "Filler.Servo22.Status|4|Bit 5 of servo 22|0.2|0.7|0.3|0.6|5",
                               "Filler.Drive22.Brake|7|Bremse 8 (Öl, Maß)|0|1|0|1|3"}));
    }
}

// The previous records are the tuned limits: a previous database (the component database, in an
// integrated start the machine copy) that cannot be read to its end ends the run naming it, with
// every file as it was and no journal or temporary copy left.
TEST_F(ClosingRun, UnreadablePreviousDatabaseEndsTheRunWritingNothing)
{
    makePrevious(inst.path(kComponent), {kTuned});
    QByteArray damaged = inst.read(kComponent);
    damaged[4096] = '\x00'; // the table's page type
    const QList<QByteArray> bad = badFiles() << damaged;
    for (const bool integrated : {false, true}) {
        for (const QByteArray& file : bad) {
            SCOPED_TRACE(QString::number(file.size()).toStdString() + (integrated ? " integrated" : ""));
            inst.clearReports();
            inst.context.mode.IntegratedMode = integrated;
            inst.process.arguments = integrated ? "/EXTERNAL=QELCFG /LOGFILE=" + inst.path("QELcfglog.txt") : QString();
            makeTemplate();
            makePrevious(inst.path(kComponent), {kTuned});
            inst.write(integrated ? kMachineCopy : kComponent, file);
            const QList<QByteArray> before = databases();
            EXPECT_EQ(support::endCode([&] { run(); }), 2);
            EXPECT_TRUE(databases() == before);
            EXPECT_EQ(strayFiles(), QStringList{});
            const QString named = inst.path(integrated ? kMachineCopy : kComponent) + "\" is damaged";
            EXPECT_TRUE(inst.reports().value(0).contains(named)) << inst.reports().value(0).toStdString();
        }
    }
}

// A window run asks before tuned limits are lost: No keeps every file as it is (no database, no
// report, no backup), Yes goes on and keeps a backup of what it replaces.
TEST_F(ClosingRun, WindowRunAsksBeforeTunedLimitsAreLost)
{
    makeTemplate();
    makePrevious(inst.path(kComponent), {kTuned, "'M1', 'M1.S9.Speed', 0, 20"}); // servo 9 is no longer configured
    inst.context.mode.SilentMode = false;
    const QList<QByteArray> before = databases();
    inst.messages.expect(Answer::No);
    EXPECT_TRUE(run().declined);
    EXPECT_TRUE(inst.messages.boxes.at(0).text.startsWith("1 parameter loses its tuned limits: its servo"));
    EXPECT_TRUE(inst.messages.boxes.at(0).text.contains(inst.path("ServoView/ServoView_Report.txt")));
    EXPECT_TRUE(databases() == before);
    EXPECT_FALSE(inst.exists("ServoView/ServoView_Report.txt") || inst.exists("ServoView/backup"));
    inst.messages.expect(Answer::Yes);
    const database::ClosingRunOutcome outcome = run();
    EXPECT_FALSE(outcome.declined);
    EXPECT_EQ(outcome.limitsLost, 1);
    EXPECT_NE(inst.read(kComponent), before[1]);
    EXPECT_TRUE(inst.read("ServoView/ServoView_Report.txt").contains("var_name=M1.S9.Speed offset_or_bitno=0 abs_min=19"));
    const QStringList backups = QDir(inst.path("ServoView/backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(inst.read("ServoView/backup/" + backups[0] + "/ServoView.mdb"), before[1]);
}

// Each served machine has its own line in the report, whatever its records' machine_type says.
TEST_F(ClosingRun, ReportCountsSlotsAndRecordsPerServedMachine)
{
    fixtures::makeDatabase(inst.path(kTemplate),
                           {u"CREATE TABLE Source_PRESET_DEFS (%1)"_s.arg(fixtures::kTemplateColumns),
                            "INSERT INTO Source_PRESET_DEFS VALUES " + QString(kTemplateRows).replace("'###machine'", "'SRV'")});
    inst.writeIni("ServoView/ServoView.cfg", "[Project]\nForMachine1=true\nForMachine2=true\n");
    inst.context.project.ExistingMachines = {QString(), "M1", "M2"};
    state->NumberOfServos[2] = 1;
    state->Servo[2][1] = 5;
    const database::ClosingRunOutcome outcome = run();
    EXPECT_EQ(outcome.recordsGenerated(), 12);
    const QString report = QString::fromLatin1(inst.read("ServoView/ServoView_Report.txt"));
    EXPECT_TRUE(report.contains("\r\nMachine M1: 2 slots configured, 8 records generated.\r\n"
                                "Machine M2: 1 slot configured, 4 records generated.\r\n"))
        << report.toStdString();
}

// A restore that fails half-way leaves every file as it was, one that was absent absent again.
TEST(Backup, FailedRestoreLeavesEveryFileAsItWas)
{
    const QTemporaryDir dir;
    const QString absent = dir.filePath("ServoView.cfg"), kept = dir.filePath("Program.ini");
    support::writeFile(absent, "[Project]\r\n");
    support::writeFile(kept, QByteArray(64 * 1024, 'x'));
    QString why;
    ASSERT_TRUE(database::makeBackup(dir.path(), {absent, kept}, "r.txt", "report", 1, 0, &why)) << why.toStdString();
    QFile::remove(absent);
    support::writeFile(kept, "now");
    // A full disk: the small file is put back, the large one cannot be.
    bool restored = true;
    support::withFileSizeLimit(16 * 1024, [&] { restored = database::restoreBackup(dir.path(), QString(), &why); });
    EXPECT_FALSE(restored);
    EXPECT_TRUE(why.contains(kept)) << why.toStdString();
    EXPECT_FALSE(QFileInfo::exists(absent));
    EXPECT_EQ(support::readFile(kept), "now");
}

// Each limit field on its own: never tuned takes the template's new default, tuned is kept (a
// conflict when its default changed too), a field without stored default keeps its value; a name
// renamed into the other naming form keeps its defaults; the setting turns the rule off. The
// machine copy of an integrated run carries its defaults like the component database.
TEST_F(ClosingRun, UntunedFieldsTakeNewDefaultsAndTunedOnesAreKept)
{
    // Template Speed: abs_min 0, abs_max 100, min 0, max 100, pass 1. Stored: no pass column.
    const QStringList previous{
        "CREATE TABLE PRESET_DEFS (" + fixtures::kTemplateColumns + ")",
        "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max, pass) VALUES "
        "('M1', 'M1.S3.Speed', 0, 5, 100.0, 7, 90, 3), ('M1', 'M1_S7_Speed', 0, 5, 100, 0, 100, 1)",
        "CREATE TABLE PRESET_DEFS_DEFAULTS (machine_type TEXT(50), var_name TEXT(100), offset_or_bitno SHORT, "
        "abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE)",
        // not in the records' order: found by key
        "INSERT INTO PRESET_DEFS_DEFAULTS VALUES ('M1', 'M1_S7_Speed', 0, 5, 100, 0, 100), "
        "('M1', 'm1.s3.speed', 0, 5, 100, 0, 80)"};
    const struct { bool integrated; const char* setting; const char* s3; const char* s7; int updated, conflicts;
                   bool stored = true; } cases[] = {
        {false, "", "0|100|7|90|3", "0|100|0|100|1", 2, 1},
        {true, "", "0|100|7|90|3", "0|100|0|100|1", 2, 1},
        {false, "TemplateDefaultsReachUntuned=FALSE\n", "5|100|7|90|3", "5|100|0|100|1", 0, 0},
        {false, "", "5|100|7|90|3", "5|100|0|100|1", 0, 0, false}, // a database from before: nothing stored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.integrated ? "integrated " : "standalone ") + c.setting);
        inst.context.mode = {c.integrated, true};
        inst.writeIni("ServoView/ServoView.cfg", u"[Project]\nForMachine1=true\n%1"_s.arg(c.setting));
        makeTemplate();
        makePrevious(inst.path(kComponent), {});
        fixtures::makeDatabase(inst.path(c.integrated ? kMachineCopy : kComponent), c.stored ? previous : previous.mid(0, 2));
        const database::ClosingRunOutcome outcome = run();
        const auto limits = [&](const char* name) {
            return component(u"SELECT abs_min, abs_max, min, max, pass FROM PRESET_DEFS WHERE var_name = '%1'"_s.arg(name))
                .value(0);
        };
        EXPECT_EQ(limits("M1.S3.Speed"), QString(c.s3));
        EXPECT_EQ(limits("M1.S7.Speed"), QString(c.s7));
        EXPECT_EQ(outcome.defaultsUpdated, c.updated);
        EXPECT_EQ(outcome.conflicts, c.conflicts);
        const QString report = QString::fromLatin1(inst.read("ServoView/ServoView_Report.txt"));
        if (c.updated > 0) {
            EXPECT_TRUE(report.contains("\r\nDefaults updated: 2 fields never tuned, took the template's new default.\r\n"
                                        "  machine_type=M1 var_name=M1.S3.Speed offset_or_bitno=0 abs_min: 5 -> 0\r\n"
                                        "  machine_type=M1 var_name=M1.S7.Speed offset_or_bitno=0 abs_min: 5 -> 0\r\n"))
                << report.toStdString();
            EXPECT_TRUE(report.contains("\r\nConflicts: 1 field tuned, kept although the template's default changed.\r\n"
                                        "  machine_type=M1 var_name=M1.S3.Speed offset_or_bitno=0 max: tuned 90 kept, "
                                        "old default 80, new default 100\r\n"))
                << report.toStdString();
        }
        // The defaults stored now are those of the records just generated.
        EXPECT_EQ(component("SELECT count(*), sum(abs_min), sum(max), sum(pass) FROM PRESET_DEFS_DEFAULTS"),
                  QStringList{"8|0|214|8"});
    }
}
