#include "database/closingrun.h"

#include "database/componentdb.h"
#include "database/generation.h"
#include "database/lookups.h"
#include "database/records.h"
#include "database/takeover.h"
#include "environment/errors.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "platform/files.h"
#include "platform/jet/jetimport.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "platform/recordset.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <memory>
#include <optional>

namespace database {

namespace {

const QString kProcName = QStringLiteral("WorkOnMDB");
const QString kQuote = QStringLiteral("\"");
const QString kCrLf = QStringLiteral("\r\n");
// The original engine's "Unrecognized database format".
constexpr int kUnrecognisedFormat = platform::DbErrUnrecognisedFormat;
// A failed replacement of the component database: the original's "Path/File access error".
constexpr int kFileAccessError = 75;

// A database file as the run opens it: an SQLite file as it is, a Jet file through its
// conversion into an SQLite file beside it, which replaces the original only when the run
// commits.
struct RunFile {
    QString path;
    std::unique_ptr<platform::JetConversion> jet;

    // Checks the file's format and converts a Jet file. Raises the format's problem, naming the
    // file, for anything that is neither.
    void prepare()
    {
        const platform::DatabaseFormat format = platform::databaseFormat(path);
        if (format == platform::DatabaseFormat::Sqlite)
            return;
        if (platform::isJet(format)) {
            jet = std::make_unique<platform::JetConversion>(path);
            if (!jet->ok()) {
                const QString message = jet->message();
                jet.reset();
                environment::raise(kUnrecognisedFormat, message, QStringLiteral("SQLite"));
            }
            return;
        }
        environment::raise(kUnrecognisedFormat, platform::databaseFormatProblem(path, format), QStringLiteral("SQLite"));
    }
    QString openPath() const { return jet ? jet->convertedPath() : path; }
};

// Writes a copy of a file into a temporary file in the given folder.
bool copyInto(QTemporaryFile& temp, const QString& from)
{
    QFile in(platform::resolvePath(from));
    if (!in.open(QIODevice::ReadOnly) || !temp.open())
        return false;
    temp.resize(0);
    char buffer[1 << 16];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (temp.write(buffer, got) != got)
            return false;
    }
    temp.close();
    return true;
}

// A Jet file that the new component database replaces is kept beside it as "<name>.jet" (or
// "<name>.2.jet", ... when that name holds other bytes).
bool keepJetOriginal(const QString& path)
{
    if (!platform::isJet(platform::databaseFormat(path)))
        return true;
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = original.readAll();
    for (int n = 1; n < 1000; ++n) {
        const QString kept = path + (n == 1 ? QString() : QStringLiteral(".") + QString::number(n)) + QStringLiteral(".jet");
        if (QFileInfo::exists(kept)) {
            QFile existing(kept);
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
                return true;
            continue;
        }
        return platform::replaceFileByCopy(path, kept);
    }
    return false;
}

} // namespace

