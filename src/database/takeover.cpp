#include "database/takeover.h"

#include "database/records.h"
#include "environment/errors.h"
#include "environment/paths.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <vector>

namespace database {

namespace {

const QString kProcName = QStringLiteral("TakeoverMachineCopyMDBData");
const QString kQuote = QStringLiteral("\"");

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

// Whether a value can be part of a key: not absent, not binary data.
bool keyValue(const QVariant& v)
{
    return !isAbsent(v) && v.typeId() != QMetaType::QByteArray;
}

// The key of a record; none when a part of it is absent (no key matches one without a bit number).
std::optional<MatchKey> matchKey(const QVariant& machineType, const QVariant& varName, const QVariant& offset)
{
    if (!keyValue(machineType) || !keyValue(varName) || !keyValue(offset))
        return std::nullopt;
    MatchKey key;
    key.machineType = nocaseKey(machineType.toString());
    key.varName = nocaseKey(varName.toString());
    switch (offset.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::Bool:
        key.number = offset.toDouble();
        break;
    default:
        key.text = offset.toString();
        key.number = key.text.trimmed().toDouble(&key.numeric);
        if (key.numeric)
            key.text.clear();
    }
    if (!key.numeric || key.number == 0)
        key.number = 0; // -0 compares equal to 0
    return key;
}

// Whether two values are equal as the engine compares them: absent equals absent, numbers by value
// (10 equals 10.0), texts and binary data by their content.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (isAbsent(a) || isAbsent(b))
        return isAbsent(a) && isAbsent(b);
    const auto number = [](const QVariant& v) {
        const int t = v.typeId();
        return t == QMetaType::LongLong || t == QMetaType::Int || t == QMetaType::Double || t == QMetaType::Bool;
    };
    if (number(a) && number(b))
        return a.toDouble() == b.toDouble();
    return a.typeId() == b.typeId() && a == b;
}

// Raises ErrDatabaseFatal under a handler that reports it as fatal: outside a silent run the program
// ends there; a silent run goes on.
void raiseFatal(environment::Context& ctx)
{
    environment::Handler fatal(ctx, kProcName, true);
    fatal([&] { environment::raise(environment::ErrDatabaseFatal); });
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
    environment::LogError(ctx, exe + QStringLiteral(" :") + environment::runTimeError(environment::ErrDatabaseFatal).description +
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


// Position of a column of the generated records; a missing one fails as the engine's statement
// naming it would.
int requiredColumn(const GeneratedRecords& records, const QString& name)
{
    const int column = records.columnIndex(name);
    if (column < 0)
        throw platform::DbError(platform::DbErrEngineBase + 1, QStringLiteral("no such column: ") + name);
    return column;
}

// Reports, for every previous record, each standard column the previous table lacks, as reading
// it from the record would (part is not read from a previous record; the category may still carry
// its old name).
void reportMissingColumns(environment::Handler& h, const PreviousTable& previous)
{
    QStringList missing;
    for (const QString& name : kStandardColumns) {
        if (name != kColumnPart && columnIndex(previous.columns, name) < 0 &&
            !(name == kColumnCategoryId && columnIndex(previous.columns, kOldCategoryColumn) >= 0))
            missing << name;
    }
    for (size_t j = 0; j < previous.records.size(); ++j) {
        for (qsizetype m = 0; m < missing.size(); ++m)
            h([] { throw platform::itemNotFound(); });
    }
}

// The match and the writes: for every generated record the last previous record with its key.
// Returns the number of previous records that found a generated record.
int takeOver(environment::Handler& h, const PreviousTable& previous, GeneratedRecords& generated, TakeoverLists& lists,
             UntunedValues untuned)
{
    int valueColumns[5] = {};
    // The first generated record of every key.
    QHash<MatchKey, int> first;
    const bool ready = h([&] {
        const int type = requiredColumn(generated, kColumnMachineType);
        const int name = requiredColumn(generated, kColumnVarName);
        const int offset = requiredColumn(generated, kColumnOffset);
        for (int v = 0; v < 5; ++v)
            valueColumns[v] = requiredColumn(generated, kLimitColumns[size_t(v)]);
        first.reserve(generated.rows);
        // Walking backwards, the first record of a key is the last one put in.
        for (int r = generated.rows - 1; r >= 0; --r) {
            if (auto key = matchKey(generated.at(r, type), generated.at(r, name), generated.at(r, offset)))
                first.insert(std::move(*key), r);
        }
    });
    if (!ready)
        return 0;
    lists.read = int(previous.records.size());
    // The last previous record of every key wins.
    QHash<MatchKey, size_t> winner;
    winner.reserve(qsizetype(previous.records.size()));
    std::vector<std::optional<MatchKey>> keys;
    keys.reserve(previous.records.size());
    for (size_t j = 0; j < previous.records.size(); ++j) {
        const PreviousRecord& record = previous.records[j];
        keys.push_back(matchKey(record.machineType, record.varName, record.offset));
        if (keys.back())
            winner.insert(*keys.back(), j);
    }
    int matched = 0;
    std::vector<bool> received(size_t(generated.rows), false);
    for (size_t j = 0; j < previous.records.size(); ++j) {
        const PreviousRecord& record = previous.records[j];
        if (!keys[j]) {
            lists.notMatched.push_back(record);
            continue;
        }
        const size_t last = winner.value(*keys[j]);
        if (last != j)
            lists.duplicates.emplace_back(record, previous.records[last]);
        const auto found = first.constFind(*keys[j]);
        if (found == first.constEnd()) {
            if (last == j)
                lists.lost.push_back(record);
            continue;
        }
        for (int v = 0; v < 5; ++v) {
            QVariant& value = generated.at(*found, valueColumns[v]);
            value = record.values[size_t(v)];
            if (untuned == UntunedValues::KeepPrevious || !record.hasDefault[size_t(v)] || generated.defaults.empty())
                continue;
            const QVariant& oldDefault = record.defaults[size_t(v)];
            const QVariant& newDefault = generated.defaults[size_t(*found) * 5 + size_t(v)];
            if (sameValue(newDefault, oldDefault))
                continue;
            const bool tuned = !sameValue(record.values[size_t(v)], oldDefault);
            if (!tuned)
                value = newDefault;
            if (last == j)
                (tuned ? lists.conflicts : lists.defaultsUpdated).push_back({record, v, oldDefault, newDefault});
        }
        received[size_t(*found)] = true;
        ++matched;
    }
    lists.generatedWithLimits = int(std::count(received.begin(), received.end(), true));
    return matched;
}

// The SELECT list of the wanted columns of a table, in their order, each after the prefix; NULL
// for a missing one.
QString selectList(const QStringList& tableColumns, const QStringList& wanted, const QString& prefix = {})
{
    QStringList list;
    for (const QString& column : wanted) {
        const int at = columnIndex(tableColumns, column);
        list << (at < 0 ? QStringLiteral("NULL") : prefix + platform::quoteIdentifier(tableColumns.at(at)));
    }
    return list.join(QStringLiteral(", "));
}

bool hasAll(const QStringList& tableColumns, const QStringList& wanted)
{
    return std::all_of(wanted.begin(), wanted.end(), [&](const QString& c) { return columnIndex(tableColumns, c) >= 0; });
}

// The rows of PRESET_DEFS_DEFAULTS by key, read when the first record does not find its row at
// its own position; a later row of a key wins.
class DefaultsByKey {
public:
    DefaultsByKey(const platform::Database& db, const QStringList& columns) : m_db(db), m_columns(columns) {}

    const std::array<QVariant, 5>* find(const QVariant& type, const QVariant& name, const QVariant& offset)
    {
        if (!m_read) {
            m_read = true;
            platform::Statement st(m_db, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                             .arg(selectList(m_columns, defaultsColumns()),
                                                  platform::quoteIdentifier(kDefaultsTable)));
            while (st.step()) {
                if (auto key = matchKey(st.value(0), st.value(1), st.value(2))) {
                    std::array<QVariant, 5>& values = m_byKey[std::move(*key)];
                    for (int v = 0; v < 5; ++v)
                        values[size_t(v)] = st.value(3 + v);
                }
            }
        }
        const auto key = matchKey(type, name, offset);
        const auto found = key ? m_byKey.constFind(*key) : m_byKey.constEnd();
        return found == m_byKey.constEnd() ? nullptr : &*found;
    }

private:
    const platform::Database& m_db;
    QStringList m_columns;
    bool m_read = false;
    QHash<MatchKey, std::array<QVariant, 5>> m_byKey;
};

} // namespace

PreviousTable readPreviousTable(ComponentDatabase& component)
{
    const platform::Database& db = component.database();
    const QString table = platform::quoteIdentifier(kDefsTable);
    PreviousTable previous;
    previous.columns = platform::Statement(db, QStringLiteral("SELECT * FROM ") + table).columnNames();
    const bool withDefaults = db.hasTableDef(kDefaultsTable);
    const QStringList defaultsTableColumns =
        withDefaults ? platform::Statement(db, QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kDefaultsTable))
                           .columnNames()
                     : QStringList();
    std::array<bool, 5> present{};
    for (size_t v = 0; v < kLimitColumns.size(); ++v)
        present[v] = columnIndex(defaultsTableColumns, kLimitColumns[v]) >= 0;
    // Only the columns kept are read; a missing one reads as absent. The run writes the defaults in
    // the records' order: each record's row is looked for at its own position first, with its key.
    const QStringList keys(kKeyColumns.begin(), kKeyColumns.end());
    QString sql = QStringLiteral("SELECT p.rowid, %1").arg(selectList(previous.columns, defaultsColumns(), QStringLiteral("p.")));
    const bool byPosition = withDefaults && hasAll(previous.columns, keys) && hasAll(defaultsTableColumns, keys);
    if (byPosition) {
        sql += QStringLiteral(", d.rowid, %1 FROM %2 p LEFT JOIN %3 d ON d.rowid = p.rowid")
                   .arg(selectList(defaultsTableColumns, QStringList(kLimitColumns.begin(), kLimitColumns.end()),
                                   QStringLiteral("d.")),
                        table, platform::quoteIdentifier(kDefaultsTable));
        for (const QString& key : keys) {
            sql += QStringLiteral(" AND d.%1 IS p.%2")
                       .arg(platform::quoteIdentifier(defaultsTableColumns.at(columnIndex(defaultsTableColumns, key))),
                            platform::quoteIdentifier(previous.columns.at(columnIndex(previous.columns, key))));
        }
    } else {
        sql += QStringLiteral(" FROM %1 p").arg(table);
    }
    DefaultsByKey byKey(db, defaultsTableColumns);
    platform::Statement st(db, sql + QStringLiteral(" ORDER BY p.rowid"));
    while (st.step()) {
        PreviousRecord& record = previous.records.emplace_back();
        // A name the run renamed reads as renamed; its defaults were stored under its old name.
        const QString* renamed = component.currentName(st.value(0).toLongLong());
        const QVariant storedName = st.value(2);
        record.machineType = st.value(1);
        record.varName = renamed ? QVariant(*renamed) : storedName;
        record.offset = st.value(3);
        for (int v = 0; v < 5; ++v)
            record.values[size_t(v)] = st.value(4 + v);
        if (!withDefaults)
            continue;
        std::array<QVariant, 5> atPosition;
        const std::array<QVariant, 5>* defaults = nullptr;
        if (byPosition && !isAbsent(st.value(9))) {
            for (int v = 0; v < 5; ++v)
                atPosition[size_t(v)] = st.value(10 + v);
            defaults = &atPosition;
        } else {
            defaults = byKey.find(record.machineType, storedName, record.offset);
        }
        for (size_t v = 0; defaults && v < 5; ++v) {
            record.hasDefault[v] = present[v];
            record.defaults[v] = (*defaults)[v];
        }
    }
    return previous;
}

int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& db,
                               std::optional<PreviousTable>& previousTable, GeneratedRecords& generated,
                               TakeoverLists& lists, UntunedValues untuned)
{
    environment::Handler h(ctx, kProcName);
    int columns = 0;
    h([&] {
        if (!previousTable)
            throw platform::objectClosed();
        columns = int(previousTable->columns.size());
    });
    h([&] { db.tableDef(kDefsTable); });
    if (columns > kStandardColumnCount && ctx.project.AdditionalFieldsCount == 0)
        warnAboutExtraColumns(ctx, h);
    if (!previousTable)
        return 0;
    const PreviousTable previous = std::move(*previousTable);
    previousTable.reset();
    if (previous.records.empty())
        return 0;
    reportMissingColumns(h, previous);
    // The generated table does not change from one previous record to the next: its columns are
    // checked once.
    checkAdditionalFields(ctx, h, db);
    return takeOver(h, previous, generated, lists, untuned);
}

} // namespace database
