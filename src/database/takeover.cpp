#include "database/takeover.h"

#include "database/records.h"
#include "environment/errors.h"
#include "environment/paths.h"
#include "platform/messages.h"
#include "platform/files.h"
#include "platform/process.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <unordered_map>
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

// What is kept of a previous record: the key and the values; the other slots are read only
// for their failures.
constexpr int kKeptSlots[] = {kSlotMachineType, kSlotVarName,          kSlotOffset,          kSlotFirstValue,
                              kSlotFirstValue + 1, kSlotFirstValue + 2, kSlotFirstValue + 3, kSlotFirstValue + 4};
constexpr int kKeptCount = int(std::size(kKeptSlots));
constexpr int kKeptMachineType = 0;
constexpr int kKeptVarName = 1;
constexpr int kKeptOffset = 2;
constexpr int kKeptFirstValue = 3;
using PreviousRecord = std::array<QVariant, kKeptCount>;

// Where slot s is kept in a PreviousRecord, -1 when it is not.
constexpr int keptIndex(int s)
{
    for (int k = 0; k < kKeptCount; ++k) {
        if (kKeptSlots[k] == s)
            return k;
    }
    return -1;
}

// The match key as the engine compares it: texts with ASCII letters folded (NOCASE), the bit
// number by value (a number, or a text that reads as one, compares as that number).
struct MatchKey {
    QString machineType;
    QString varName;
    bool numeric = true;
    double number = 0;
    QString text;

    bool operator==(const MatchKey& o) const
    {
        return numeric == o.numeric && (numeric ? number == o.number : text == o.text) &&
               machineType == o.machineType && varName == o.varName;
    }
};

struct MatchKeyHash {
    size_t operator()(const MatchKey& k) const
    {
        size_t h = qHash(k.machineType) ^ (qHash(k.varName) * 31);
        return h ^ (k.numeric ? qHash(k.number == 0 ? 0.0 : k.number) : qHash(k.text) * 7);
    }
};

// Text of a key column with the letters a to z capitalised; none for an absent value or binary data.
std::optional<QString> foldedText(QVariant v)
{
    if (isAbsent(v) || v.typeId() == QMetaType::QByteArray)
        return std::nullopt;
    QString text = v.toString();
    // A text held only here is folded where it is, without a copy.
    v.clear();
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    }
    return text;
}

std::optional<MatchKey> matchKey(QVariant machineType, QVariant varName, const QVariant& offset)
{
    std::optional<QString> m = foldedText(std::move(machineType));
    std::optional<QString> n = foldedText(std::move(varName));
    if (!m || !n || isAbsent(offset) || offset.typeId() == QMetaType::QByteArray)
        return std::nullopt;
    MatchKey key{std::move(*m), std::move(*n), true, 0, QString()};
    switch (offset.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Bool:
        key.number = offset.toDouble();
        break;
    default: {
        bool ok = false;
        const QString text = offset.toString();
        key.number = text.trimmed().toDouble(&ok);
        if (!ok) {
            key.numeric = false;
            key.text = text;
        }
    }
    }
    return key;
}

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

platform::Recordset PreviousRecordsForTakeover(const platform::Database& db)
{
    if (!db.hasTableDef(kDefsTable))
        throw platform::DbError(platform::DbErrNoTable,
                                QStringLiteral("The engine cannot find the input table or query '%1'.").arg(kDefsTable));
    // Texts the takeover never looks at would cost an allocation each.
    const QString table = platform::quoteIdentifier(kDefsTable);
    const platform::Statement all(db, QStringLiteral("SELECT * FROM ") + table);
    QStringList columns;
    for (const QString& field : all.columnNames()) {
        const QString name = platform::quoteIdentifier(field);
        bool read = false;
        for (int s : kKeptSlots)
            read = read || field.compare(QLatin1String(kSlotColumns[s]), Qt::CaseInsensitive) == 0;
        columns << (read ? name : QStringLiteral("NULL")) + QStringLiteral(" AS ") + name;
    }
    platform::Statement st(db, QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                                   QStringLiteral(" FROM ") + table +
                                   QStringLiteral(" ORDER BY rowid"));
    return platform::Recordset::query(st);
}

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
                const QVariant& value = position[s] >= 0 ? PreviousTable->value(position[s])
                                                         : PreviousTable->value(QLatin1String(kSlotColumns[s]));
                const int kept = keptIndex(s);
                if (kept >= 0)
                    previous[size_t(j)][size_t(kept)] = value;
            });
        }
        guarded(h, [&] { PreviousTable->moveNext(); });
    }
    PreviousTable.reset();
    // The generated table does not change from one previous record to the next: its columns are
    // checked once.
    checkAdditionalFields(ctx, h, Database);

    // The match: the generated records' keys read once into a map from key to the first record
    // that has it, compared as the engine compares them (machine_type and var_name without regard
    // to letter case, offset_or_bitno by value; an absent value matches nothing).
    std::unordered_map<MatchKey, qint64, MatchKeyHash> first;
    bool keysRead = false;
    guarded(h, [&] {
        platform::Statement keys(Database, QStringLiteral("SELECT rowid, machine_type, var_name, offset_or_bitno FROM ") +
                                               platform::quoteIdentifier(kDefsTable) + QStringLiteral(" ORDER BY rowid"));
        while (keys.step()) {
            std::optional<MatchKey> key = matchKey(keys.value(1), keys.value(2), keys.value(3));
            if (key)
                first.try_emplace(std::move(*key), keys.int64(0));
        }
        keysRead = true;
    });

    // Where several previous records find the same record, the last one's values stay.
    std::vector<std::pair<qint64, size_t>> writes; // record, previous record
    for (size_t j = 0; j < previous.size(); ++j) {
        const PreviousRecord& record = previous[j];
        const std::optional<MatchKey> key = matchKey(record[kKeptMachineType], record[kKeptVarName], record[kKeptOffset]);
        if (!key)
            continue;
        const auto found = first.find(*key);
        if (found != first.end())
            writes.emplace_back(found->second, j);
    }
    std::stable_sort(writes.begin(), writes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    int takenOver = 0;
    if (!keysRead)
        return takenOver;
    std::optional<platform::Statement> write;
    guarded(h, [&] {
        QStringList sets;
        for (int v = 0; v < 5; ++v)
            sets << platform::quoteIdentifier(QLatin1String(kValueColumns[v])) + QStringLiteral(" = ?") +
                        QString::number(v + 1);
        write.emplace(Database, QStringLiteral("UPDATE ") + platform::quoteIdentifier(kDefsTable) +
                                    QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                    QStringLiteral(" WHERE rowid = ?6"));
    });
    for (size_t w = 0; write && w < writes.size(); ++w) {
        if ((w & 4095) == 4095)
            QCoreApplication::processEvents();
        ++takenOver;
        // Earlier records for the same target are overwritten by the last one.
        if (w + 1 < writes.size() && writes[w + 1].first == writes[w].first)
            continue;
        const PreviousRecord& record = previous[writes[w].second];
        if (!guarded(h, [&] {
                for (int v = 0; v < 5; ++v)
                    write->bind(v + 1, record[size_t(kKeptFirstValue + v)]);
                write->bindInt64(6, writes[w].first);
                write->execute();
            }))
            --takenOver;
    }
    return takenOver;
}

} // namespace database
