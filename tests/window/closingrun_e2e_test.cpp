#include "editedwindow.h"
#include "support/sql.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>
#include <optional>
#include <stdexcept>

#include <sys/resource.h>

// The built program, run as a service would run it (no display of any kind), on temporary
// installations, most of them copies of the demo.

using support::rows;

namespace {

const QString kTemplate = u"ServoView/ServoView_Source.mdb"_s;
const QString kComponent = u"ServoView/ServoView.mdb"_s;
const QString kProgramIni = u"parameter/Program.ini"_s;
const QString kReport = u"ServoView/ServoView_Report.txt"_s;
const QStringList kSilent{u"/EXTERNAL=SILENT"_s};
const QStringList kLogs{u"QELcfglog.txt"_s, u"ZeltoServicePack.log"_s};

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return env;
}

struct Ran { int code; QByteArray out, err; };

// Runs the installed program to its end without a display, or with one that cannot be reached: its
// exit code (-1 when it hangs or crashes) and what it printed. With a file size limit no file may
// grow beyond it, as on a full disk.
Ran run(const support::Installation& inst, const QStringList& args, long fileSizeLimit = -1, const char* display = {})
{
    QProcess p;
    QProcessEnvironment env = withoutDisplay();
    if (display)
        env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    if (fileSizeLimit >= 0) {
        p.setChildProcessModifier([fileSizeLimit] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    p.start(inst.exePath(), args);
    const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// Every file of the installation but the named ones, with its last-write time and a hash of its bytes.
QStringList state(const support::Installation& inst, const QStringList& except = {})
{
    QStringList files;
    for (QDirIterator it(inst.root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString f = QDir(inst.root()).relativeFilePath(it.next());
        if (!except.contains(f))
            files << f + QString::number(QFileInfo(inst.path(f)).lastModified().toMSecsSinceEpoch()) +
                         QCryptographicHash::hash(inst.read(f), QCryptographicHash::Sha1).toHex();
    }
    files.sort();
    return files;
}

void flipByte(const support::Installation& inst, qint64 at)
{
    QByteArray bytes = inst.read(kComponent);
    bytes[at] = char(bytes[at] ^ 0x5a);
    inst.write(kComponent, bytes);
}

// A copy of the demo installation with the program and its databases, built from the demo's SQL
// texts as the build builds them.
struct Demo : support::Installation {
    Demo()
    {
        const QString demo = QStringLiteral(KALVIA_SOURCE_DIR "/demo/installation");
        for (QDirIterator it(demo, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString source = it.next();
            write(source.mid(demo.size() + 1), support::readFile(source));
        }
        installProgram();
        for (const auto& [database, sql] :
             {std::pair(kTemplate, "template.sql"), std::pair(kComponent, "previous.sql")}) {
            QProcess p;
            p.start("sqlite3", {"-bail", path(database), ".read " KALVIA_SOURCE_DIR "/demo/" + QString(sql)});
            if (!p.waitForFinished(30000) || p.exitCode() != 0)
                throw std::runtime_error("sqlite3 failed: " + p.readAllStandardError().toStdString());
        }
    }
};

} // namespace

TEST(ClosingRunProgram, SilentRunRegeneratesTheDemo)
{
    Demo inst;
    const QByteArray ini = inst.read(kProgramIni);
    ASSERT_EQ(run(inst, kSilent).code, 0);
    EXPECT_FALSE(inst.exists("QELcfglog.txt")) << inst.read("QELcfglog.txt").toStdString();
    // Filler has four servos, Capper two, 13 templates each; the Labeller is not served.
    const QString component = inst.path(kComponent);
    EXPECT_EQ(rows(component, "SELECT machine_type, count(*) FROM PRESET_DEFS GROUP BY 1 ORDER BY 1"),
              (QStringList{"Capper|26", "Filler|52"}));
    // Tuned limits taken over, one of them found under its name in the other naming form.
    EXPECT_EQ(rows(component, "SELECT var_name, min, max, pass FROM PRESET_DEFS WHERE offset_or_bitno = 0 AND var_name "
                              "IN ('Filler.Servo3.TorqueLimit', 'Filler.Servo7.RampUp') ORDER BY rowid"),
              (QStringList{"Filler.Servo3.TorqueLimit|10|120|3", "Filler.Servo7.RampUp|80|400|2"}));
    // Byte for byte the file as it was, but for the two values written in their normal form.
    EXPECT_EQ(inst.read(kProgramIni),
              QByteArray(ini).replace("ServoWithFault=TRUE", "ServoWithFault=true").replace("ServoPic3=0", "ServoPic3=1"));
    EXPECT_TRUE(inst.read("ServoView/ServoView.cfg").contains("\r\nS_Prog=1.0.0 - Standalone\r\n"));
}

// Kills the program at moments spread over its closing run; after each kill the component and
// the template database are each a valid database, the component database either the old or a
// completely new one.
TEST(ClosingRunProgram, KilledAtAnyMomentLeavesValidDatabasesOldOrNew)
{
    Demo inst;
    // Enough templates (167 copies of the 13, for the 6 slots of the demo) for a run that takes a while.
    platform::Database(inst.path(kTemplate))
        .execute("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 166) "
                 "INSERT INTO Source_PRESET_DEFS SELECT ID + k * 100, part, machine_type, type, offset_or_bitno, "
                 "var_name || k, category_id, isBitArray, text, page_name, abs_min, abs_max, min, max, pass, unit "
                 "FROM Source_PRESET_DEFS, n WHERE ID <= 13");
    const QStringList records{"13026"};
    const QByteArray oldComponent = inst.read(kComponent);
    const QStringList oldRecords = rows(inst.path(kComponent), "SELECT count(*) FROM PRESET_DEFS");
    const QStringList templates = rows(inst.path(kTemplate), "SELECT * FROM Source_PRESET_DEFS");

    // How long a whole run takes, measured by the first attempt; the others are killed after up to
    // a third more than that.
    qint64 fullMs = 0;
    int sawOld = 0, sawNew = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        inst.write(kComponent, oldComponent);
        QProcess p;
        p.setProcessEnvironment(withoutDisplay());
        QElapsedTimer timer;
        timer.start();
        p.start(inst.exePath(), kSilent);
        ASSERT_TRUE(p.waitForStarted());
        if (attempt == 0) {
            ASSERT_TRUE(p.waitForFinished(60000));
            fullMs = timer.elapsed();
        } else {
            QThread::msleep(qulonglong(fullMs * attempt / 12));
            p.kill();
            p.waitForFinished(10000);
        }
        const bool old = inst.read(kComponent) == oldComponent;
        ++(old ? sawOld : sawNew);
        EXPECT_EQ(rows(inst.path(kComponent), "SELECT count(*) FROM PRESET_DEFS"), old ? oldRecords : records) << attempt;
        // The defaults belong to the records beside them: the old ones or the new ones, never a mix.
        EXPECT_EQ(rows(inst.path(kComponent), "SELECT count(*) FROM PRESET_DEFS_DEFAULTS"), old ? oldRecords : records)
            << attempt;
        for (const QString& database : {kComponent, kTemplate})
            EXPECT_EQ(rows(inst.path(database), "PRAGMA integrity_check"), QStringList{"ok"}) << database.toStdString();
        EXPECT_EQ(rows(inst.path(kTemplate), "SELECT * FROM Source_PRESET_DEFS"), templates);
        EXPECT_EQ(rows(inst.path(kTemplate), "SELECT count(*) FROM PRESET_DEFS"), records);
        // No half report and no half backup: a report is whole, and every backup folder holds the
        // old component database and the whole report (a half one lies only under a hidden name).
        const auto whole = [](const QByteArray& report) { return report.contains("Duplicates: ") && report.endsWith("\r\n"); };
        EXPECT_TRUE(!inst.exists(kReport) || whole(inst.read(kReport)));
        for (const QString& b : QDir(inst.path("ServoView/backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            EXPECT_TRUE(inst.read("ServoView/backup/" + b + "/ServoView.mdb") == oldComponent) << b.toStdString();
            EXPECT_TRUE(whole(inst.read("ServoView/backup/" + b + "/ServoView_Report.txt"))) << b.toStdString();
        }
    }
    EXPECT_GT(sawNew, 0);
    EXPECT_GT(sawOld, 0);
    std::printf("full run %lld ms; killed runs left the old component database %d times, the new one %d times\n",
                fullMs, sawOld, sawNew - 1);
}

// A program name too short for its seven-character suffix is refused in the service log; a window
// start without display ends with code 2 instead of hanging or crashing.
TEST(Program, ShortNameOrNoDisplayEndsWithCodeTwo)
{
    support::Installation shortName("Pump", "ServoTool", "_Cf"), windowStart;
    shortName.installProgram();
    windowStart.installProgram();
    EXPECT_EQ(run(shortName, kSilent).code, 2);
    EXPECT_TRUE(shortName.read("ZeltoServicePack.log").startsWith("! Fault Pump_Cf: The program name \"Pump_Cf\""));
    EXPECT_EQ(run(windowStart, {}).code, 2);
    // A display that is named but cannot be reached: the same clear end, one line, no abort.
    const Ran unreachable = run(windowStart, {}, -1, ":93");
    EXPECT_EQ(unreachable.code, 2);
    EXPECT_TRUE(unreachable.err.contains("\":93\" cannot be reached") && unreachable.err.count('\n') == 1)
        << unreachable.err.toStdString();
}

// The previous component database holds the tuned limits: when it cannot be read to its end
// (damaged, locked by another program) or the run could generate nothing because of failures,
// the run writes nothing at all, names the file and ends with code 2. A full disk (no file may
// grow) leaves every file as it was as well.
TEST(ClosingRunProgram, RunThatCannotKeepTheLimitsWritesNothing)
{
    using Inst = const support::Installation&;
    const struct { const char* fault; const char* said; std::function<void(Inst)> make; bool lock = false; long limit = -1;
                   QString file = kComponent; } cases[] = {
        {"truncated to half", "\" is damaged", [](Inst i) { i.write(kComponent, i.read(kComponent).left(i.read(kComponent).size() / 2)); }},
        {"cut to 100 bytes", "\" is damaged", [](Inst i) { i.write(kComponent, i.read(kComponent).left(100)); }},
        {"header byte flipped", "\" is damaged", [](Inst i) { flipByte(i, 21); }},
        {"table page damaged", "\" is damaged", [](Inst i) {
             const int root = rows(i.path(kComponent), "SELECT rootpage FROM sqlite_master WHERE name = 'PRESET_DEFS'")[0].toInt();
             flipByte(i, qint64(root - 1) * rows(i.path(kComponent), "PRAGMA page_size")[0].toInt());
         }},
        {"locked by another program", "\" is in use by another program", [](Inst) {}, true},
        {"template locked by another program", "\")", [](Inst) {}, true, -1, kTemplate},
        {"program.ini names no machine", "\" keeps its", [](Inst i) { i.write(kProgramIni, QByteArray("\x00\x01\xff garbage\r\n", 14)); }},
        // a language file that lacks its texts, so the start has to write it too
        {"full disk", nullptr, [](Inst i) { i.writeIni("ServoTool/ServoView_Config.ini", "[Language]\nLanguage=DE\n"); }, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Demo inst;
        c.make(inst);
        // Taken before the lock: closing any file of the database drops this process's locks on it.
        const QStringList before = state(inst, kLogs);
        std::optional<platform::Database> holder;
        if (c.lock)
            holder.emplace(inst.path(c.file)).execute("BEGIN EXCLUSIVE");
        const Ran ran = run(inst, kSilent, c.limit);
        const int code = ran.code;
        holder.reset();
        EXPECT_TRUE(c.said ? code == 2 : code == 2 || code == 3) << code;
        EXPECT_EQ(state(inst, kLogs), before);
        const QByteArray log = inst.read("QELcfglog.txt");
        EXPECT_TRUE(!c.said || log.contains(inst.path(c.file).toUtf8() + c.said)) << log.toStdString();
        // What no log could take is said on standard error.
        EXPECT_TRUE(c.limit != 0 || ran.err.contains(": Fehler in ServoView / ")) << ran.err.toStdString();
    }
}

// A count that does not fit a 16-bit number is written back as it was; its overflow names the
// entry and the file, and the run ends with 3 (completed, failures reported).
TEST(ClosingRunProgram, OverflowingServoCountIsKeptAndNamed)
{
    Demo inst;
    inst.write(kProgramIni, inst.read(kProgramIni).replace("NumberOfServos=4", "NumberOfServos=999999"));
    EXPECT_EQ(run(inst, kSilent).code, 3);
    EXPECT_TRUE(inst.read(kProgramIni).contains("\r\nNumberOfServos=999999\r\n"));
    const QByteArray log = inst.read(QStringLiteral("QELcfglog.txt"));
    EXPECT_TRUE(log.contains("Overflow: entry 'NumberOfServos' in section [Machine1] of '" + inst.path(kProgramIni).toUtf8()))
        << log.toStdString();
}

// Temporary files a killed run left beside the databases are removed by the next run.
TEST(ClosingRunProgram, LeftoversOfAKilledRunAreRemoved)
{
    Demo inst;
    for (const char* name : {"ServoView/.ServoView.mdb.machinecopy.Ab12Cd", "ServoView/ServoView.mdb.x1Y2z3.converting",
                             "ServoView/ServoView_Source.mdb.q1W2e3.converting", "ServoView/.ServoView.mdb.Zz9Yy8.tmp"})
        inst.write(QLatin1String(name), QByteArray(4096, 'x'));
    EXPECT_EQ(run(inst, kSilent).code, 0);
    EXPECT_EQ(support::filesIn(inst.path("ServoView")),
              (QStringList{"ServoView.cfg", "ServoView.mdb", "ServoView_Report.txt", "ServoView_Source.mdb"}));
}

// The report says which previous limits were lost, which records could not be matched and which
// duplicate won, each with its values; the service log names it.
TEST(ClosingRunProgram, ReportListsLostUnmatchedAndDuplicateRecords)
{
    Demo inst;
    platform::Database(inst.path(kComponent))
        .execute("INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max, pass) "
                 "VALUES ('Filler', 'Filler.Servo3.Loose', NULL, 1, 2, 3, 4, 5), "
                 "('Filler', 'Filler.Servo3.TorqueLimit', 0, 0, 300, 11, 121, 2)");
    inst.write(kProgramIni, inst.read(kProgramIni).replace("NumberOfServos=4", "NumberOfServos=2"));
    ASSERT_EQ(run(inst, kSilent).code, 0);
    const QString report = QString::fromLatin1(inst.read(kReport));
    const auto has = [&](const QString& text) { EXPECT_TRUE(report.contains(text)) << text.toStdString(); };
    has("silent start, program version 1.0.0.\r\n");
    has("Machine Filler: 2 slots configured, 26 records generated.\r\n");
    has("10 previous records were read; 6 generated records received previous limits.\r\n");
    has("Lost: 2 previous records");
    has("\r\n  machine_type=Filler var_name=Filler.Servo12.Word.Status offset_or_bitno=3 abs_min=0 abs_max=1 min=0 max=1 "
        "pass=0\r\n");
    has("Not matched: 1 previous record has no complete key");
    has("\r\n  machine_type=Filler var_name=Filler.Servo3.Loose offset_or_bitno=(none) abs_min=1 abs_max=2 min=3 max=4 pass=5\r\n");
    has("Duplicates: 1 previous record had a key");
    has("\r\n  dropped:  machine_type=Filler var_name=Filler.Servo3.TorqueLimit offset_or_bitno=0 abs_min=0 abs_max=300 min=10 "
        "max=120 pass=3\r\n  taken:    machine_type=Filler var_name=Filler.Servo3.TorqueLimit offset_or_bitno=0 abs_min=0 "
        "abs_max=300 min=11 max=121 pass=2\r\n");
    EXPECT_EQ(rows(inst.path(kComponent), "SELECT min FROM PRESET_DEFS WHERE var_name = 'Filler.Servo3.TorqueLimit'"),
              QStringList{"11"});
    EXPECT_TRUE(inst.read("ZeltoServicePack.log").contains("2 tuned limits lost, 1 default updated, 1 conflict; report: " + inst.path(kReport).toUtf8()));
}

// Every run keeps what it replaces in a backup folder of its own; the newest ten are kept, and
// --restore gives the files of a backup back byte for byte.
TEST(ClosingRunProgram, BackupsKeepWhatEachRunReplacedAndRestoreGivesItBack)
{
    Demo inst;
    const QStringList files{kComponent, kProgramIni, "ServoView/ServoView.cfg"};
    const auto bytes = [&] {
        QList<QByteArray> all;
        for (const QString& f : files)
            all << inst.read(f);
        return all;
    };
    QList<QList<QByteArray>> before;
    for (int r = 0; r < 12; ++r) {
        inst.write(kProgramIni, inst.read(kProgramIni).replace("NumberOfServos=" + QByteArray::number(4 - r % 3),
                                                                "NumberOfServos=" + QByteArray::number(4 - (r + 1) % 3)));
        before << bytes();
        ASSERT_EQ(run(inst, kSilent).code, 0);
    }
    const QStringList stamps = QDir(inst.path("ServoView/backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    ASSERT_EQ(stamps.size(), 10);
    for (int b = 0; b < 10; ++b) {
        SCOPED_TRACE(b);
        for (qsizetype f = 0; f < files.size(); ++f)
            EXPECT_TRUE(inst.read("ServoView/backup/" + stamps[b] + "/" + QFileInfo(files[f]).fileName()) == before[b + 2][f]);
    }
    EXPECT_EQ(run(inst, {"--list-backups"}).out.count('\n'), 10);
    EXPECT_EQ(run(inst, {"--restore"}).code, 0);
    EXPECT_TRUE(bytes() == before[11]);
    EXPECT_EQ(run(inst, {"--restore", stamps[0]}).code, 0);
    EXPECT_TRUE(bytes() == before[2]);
    support::Installation empty;
    empty.installProgram();
    EXPECT_EQ(run(empty, {"--restore"}).code, 2);
}

// A dry run changes no file of the installation, not even a time, prints the report the real run
// then writes (but for the time of the run) and ends with the real run's code.
TEST(ClosingRunProgram, DryRunChangesNothingAndPrintsTheReport)
{
    Demo inst;
    const QStringList before = state(inst);
    QByteArray printed;
    // The integrated preview answers its questions as a user going on would, and needs no display.
    for (const char* mode : {"/EXTERNAL=QELCFG", ""}) {
        const Ran dry = run(inst, *mode ? QStringList{"--dry-run", mode} : QStringList{"--dry-run"});
        EXPECT_EQ(dry.code, 0) << mode;
        printed = dry.out;
        EXPECT_TRUE(printed.contains(*mode ? ", integrated start," : ", silent start,")) << printed.toStdString();
        EXPECT_TRUE(state(inst) == before) << mode;
    }
    ASSERT_EQ(run(inst, kSilent).code, 0);
    const auto withoutTime = [](QByteArray report) { return report.remove(report.indexOf("Run at "), 27); };
    EXPECT_EQ(withoutTime(inst.read(kReport)), withoutTime(printed));
}

// In the window, No to the question before tuned limits are lost returns to editing with the
// user's edits and OK and Cancel enabled, and writes nothing; OK again and Yes goes on.
TEST(ClosingRunWindow, NoToTheLossQuestionReturnsToEditing)
{
    Demo inst;
    const QStringList before = state(inst);
    window::Kalvia w(inst.context);
    w.Form_Load();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    // Two servos instead of four: the records of servos 12 and 5 lose their limits.
    w.ComboNrServos->setFocus(Qt::MouseFocusReason);
    w.ComboNrServos->lineEdit()->selectAll();
    QTest::keyClicks(w.ComboNrServos->lineEdit(), u"2"_s);
    w.CheckZusatzKomm->setFocus(Qt::MouseFocusReason);
    inst.messages.expect(platform::Answer::No);
    EXPECT_EQ(support::endCode([&] { QTest::mouseClick(w.CommandOK, Qt::LeftButton); }), -1);
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_TRUE(inst.messages.boxes[0].text.startsWith(u"2 parameters lose their tuned limits"_s))
        << inst.messages.boxes[0].text.toStdString();
    EXPECT_TRUE(w.isVisible() && w.CommandOK->isEnabled() && w.CommandCancel->isEnabled());
    EXPECT_EQ(w.ComboNrServos->currentText(), u"2"_s);
    EXPECT_EQ(w.state().NumberOfServos[1], 2);
    EXPECT_TRUE(state(inst) == before);
    inst.messages.expect(platform::Answer::Yes);
    EXPECT_EQ(support::endCode([&] { QTest::mouseClick(w.CommandOK, Qt::LeftButton); }), 0);
    EXPECT_TRUE(inst.read(kProgramIni).contains("\r\nNumberOfServos=2\r\n"));
    EXPECT_TRUE(inst.exists(kReport));
}

// An option does what it says or refuses with one line and code 2, changing nothing.
TEST(Program, OptionsDoWhatTheySayOrRefuse)
{
    Demo inst;
    ASSERT_EQ(run(inst, kSilent).code, 0);
    const QString stamp = QDir(inst.path("ServoView/backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
    const QStringList before = state(inst);
    const struct { QStringList args; const char* refused; } cases[] = {
        {{"--restore", "/etc"}, "\"/etc\" is not a backup's stamp"},
        {{"--restore", ""}, "\"\" is not a backup's stamp"},
        {{"--restore", "20990101-000000"}, "There is no backup \"20990101-000000\""},
        {{"--restore", stamp, "extra"}, "unexpected argument \"extra\""},
        {{"--dry-run", "--restore"}, "the options --dry-run and --restore do not go together"},
        {{"--help", "--version"}, "the options --help and --version do not go together"},
        {{"--list-backups", "x"}, "unexpected argument \"x\""},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--restore", "/EXTERNAL=SILENT", stamp}, "unexpected argument"},
        {{"--dry-run-child", "/EXTERNAL=SILENT"}, "--dry-run-child is for the program a dry run starts on its copy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Ran ran = run(inst, c.args);
        EXPECT_EQ(ran.code, 2);
        EXPECT_TRUE(ran.err.contains(c.refused) && ran.err.count('\n') == 1) << ran.err.toStdString();
        EXPECT_TRUE(ran.out.isEmpty());
        EXPECT_EQ(state(inst), before);
    }
    // The start options may stand beside an option; without one nothing is refused.
    EXPECT_EQ(run(inst, {"--restore", stamp, "/EXTERNAL=SILENT"}).code, 0);
    EXPECT_EQ(run(inst, {"/EXTERNAL=SILENT", "/SUITE=1", "word", "--", "--restore"}).code, 0);
    EXPECT_TRUE(run(inst, {"--help"}).out.contains("(the newest 10 are kept)"));
}
