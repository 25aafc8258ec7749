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
#include <cstring>
#include <deque>
#include <iterator>
#include <optional>
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
static_assert(int(std::size(kKeptSlots)) == kKeptCount);
constexpr int kKeptMachineType = 0;
constexpr int kKeptVarName = 1;
constexpr int kKeptOffset = 2;
constexpr int kKeptFirstValue = 3;

// Where slot s is kept in a PreviousRecord, -1 when it is not.
constexpr int keptIndex(int s)
{
    for (int k = 0; k < kKeptCount; ++k) {
        if (kKeptSlots[k] == s)
            return k;
    }
    return -1;
}

// The match key of a record as the engine compares it: machine_type and var_name without regard
// to the letter case of A to Z, offset_or_bitno by value (a number, or a text that reads as one,
// compares as that number; other text as it is).
struct MatchKey {
    QString machineType;
    QString varName;
    bool numeric = true;
    double number = 0;
    QString text;

    bool operator==(const MatchKey&) const = default;
};

size_t qHash(const MatchKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.machineType, key.varName, key.numeric, key.number, key.text);
}

// The text of a key value; none for an absent value or binary data.
std::optional<QString> keyText(const QVariant& v)
{
    if (isAbsent(v) || v.typeId() == QMetaType::QByteArray)
        return std::nullopt;
    return v.toString();
}

// The key of a record; none when a part of it is absent (no key matches one without a bit number).
std::optional<MatchKey> matchKey(const QVariant& machineType, const QVariant& varName, const QVariant& offset)
{
    const std::optional<QString> type = keyText(machineType);
    const std::optional<QString> name = keyText(varName);
    const std::optional<QString> bit = keyText(offset);
    if (!type || !name || !bit)
        return std::nullopt;
    MatchKey key{nocaseKey(*type), nocaseKey(*name)};
    switch (offset.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::Bool:
        key.number = offset.toDouble();
        break;
    default:
        key.number = bit->trimmed().toDouble(&key.numeric);
        if (!key.numeric)
            key.text = *bit;
    }
    if (!key.numeric || key.number == 0)
        key.number = 0; // -0 compares equal to 0
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
    if (!h([&] { generated = db.tableDef(kDefsTable); }))
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

namespace {

platform::Recordset readPrevious(const platform::Database& db, const ComponentDatabase* renames)
{
    if (!db.hasTableDef(kDefsTable))
        throw platform::DbError(platform::DbErrNoTable,
                                QStringLiteral("The engine cannot find the input table or query '%1'.").arg(kDefsTable));
    // Texts the takeover never looks at would cost an allocation each.
    const QString table = platform::quoteIdentifier(kDefsTable);
    const platform::Statement all(db, QStringLiteral("SELECT * FROM ") + table);
    const QStringList fields = all.columnNames();
    QStringList columns{QStringLiteral("rowid")};
    std::vector<char> read;
    int varName = -1;
    for (const QString& field : fields) {
        bool kept = false;
        for (int s : kKeptSlots)
            kept = kept || field.compare(QLatin1String(kSlotColumns[s]), Qt::CaseInsensitive) == 0;
        if (varName < 0 && field.compare(kColumnVarName, Qt::CaseInsensitive) == 0)
            varName = int(read.size());
        read.push_back(kept ? 1 : 0);
        columns << (kept ? platform::quoteIdentifier(field) : QStringLiteral("NULL"));
    }
    platform::Statement st(db, QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                                   QStringLiteral(" FROM ") + table + QStringLiteral(" ORDER BY rowid"));
    std::vector<QVariant> cells;
    while (st.step()) {
        const qint64 rowid = st.value(0).toLongLong();
        for (int c = 0; c < int(read.size()); ++c) {
            if (!read[size_t(c)]) {
                cells.emplace_back();
                continue;
            }
            // A name the run renamed reads as renamed, written to the file or not.
            const QString* renamed = c == varName && renames ? renames->currentName(rowid) : nullptr;
            cells.push_back(renamed ? QVariant(*renamed) : st.value(c + 1));
        }
    }
    return platform::Recordset::rows(fields, std::move(cells));
}

} // namespace

platform::Recordset PreviousRecordsForTakeover(ComponentDatabase& component)
{
    if (!component.isOpen())
        throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
    return readPrevious(component.database(), &component);
}

namespace {

// Position of a column of the generated records; a missing one fails as the engine's statement
// naming it would.
int requiredColumn(const GeneratedRecords& records, const char* name)
{
    const int column = records.columnIndex(QLatin1String(name));
    if (column < 0)
        throw platform::DbError(platform::DbErrEngineBase + 1, QStringLiteral("no such column: ") + QLatin1String(name));
    return column;
}

// The additional-field check, the match and the writes into the generated records, once the
// previous records are read.
template <typename Records>
int takeOver(environment::Context& ctx, environment::Handler& h, platform::Database& Database, const Records& previous,
             GeneratedRecords& generated)
{
    // The generated table does not change from one previous record to the next: its columns are
    // checked once.
    checkAdditionalFields(ctx, h, Database);

    // The match: the generated records' keys read once into a table from key to the first record
    // that has it.
    int valueColumns[5] = {};
    QHash<MatchKey, int> first;
    const bool ready = h([&] {
        const int type = requiredColumn(generated, "machine_type");
        const int name = requiredColumn(generated, "var_name");
        const int offset = requiredColumn(generated, "offset_or_bitno");
        for (int v = 0; v < 5; ++v)
            valueColumns[v] = requiredColumn(generated, kValueColumns[v]);
        for (int r = 0; r < generated.rows; ++r) {
            const auto key = matchKey(generated.at(r, type), generated.at(r, name), generated.at(r, offset));
            if (key && !first.contains(*key))
                first.insert(*key, r);
        }
    });
    if (!ready)
        return 0;

    // For every generated record the last previous record that finds it: its values stay.
    std::vector<int> winner(size_t(generated.rows), -1);
    int matched = 0;
    for (size_t j = 0; j < previous.size(); ++j) {
        const PreviousRecord& record = previous[j];
        const auto key = matchKey(record[kKeptMachineType], record[kKeptVarName], record[kKeptOffset]);
        const auto found = key ? first.constFind(*key) : first.constEnd();
        if (found != first.constEnd()) {
            winner[size_t(*found)] = int(j);
            ++matched;
        }
    }
    for (int r = 0; r < generated.rows; ++r) {
        if (winner[size_t(r)] < 0)
            continue;
        const PreviousRecord& record = previous[size_t(winner[size_t(r)])];
        for (int v = 0; v < 5; ++v)
            generated.at(r, valueColumns[v]) = record[size_t(kKeptFirstValue + v)];
    }
    return matched;
}

// The checks before the previous records are read: the table itself, the generated table, and
// the warning about columns nothing is configured for.
void checkBeforeReading(environment::Context& ctx, environment::Handler& h, platform::Database& Database, int columns)
{
    h([&] { Database.tableDef(kDefsTable); });
    if (columns > kStandardColumnCount && ctx.project.AdditionalFieldsCount == 0)
        warnAboutExtraColumns(ctx, h);
}

} // namespace

int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database,
                               std::optional<platform::Recordset>& PreviousTable, GeneratedRecords& generated)
{
    environment::Handler h(ctx, kProcName);
    int columns = 0;
    h([&] {
        if (!PreviousTable)
            throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
        columns = PreviousTable->fieldCount();
    });
    checkBeforeReading(ctx, h, Database, columns);
    if (!PreviousTable)
        return 0;

    // The previous records, read once. A column the table lacks fails for every record, and
    // each failure is reported.
    int n = 0;
    h([&] { n = PreviousTable->recordCount(); });
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
    h([&] { PreviousTable->moveFirst(); });
    for (int j = 0; j < n; ++j) {
        for (int s = 0; s < kSlotCount; ++s) {
            if (!kSlotColumns[s])
                continue;
            h([&] {
                const QVariant& value = position[s] >= 0 ? PreviousTable->value(position[s])
                                                         : PreviousTable->value(QLatin1String(kSlotColumns[s]));
                const int kept = keptIndex(s);
                if (kept >= 0)
                    previous[size_t(j)][size_t(kept)] = value;
            });
        }
        h([&] { PreviousTable->moveNext(); });
    }
    PreviousTable.reset();
    return takeOver(ctx, h, Database, previous, generated);
}