ClosingRunOutcome WorkOnMDB(environment::Context& ctx, const environment::EditingState& state)
{
    environment::Handler h(ctx, kProcName);
    ClosingRunOutcome outcome;

    // 1. Paths.
    QString templatePath;
    QString componentPath;
    QString machineCopyPath;
    h([&] { templatePath = environment::GetPathSourceOCXMDB(ctx); });
    h([&] { componentPath = environment::GetPathOCXMDB(ctx); });
    h([&] { machineCopyPath = environment::GetPathMachineCopyMDB(ctx, environment::GetQELConfigurationIniPath(ctx)); });

    // 2. Naming system: integrated runs always use the VisiWin 32 names.
    NamingState naming;
    if (ctx.mode.IntegratedMode) {
        naming.VWStudioMode = 0;
    } else {
        bool studio = false;
        h([&] {
            studio = environment::LoadIniBoolean(ctx, QStringLiteral("Project"), QStringLiteral("VWStudio"),
                                                 ctx.project.ProgramIniPath, false, false);
        });
        naming.VWStudioMode = studio ? 1 : 0;
    }

    // 3. Without a template database there is nothing to do.
    if (templatePath.isEmpty())
        return outcome;
    templatePath = platform::resolvePath(templatePath);
    componentPath = platform::resolvePath(componentPath);

    // 4. The template's times, set back at the end.
    const platform::FileTimes templateTimes = platform::readFileTimes(templatePath);

    // 5. Integrated: the machine copy's records are the previous ones. They are read from a copy
    // in the component folder, so the component database stays as it is until the last step.
    QString previousPath = componentPath;
    std::optional<QTemporaryFile> machineCopy;
    if (ctx.mode.IntegratedMode) {
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
        } else {
            h([&] {
                const QFileInfo component(componentPath);
                machineCopy.emplace(platform::joinPath(component.absolutePath(),
                                                       QStringLiteral(".") + component.fileName() +
                                                           QStringLiteral(".machinecopy.XXXXXX")));
                if (!copyInto(*machineCopy, machineCopyPath)) {
                    machineCopy.reset();
                    environment::raise(kFileAccessError, QStringLiteral("Path/File access error"));
                }
                previousPath = machineCopy->fileName();
            });
        }
    }

    // The template database, converted first when it is a Jet file, is opened once for the run
    // and written inside one transaction.
    RunFile templateFile{templatePath, nullptr};
    std::optional<platform::Database> db;
    std::optional<platform::Transaction> tx;
    if (h([&] {
            templateFile.prepare();
            db.emplace(templateFile.openPath());
            tx.emplace(*db);
        }) == false) {
        db.reset();
    }

    // 6. Name patterns. A failure while reading the rows is not reported: part 1 of both systems
    // then generates the template's variable name unchanged.
    {
        std::optional<platform::Recordset> defs;
        h([&] {
            if (!db)
                throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
            defs.emplace(platform::Recordset::table(*db, kPatternTable));
        });
        if (defs) {
            auto silently = [&](auto&& statement) {
                try {
                    statement();
                } catch (const platform::DbError&) {
                    naming.VarNamePatterns[0][1] = kVarNamePlaceholder;
                    naming.VarNamePatterns[1][1] = kVarNamePlaceholder;
                } catch (const environment::RunTimeError&) {
                    naming.VarNamePatterns[0][1] = kVarNamePlaceholder;
                    naming.VarNamePatterns[1][1] = kVarNamePlaceholder;
                }
            };
            while (!defs->eof()) {
                for (int i = 0; i <= 1; ++i) {
                    silently([&] {
                        if (defs->value(QStringLiteral("System")).toString().toUpper() != kSystemNames[i])
                            return;
                        const int part = environment::checkIndex(toWholeNumber(defs->value(QStringLiteral("Part"))),
                                                                 1, kMaxParts);
                        const QVariant name = defs->value(QStringLiteral("Var_Name"));
                        if (isAbsent(name))
                            environment::raise(94, QStringLiteral("Invalid use of Null"));
                        naming.VarNamePatterns[i][part] = name.toString();
                    });
                }
                silently([&] { defs->moveNext(); });
            }
        }
    }

    // 8, 9. PRESET_DEFS rebuilt from the template table's columns. Only a table of exactly that
    // name is removed.
    bool rebuilt = false;
    if (db) {
        rebuilt = h([&] {
            if (db->tableDefs().contains(kDefsTable))
                db->deleteTableDef(kDefsTable);
            platform::TableDef def = db->tableDef(kTemplateTable);
            def.name = kDefsTable;
            db->appendTableDef(def);
        });
    }

    // The previous database: the component database (in integrated runs the machine copy),
    // converted first when it is a Jet file, and never written to.
    RunFile previousFile{previousPath, nullptr};
    ComponentDatabase component;
    // A component database that is not a database this program can read is not replaced: it may
    // be the only copy of someone's limits.
    bool keepComponent = false;
    if (rebuilt && platform::fileExists(previousPath)) {
        h([&] {
            try {
                previousFile.prepare();
            } catch (const environment::RunTimeError&) {
                keepComponent = previousPath == componentPath;
                throw;
            }
            component.open(previousFile.openPath());
        });
    }

    // 10. Category column, generation. The records stay in memory until the takeover has given
    // them their previous values; then each is written once.
    GeneratedRecords records;
    if (rebuilt) {
        CategorieNachCategoryID(ctx, component);
        records = CreateRecordSets(ctx, *db, state, naming, component);
    }

    // 11. Takeover from the previous PRESET_DEFS (exactly that name). The renames of the
    // generation are read from the run's name lookup: the previous database itself is never
    // written, as it is replaced below.
    if (rebuilt && component.isOpen()) {
        std::optional<PreviousTable> previous;
        bool found = false;
        h([&] { found = component.database().tableDefs().contains(kDefsTable); });
        if (found)
            h([&] { previous.emplace(ReadPreviousTable(component)); });
        if (previous) {
            environment::GetAddFields(ctx);
            outcome.limitsTakenOver = TakeoverMachineCopyMDBData(ctx, *db, previous, records);
        }
    }
    component.close();
    if (rebuilt) {
        environment::Handler generation(ctx, QStringLiteral("CreateRecordSets"));
        const std::vector<int> leftOut = WriteGeneratedRecords(generation, *db, records);
        outcome.recordsPerMachine = recordsPerMachine(records, leftOut);
        records = GeneratedRecords();
    }

    // 12. The template's changes made permanent.
    bool committed = false;
    if (rebuilt) {
        committed = h([&] { tx->commit(); });
    }
    tx.reset();
    db.reset();

    // 13. The finished template becomes the component database. A Jet template is replaced by
    // its conversion first (the original kept as .jet). A run whose PRESET_DEFS could not be
    // rebuilt leaves the component database as it was.
    if (committed) {
        bool ready = !keepComponent;
        if (templateFile.jet) {
            const platform::JetImportResult done = templateFile.jet->commit();
            if (!done.ok) {
                ready = false;
                h([&] { environment::raise(kUnrecognisedFormat, done.message, QStringLiteral("SQLite")); });
            }
        }
        if (ready) {
            QString why;
            const bool replaced = h([&] {
                if (!keepJetOriginal(componentPath))
                    environment::raise(kFileAccessError, QStringLiteral("Path/File access error"));
                if (!platform::replaceFileByCopy(templatePath, componentPath, &why))
                    environment::raise(kFileAccessError, why);
            });
            if (replaced)
                outcome.filesWritten << templatePath << componentPath;
        }
    }
    templateFile.jet.reset();
    previousFile.jet.reset();

    // 14. The template's last-write time set back; it was changed in place, so its creation time
    // is its own.
    platform::restoreFileTimes(templatePath, templateTimes);
    return outcome;
}

QMap<QString, int> recordsPerMachine(const GeneratedRecords& records, const std::vector<int>& leftOut)
{
    QMap<QString, int> counts;
    const int column = records.columnIndex(QStringLiteral("machine_type"));
    if (column < 0)
        return counts;
    auto skipped = leftOut.begin();
    for (int r = 0; r < records.rows; ++r) {
        if (skipped != leftOut.end() && *skipped == r) {
            ++skipped;
            continue;
        }
        const QVariant& value = records.at(r, column);
        ++counts[isAbsent(value) ? QString() : value.toString()];
    }
    return counts;
}

} // namespace database
