#include "database/closingrun.h"

#include "database/backup.h"
#include "database/componentdb.h"
#include "database/lookups.h"
#include "database/records.h"
#include "database/report.h"
#include "database/takeover.h"
#include "environment/errors.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/jet/jetimport.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <QFileInfo>

#include <optional>

namespace database {

namespace {

const QString kQuote = QStringLiteral("\"");
const QString kCrLf = QStringLiteral("\r\n");
const QString kSqlite = QStringLiteral("SQLite");

// The closing run's database half, phase by phase. Every failure is reported under "WorkOnMDB"
// unless a phase says otherwise.
class ClosingRun {
public:
    ClosingRun(environment::Context& ctx, const environment::EditingState& state)
        : ctx(ctx), state(state), h(ctx, QStringLiteral("WorkOnMDB"))
    {
    }
    ~ClosingRun()
    {
        ctx.cleanUp = {};
        release();
    }
    ClosingRunOutcome run();

private:
    bool findFiles();
    void copyMachineCopy();
    void openPrevious();
    void openTemplate();
    void readNamePatterns();
    void rebuildDefs();
    void generate();
    void takeOver();
    void writeRecords();
    void makeReport();
    bool confirmLoss();
    void backUp();
    bool commit();
    void replaceComponent();
    void release();
    [[noreturn]] void giveUp(int number, const QString& why);
    [[noreturn]] void previousUnreadable(int number, const QString& problem);
    // The file the previous records come from, as the engineer knows it.
    QString previousName() const { return previousPath == componentPath ? componentPath : machineCopyPath; }