namespace {

// The kept columns of the previous PRESET_DEFS of db; false when the table lacks one of the
// columns the takeover reads.
bool readKeptColumns(const platform::Database& db, std::optional<PreviousRecords>& previous)
{
    previous.reset();
    if (!db.hasTableDef(kDefsTable))
        throw platform::DbError(platform::DbErrNoTable,
                                QStringLiteral("The engine cannot find the input table or query '%1'.").arg(kDefsTable));
    const QStringList fields =
        platform::Statement(db, QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kDefsTable)).columnNames();
    const auto has = [&](const QString& name) {
        return std::any_of(fields.begin(), fields.end(),
                           [&](const QString& f) { return f.compare(name, Qt::CaseInsensitive) == 0; });
    };
    for (int s = 0; s < kSlotCount; ++s) {
        if (kSlotColumns[s] && !has(QLatin1String(kSlotColumns[s])) && !(s == kSlotCategory && has(kOldCategoryColumn)))
            return false;
    }
    PreviousRecords read;
    read.columns = int(fields.size());
    QStringList columns{QStringLiteral("rowid")};
    for (int s : kKeptSlots)
        columns << platform::quoteIdentifier(QLatin1String(kSlotColumns[s]));
    platform::Statement st(db, QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                                   platform::quoteIdentifier(kDefsTable) + QStringLiteral(" ORDER BY rowid"));
    while (st.step()) {
        read.rowids.push_back(st.value(0).toLongLong());
        PreviousRecord& record = read.records.emplace_back();
        for (int k = 0; k < kKeptCount; ++k)
            record[size_t(k)] = st.value(k + 1);
    }
    previous.emplace(std::move(read));
    return true;
}

// Gives records read from the run's component database the variable names the run's renames gave
// them (written to the file or not).
void putRenames(PreviousRecord* records, const qint64* rowids, size_t n, const ComponentDatabase& component)
{
    for (size_t i = 0; i < n; ++i) {
        if (const QString* renamed = component.currentName(rowids[i]))
            records[i][kKeptVarName] = *renamed;
    }
}

} // namespace

bool ReadPreviousRecords(ComponentDatabase& component, std::optional<PreviousRecords>& previous)
{
    if (!readKeptColumns(component.database(), previous))
        return false;
    putRenames(previous->records.data(), previous->rowids.data(), previous->records.size(), component);
    return true;
}

int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database, PreviousRecords& previous,
                               GeneratedRecords& generated)
{
    environment::Handler h(ctx, kProcName);
    checkBeforeReading(ctx, h, Database, previous.columns);
    if (previous.records.empty())
        return 0;
    const auto records = std::move(previous.records);
    previous.records.clear();
    return takeOver(ctx, h, Database, records, generated);
}

} // namespace database
