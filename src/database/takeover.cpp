#include "database/takeover.h"

#include "database/records.h"
#include "environment/errors.h"
#include "environment/paths.h"
#include "platform/messages.h"
#include "platform/files.h"
#include "platform/process.h"

#include <QCoreApplication>

#include <array>
#include <vector>

namespace database {

namespace {

const QString kProcName = QStringLiteral("TakeoverMachineCopyMDBData");
const QString kDatabaseError = QStringLiteral("Database-Error - Contact Administrator!");
const QString kQuote = QStringLiteral("\"");
constexpr int kFatalNumber = 9999;

// Slots of a previous record; 6 is not used.
constexpr int kSlotCount = 15;
constexpr int kSlotMachineType = 1;
constexpr int kSlotVarName = 3;
constexpr int kSlotCategory = 4;
constexpr int kSlotOffset = 7;
constexpr int kSlotFirstValue = 10; // abs_min, abs_max, min, max, pass
const char* const kSlotColumns[kSlotCount] = {"ID",        "machine_type", "type",    "var_name",
                                              "category_id", "isBitArray", nullptr,   "offset_or_bitno",
                                              "text",      "page_name",    "abs_min", "abs_max",
                                              "min",       "max",          "pass"};
const char* const kValueColumns[] = {"abs_min", "abs_max", "min", "max", "pass"};

using PreviousRecord = std::array<QVariant, kSlotCount>;

// Raises error 9999 under a handler that reports it as fatal: outside a silent run the program
// ends there; a silent run goes on.
void raiseFatal(environment::Context& ctx)
{
    environment::Handler fatal(ctx, kProcName, true);
    fatal([&] { environment::raise(kFatalNumber, kDatabaseError, ctx.process.exeName()); });
}

void warnAboutExtraColumns(environment::Context& ctx, environment::Handler& h)
{
    QString component;
    h([&] { component = environment::GetOCXName(ctx).toUpper(); });
    const QString cfg = kQuote + component + QStringLiteral(".CFG") + kQuote;
    const QStringList parts{QStringLiteral("WARNING!"),
                            QStringLiteral("Machinecopy contains data in fields that won't be taken over!"),
                            QStringLiteral("Configurationfile ") + cfg + QStringLiteral(", missing entry ") + kQuote +
                                QStringLiteral("DataBaseAdditionalFields ") + kQuote,
                            QStringLiteral("If you continue now this data will be lost."), QStringLiteral("Continue?")};
    if (ctx.mode.SilentMode) {
        environment::WriteServiceLog(ctx, parts.join(QString()));
        return;
    }
    platform::MessageBox box;
    box.text = parts.join(environment::kLfCr);
    box.title = ctx.process.exeName();
    box.buttons = platform::Buttons::YesNo;
    box.icon = platform::Icon::Exclamation;
    box.noIsDefault = true;
    platform::Answer answer = platform::Answer::No;
    if (!h([&] { answer = ctx.messages.show(box); }) || answer != platform::Answer::No)
        return;
    const QString exe = ctx.process.exeName();
    environment::LogError(ctx, exe + QStringLiteral(" :Database-Error - Contact Administrator!") +
                                   QStringLiteral(" Configurationprogram ") + kQuote + component + kQuote +
                                   QStringLiteral(" terminated.") + QStringLiteral(" Please check Configuration in ") +
                                   cfg + QStringLiteral(" Restart ") +
                                   platform::joinPath(ctx.process.exeFolder().toUpper(), exe) +
                                   QStringLiteral(".EXE!"));
    raiseFatal(ctx);
}

// Ends the run when a configured additional field is not a column of the generated table.
void checkAdditionalFields(environment::Context& ctx, environment::Handler& h, platform::Database& db)
{
    platform::TableDef generated;
    if (!guarded(h, [&] { generated = db.tableDef(kDefsTable); }))
        return;
    const QStringList& fields = ctx.project.AdditionalFields;
    for (qsizetype k = 1; k < fields.size(); ++k) {
        bool found = false;
        for (size_t i = 1; i < generated.fields.size() && !found; ++i)
            found = generated.fields[i].name == fields.at(k); // letter case significant
        if (found)
            continue;
        QString component;
        h([&] { component = environment::GetOCXName(ctx).toUpper(); });
        environment::LogError(
            ctx, QStringLiteral("Conflict while attempting to extend database!") + QStringLiteral("Configurationsfile ") +
                     kQuote + component + QStringLiteral(".CFG") + kQuote + QStringLiteral(", demanded field ") +
                     kQuote + fields.at(k).toUpper() + kQuote + QStringLiteral("missing in machinecopy-database") +
                     environment::kLfCr + QStringLiteral("Configuration of ") + kQuote + component + kQuote +
                     QStringLiteral(" aborted."));
        raiseFatal(ctx);
        environment::EndProgram(ctx, platform::ExitOther);
    }
}

} // namespace

int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database,
                               std::optional<platform::Recordset>& PreviousTable)
{
    environment::Handler h(ctx, kProcName);
    int columns = 0;
    guarded(h, [&] {
        if (!PreviousTable)
            throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
        columns = PreviousTable->fieldCount();
    });
    guarded(h, [&] { Database.tableDef(kDefsTable); });

    if (columns > kStandardColumnCount && ctx.project.AdditionalFieldsCount == 0)
        warnAboutExtraColumns(ctx, h);
    if (!PreviousTable)
        return 0;

    // The previous records, read once. A column the table lacks fails for every record, and
    // each failure is reported.
    int n = 0;
    guarded(h, [&] { n = PreviousTable->recordCount(); });
    if (n <= 0) {
        PreviousTable.reset();
        return 0;
    }
    std::array<int, kSlotCount> position{};
    for (int s = 0; s < kSlotCount; ++s)
        position[s] = kSlotColumns[s] ? PreviousTable->fieldIndex(QLatin1String(kSlotColumns[s])) : -1;
    const int oldCategory = PreviousTable->fieldIndex(kOldCategoryColumn);
    if (oldCategory >= 0)
        position[kSlotCategory] = oldCategory;
    std::vector<PreviousRecord> previous(static_cast<size_t>(n));
    guarded(h, [&] { PreviousTable->moveFirst(); });
    for (int j = 0; j < n; ++j) {
        for (int s = 0; s < kSlotCount; ++s) {
            if (!kSlotColumns[s])
                continue;
            guarded(h, [&] {
                previous[size_t(j)][size_t(s)] = position[s] >= 0 ? PreviousTable->value(position[s])
                                                                  : PreviousTable->value(QLatin1String(kSlotColumns[s]));
            });
        }
        guarded(h, [&] { PreviousTable->moveNext(); });
    }
    PreviousTable.reset();

    // The generated table does not change from one previous record to the next: its columns are
    // checked once.
    checkAdditionalFields(ctx, h, Database);

    // The match is prepared once. A temporary index lets it find its record without scanning;
    // it is dropped before the caller commits, so the stored table keeps no index.
    const QString index = QStringLiteral("takeover_match_tmp");
    bool indexed = false;
    std::optional<platform::Statement> match;
    std::optional<platform::Statement> write;
    guarded(h, [&] {
        Database.execute(QStringLiteral("CREATE INDEX %1 ON %2 (machine_type COLLATE NOCASE, var_name COLLATE NOCASE, "
                                        "offset_or_bitno)")
                             .arg(platform::quoteIdentifier(index), platform::quoteIdentifier(kDefsTable)));
        indexed = true;
    });
    guarded(h, [&] {
        match.emplace(Database, TakeoverMatchSql(ctx.project.AdditionalFields) + QStringLiteral(" ORDER BY rowid"));
        QStringList sets;
        for (int v = 0; v < 5; ++v)
            sets << platform::quoteIdentifier(QLatin1String(kValueColumns[v])) + QStringLiteral(" = ?") +
                        QString::number(v + 1);
        write.emplace(Database, QStringLiteral("UPDATE ") + platform::quoteIdentifier(kDefsTable) +
                                    QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                    QStringLiteral(" WHERE rowid = ?6"));
    });

    int takenOver = 0;
    if (match && write) {
        qint64 step = 0;
        for (const PreviousRecord& record : previous) {
            if ((++step & 1023) == 0)
                QCoreApplication::processEvents();
            // A record without a complete key matches nothing and is skipped without a report.
            qint64 rowid = -1;
            try {
                match->reset();
                match->bind(1, record[kSlotMachineType]);
                match->bind(2, record[kSlotVarName]);
                match->bind(3, record[kSlotOffset]);
                if (match->step())
                    rowid = match->int64(0);
            } catch (const platform::DbError&) {
                continue;
            }
            if (rowid < 0)
                continue;
            if (guarded(h, [&] {
                    for (int v = 0; v < 5; ++v)
                        write->bind(v + 1, record[size_t(kSlotFirstValue + v)]);
                    write->bindInt64(6, rowid);
                    write->execute();
                }))
                ++takenOver;
        }
    }
    match.reset();
    write.reset();
    if (indexed)
        guarded(h, [&] { Database.execute(QStringLiteral("DROP INDEX ") + platform::quoteIdentifier(index)); });
    return takenOver;
}

} // namespace database