    environment::Context& ctx;
    const environment::EditingState& state;
    environment::Handler h;
    ClosingRunOutcome outcome;
    NamingState naming;
    QString templatePath;
    QString componentPath;
    QString machineCopyPath;
    QString previousPath; // the file the takeover reads: the component database or the machine copy's copy
    QString machineCopy;  // the machine copy's copy in the component folder, removed at the end
    platform::RunDatabaseFile templateFile;
    platform::RunDatabaseFile previousFile;
    platform::FileTimes templateTimes;
    ComponentDatabase component; // the previous database
    bool previousHasDefs = false;
    std::optional<platform::Database> db; // the template database
    std::optional<platform::Transaction> tx;
    GeneratedRecords records;
    TakeoverLists lists;
    QByteArray reportBytes;
};

ClosingRunOutcome ClosingRun::run()
{
    if (!findFiles())
        return outcome; // without a template database there is nothing to do
    // The template is changed in place, so it keeps its creation time; its last-write time is
    // set back at the end.
    templateTimes = platform::readFileTimes(templatePath);
    ctx.cleanUp = [this] { release(); };
    copyMachineCopy();
    openPrevious();
    openTemplate();
    readNamePatterns();
    rebuildDefs();
    generate();
    takeOver();
    writeRecords();
    makeReport();
    if (!confirmLoss())
        return outcome; // the engineer kept the previous limits: nothing is written
    backUp();
    if (commit())
        replaceComponent();
    release();
    return outcome;
}

// Everything the run holds is given back: transactions rolled back, databases closed, its
// temporary files removed, the template's last-write time set back. Also what an early end of
// the program does first.
void ClosingRun::release()
{
    tx.reset();
    db.reset();
    component.close();
    if (!machineCopy.isEmpty())
        QFile::remove(machineCopy);
    machineCopy.clear();
    templateFile.jet.reset();
    previousFile.jet.reset();
    if (templateTimes.valid)
        platform::restoreFileTimes(templatePath, templateTimes);
    templateTimes.valid = false;
}

// Ends the run before it has written anything: reported as a fatal error, then the program ends
// with every file as it was.
void ClosingRun::giveUp(int number, const QString& why)
{
    environment::ErrorSub(ctx, number, kSqlite,
                          why + QStringLiteral(" Nothing was written: the component database, the template database "
                                               "and program.ini are as they were."),
                          h.procName(), true);
    environment::EndProgram(ctx, platform::ExitOther);
}

// The previous records are the engineer's tuned limits: a file that holds them and cannot be read
// to the end is never replaced.
void ClosingRun::previousUnreadable(int number, const QString& problem)
{
    const bool inUse = number == platform::DbErrEngineBase + 5 || number == platform::DbErrEngineBase + 6;
    giveUp(number, QStringLiteral("The %1 \"%2\" %3 (%4).")
                       .arg(previousPath == componentPath ? QStringLiteral("component database")
                                                          : QStringLiteral("machine copy"),
                            previousName(),
                            inUse ? QStringLiteral("is in use by another program") : QStringLiteral("is damaged"),
                            problem));
}

// The three databases' paths and the naming system: integrated runs always use the VisiWin 32
// names. False without a template database.
bool ClosingRun::findFiles()
{
    h([&] { templatePath = environment::GetPathSourceOCXMDB(ctx); });
    h([&] { componentPath = environment::GetPathOCXMDB(ctx); });
    h([&] { machineCopyPath = environment::GetPathMachineCopyMDB(ctx, environment::GetQELConfigurationIniPath(ctx)); });
    bool studio = false;
    if (!ctx.mode.IntegratedMode) {
        h([&] {
            studio = environment::LoadIniBoolean(ctx, QStringLiteral("Project"), QStringLiteral("VWStudio"),
                                                 ctx.project.ProgramIniPath);
        });
    }
    naming.VWStudioMode = studio ? 1 : 0;
    if (templatePath.isEmpty())
        return false;
    templatePath = platform::resolvePath(templatePath);
    componentPath = platform::resolvePath(componentPath);
    // What a killed run left beside the databases.
    platform::removeLeftovers(templatePath);
    platform::removeLeftovers(componentPath);
    previousPath = componentPath;
    templateFile.path = templatePath;
    return true;
}

// Integrated: the machine copy's records are the previous ones. They are read from a copy in the
// component folder, so the component database stays as it is until the last phase.
void ClosingRun::copyMachineCopy()
{
    if (!ctx.mode.IntegratedMode)
        return;
    if (machineCopyPath.isEmpty() || !platform::fileExists(machineCopyPath)) {
        QString name;
        h([&] { name = environment::GetFileNameOnly(ctx, componentPath); });
        platform::MessageBox box;
        box.text = QStringLiteral("Konnte die Datei:") + kQuote + name + kQuote +
                   QStringLiteral(" in der Vorlage nicht finden!") + kCrLf + kCrLf +
                   QStringLiteral("Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?") + kCrLf +
                   QStringLiteral("Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
                                  "Standardwerten erzeugt.");
        box.title = ctx.process.exeName();
        box.buttons = platform::Buttons::Ok;
        box.icon = platform::Icon::Information;
        h([&] { ctx.messages.show(box); });
        return;
    }
    h([&] {
        const QFileInfo component(componentPath);
        const QString copy = platform::joinPath(component.absolutePath(), QStringLiteral(".") + component.fileName() +
                                                                              QStringLiteral(".machinecopy.read"));
        QString why;
        if (!platform::replaceFileByCopy(machineCopyPath, copy, &why))
            environment::raise(environment::ErrFileAccess, why);
        machineCopy = copy;
        previousPath = copy;
    });
}

// The previous database is opened and checked to its last page before anything is changed: the
// run goes on only when it can read every record. A missing file, or one without PRESET_DEFS, is
// a first configuration.
void ClosingRun::openPrevious()
{
    if (!platform::fileExists(previousPath))
        return;
    previousFile.path = previousPath;
    try {
        previousFile.prepare();
        component.open(previousFile.openPath());
        platform::Statement check(component.database(), QStringLiteral("PRAGMA quick_check"));
        if (!check.step() || check.value(0).toString() != QLatin1String("ok"))
            previousUnreadable(platform::DbErrEngineBase + 11, check.value(0).toString());
        previousHasDefs = component.database().tableDefs().contains(kDefsTable);
    } catch (const environment::RunTimeError& error) {
        previousUnreadable(error.number, error.description);
    } catch (const platform::DbError& error) {
        previousUnreadable(error.number, error.description);
    }
}

// The template database, converted first when it is a Jet file, is opened once for the run and
// written inside one transaction.
void ClosingRun::openTemplate()
{
    if (!h([&] {
            templateFile.prepare();
            db.emplace(templateFile.openPath());
            tx.emplace(*db);
        }))
        db.reset();
}

// The name patterns of the template database, reported under the run's name.
void ClosingRun::readNamePatterns()
{
    database::readNamePatterns(h, db ? &*db : nullptr, naming);
}

// PRESET_DEFS rebuilt from the template table's columns. Only a table of exactly that name is
// removed. A template that cannot be rebuilt ends the run.
void ClosingRun::rebuildDefs()
{
    const bool rebuilt = db && h([&] {
        if (db->tableDefs().contains(kDefsTable))
            db->deleteTableDef(kDefsTable);
        platform::TableDef def = db->tableDef(kTemplateTable);
        def.name = kDefsTable;
        db->appendTableDef(def);
        rebuildDefaultsTable(*db);
    });
    if (!rebuilt)
        giveUp(environment::ErrInvalidCall, QStringLiteral("PRESET_DEFS cannot be rebuilt in \"%1\".").arg(templatePath));
}

// The records for every configured slot, held in memory. The previous database is never written
// to: the run's renames are kept in its name lookup.
void ClosingRun::generate()
{
    CategorieNachCategoryID(ctx, component);
    records = CreateRecordSets(ctx, *db, state, naming, component);
}

// The previous records, read with the run's renames, give their limits to the generated records.
void ClosingRun::takeOver()
{
    std::optional<PreviousTable> previous;
    if (previousHasDefs) {
        try {
            previous.emplace(readPreviousTable(component));
        } catch (const platform::DbError& error) {
            previousUnreadable(error.number, error.description);
        }
    }
    // Failures that left nothing to generate never cost the records of the previous database.
    if (records.rows == 0 && ctx.failuresReported > 0 && previous && !previous->records.empty()) {
        giveUp(environment::ErrInvalidCall,
               QStringLiteral("No record was generated because of the failures reported, so \"%1\" keeps its %2.")
                   .arg(previousName(), counted(int(previous->records.size()), QStringLiteral("record"),
                                                QStringLiteral("records"))));
    }
    if (previous) {
        environment::GetAddFields(ctx);
        QString setting;
        h([&] {
            setting = environment::LoadIniString(ctx, QStringLiteral("Project"),
                                                 QStringLiteral("TemplateDefaultsReachUntuned"),
                                                 environment::GetCFGPath(ctx));
        });
        const UntunedValues untuned = setting.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
                                          ? UntunedValues::KeepPrevious
                                          : UntunedValues::TakeNewDefaults;
        outcome.limitsTakenOver = TakeoverMachineCopyMDBData(ctx, *db, previous, records, lists, untuned);
    }
    outcome.limitsLost = int(lists.lost.size());
    outcome.defaultsUpdated = int(lists.defaultsUpdated.size());
    outcome.conflicts = int(lists.conflicts.size());
    component.close();
}

// The generated records go into the template's PRESET_DEFS, each once, and their defaults beside
// them in the same transaction.
void ClosingRun::writeRecords()
{
    environment::Handler generation(ctx, QStringLiteral("CreateRecordSets"));
    const std::vector<int> leftOut = writeGeneratedRecords(generation, *db, records);
    writeDefaults(h, *db, records, leftOut);
    outcome.machines = recordsPerMachine(ctx.project.ExistingMachines, records, leftOut);
    records = GeneratedRecords();
}

void ClosingRun::makeReport()
{
    reportBytes = platform::toCp1252(reportText(makeRunReport(ctx, outcome.machines, lists)));
    outcome.reportPath = reportPath(componentPath);
}

// A window run asks before tuned limits are lost; No (the default) keeps everything as it is.
bool ClosingRun::confirmLoss()
{
    if (ctx.mode.SilentMode || outcome.limitsLost == 0)
        return true;
    platform::MessageBox box;
    box.text = lossQuestion(outcome.limitsLost, outcome.reportPath);
    box.title = ctx.process.exeName();
    box.buttons = platform::Buttons::YesNo;
    box.icon = platform::Icon::Exclamation;
    box.noIsDefault = true;
    platform::Answer answer = platform::Answer::No;
    h([&] { answer = ctx.messages.show(box); });
    if (answer == platform::Answer::Yes)
        return true;
    outcome.declined = true;
    return false;
}

// A backup of the files the run is about to change as they are now, with the new report. Without
// a backup the run changes nothing.
void ClosingRun::backUp()
{
    QStringList files{componentPath};
    h([&] {
        files << environment::GetProgramIniPath(ctx, environment::ProgramIni::Write)
              << environment::GetCFGPath(ctx);
    });
    QString why;
    if (!makeBackup(QFileInfo(componentPath).absolutePath(), files, QFileInfo(outcome.reportPath).fileName(), reportBytes,
                    outcome.recordsGenerated(), outcome.limitsLost, &why))
        giveUp(environment::ErrFileAccess, QStringLiteral("The backup of the files to be replaced failed: %1").arg(why));
}

// The template's new PRESET_DEFS is committed; a run whose PRESET_DEFS could not be committed
// leaves the component database as it was.
bool ClosingRun::commit()
{
    const bool committed = h([&] { tx->commit(); });
    tx.reset();
    db.reset();
    return committed;
}

// The finished template becomes the component database, and the report is written. A Jet
// template is replaced by its conversion first (the original kept as .jet).
void ClosingRun::replaceComponent()
{
    if (templateFile.jet) {
        const platform::JetImportResult done = templateFile.jet->commit();
        if (!done.ok) {
            h([&] { environment::raise(platform::DbErrUnrecognisedFormat, done.message, kSqlite); });
            return;
        }
    }
    QString why;
    if (h([&] {
            if ((platform::isJet(platform::databaseFormat(componentPath)) && platform::keepJetOriginal(componentPath, &why).isEmpty()) ||
                !platform::replaceFileByCopy(templatePath, componentPath, &why))
                environment::raise(environment::ErrFileAccess, why);
        }))
        outcome.filesWritten << templatePath << componentPath;
    h([&] {
        if (!platform::writeFileAtomically(outcome.reportPath, reportBytes, &why))
            environment::raise(environment::ErrFileAccess, why);
    });
}

} // namespace

int ClosingRunOutcome::recordsGenerated() const
{
    int generated = 0;
    for (const MachineRecords& m : machines)
        generated += m.records;
    return generated;
}

ClosingRunOutcome WorkOnMDB(environment::Context& ctx, const environment::EditingState& state)
{
    return ClosingRun(ctx, state).run();
}

} // namespace database
