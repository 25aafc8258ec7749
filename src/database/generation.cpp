#include "database/generation.h"

#include "database/lookups.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <limits>

namespace database {

namespace {

// Categories of slots 11 to 30 and 31 to 50; a template category of 360 stays in every slot.
constexpr qint64 kCategorySlots11To30 = 310;
constexpr qint64 kCategorySlots31To50 = 370;
constexpr double kCategoryKept = 360;

// Lets the window repaint during a long generation, at most every few milliseconds.
class Yield {
public:
    Yield() { m_timer.start(); }
    void operator()()
    {
        if (m_timer.hasExpired(30)) {
            QCoreApplication::processEvents();
            m_timer.restart();
        }
    }

private:
    QElapsedTimer m_timer;
};

[[noreturn]] void itemNotFound()
{
    throw platform::itemNotFound();
}

QVariant slotCategory(const QVariant& t, int slot)
{
    // An absent category compares to nothing and stays absent.
    if (isAbsent(t))
        return t;
    switch (t.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Bool:
        break;
    default:
        environment::raise(environment::ErrTypeMismatch);
    }
    if (t.toDouble() == kCategoryKept)
        return t;
    if (slot > 10 && slot <= 30)
        return QVariant(kCategorySlots11To30);
    if (slot > 30 && slot <= environment::kMaxSlots)
        return QVariant(kCategorySlots31To50);
    return t;
}

class Generator {
public:
    Generator(environment::Handler& h, platform::Database& db, const environment::EditingState& state,
              const NamingState& naming, ComponentDatabase& component)
        : h(h), ctx(h.context()), db(db), state(state), naming(naming), component(component)
    {
    }

    // served(m): whether the component serves machine m.
    GeneratedRecords run(const std::function<bool(int)>& served);

private:
    void openTarget();
    bool loadTemplates();
    void generateRecord(int slot, const std::vector<QVariant>& values, int record);
    void fillColumn(int f, int slot, const std::vector<QVariant>& values);
    QString varName(const QString& templateValue);
    // "###text", "###Servo" and "###parameter" of a text, once the record's offset_or_bitno has a
    // value.
    void replaceBitPlaceholders(QString& text);
    QString replace(const QString& text, const QString& placeholder, const QString& by)
    {
        return ReplaceSearchItem(ctx, text, placeholder, by);
    }
    // A field of the record being generated: absent until assigned.
    const QVariant& targetValue(int position) const
    {
        if (position < 0)
            itemNotFound();
        return out.at(current, position);
    }
    void setTarget(int position, QVariant value)
    {
        if (position < 0)
            itemNotFound();
        out.at(current, position) = std::move(value);
    }

    environment::Handler& h;
    environment::Context& ctx;
    platform::Database& db;
    const environment::EditingState& state;
    const NamingState& naming;
    ComponentDatabase& component;
    Yield yield;

    GeneratedRecords out;
    int current = -1; // the record being generated
    std::vector<std::vector<QVariant>> templates; // in ID order, every column
    // The columns the generation treats apart, found by their names in capitals.
    enum class ColumnKind { Other, VarName, CategoryId };
    std::vector<ColumnKind> kinds;
    int idColumn = -1;
    int partColumn = -1;
    int offsetColumn = -1;
    QString machineName;
    int machineNumber = 0;
    size_t row = 0; // of the template the record is made from
    QString servo;
    // The variable name in both systems' forms; a failing step leaves the previous record's.
    QString candidates[2];
};

void Generator::openTarget()
{
    if (!db.hasTableDef(kDefsTable))
        throw platform::noTable(kDefsTable);
    for (const platform::FieldDef& field : db.tableDef(kDefsTable).fields) {
        out.columns << field.name;
        const QString name = field.name.toUpper();
        kinds.push_back(name == kColumnVarName.toUpper()       ? ColumnKind::VarName
                        : name == kColumnCategoryId.toUpper() ? ColumnKind::CategoryId
                                                               : ColumnKind::Other);
    }
    idColumn = out.columnIndex(kColumnId);
    partColumn = out.columnIndex(kColumnPart);
    offsetColumn = out.columnIndex(kColumnOffset);
}

bool Generator::loadTemplates()
{
    std::vector<std::vector<QVariant>> rows;
    if (!h([&] {
            platform::Statement read(db, templateReadSql());
            rows = readRows(read);
        }))
        return false;
    // The number of templates is a 16-bit count.
    qint16 n = 0;
    h([&] { n = environment::toInt16(qint64(rows.size())); });
    templates = std::move(rows);
    return n > 0;
}

GeneratedRecords Generator::run(const std::function<bool(int)>& served)
{
    // Without its target or its templates nothing can be generated: the failure is reported
    // once instead of for every statement of every record.
    if (!h([&] { openTarget(); }) || !loadTemplates())
        return std::move(out);
    const QStringList& machines = ctx.project.ExistingMachines;
    if (machines.isEmpty()) {
        h.report(environment::runTimeError(environment::ErrSubscript));
        return std::move(out);
    }
    int record = 1;
    for (int m = 1; m < machines.size(); ++m) {
        bool isServed = false;
        h([&] { isServed = served(m); });
        if (!isServed)
            continue;
        qint16 slotCount = 0;
        if (!h([&] { slotCount = state.NumberOfServos[environment::checkIndex(m, 1, environment::kMaxMachines)]; }))
            continue;
        machineName = machines.at(m);
        machineNumber = m;
        out.servedMachines.emplace_back(m, std::max<int>(slotCount, 0));
        // Slots above 50 have no servo: reported once for the machine, not for each slot.
        if (slotCount > environment::kMaxSlots) {
            h.report(environment::runTimeError(environment::ErrSubscript));
            slotCount = environment::kMaxSlots;
        }
        for (int s = 1; s <= slotCount; ++s) {
            servo = QString::number(state.Servo[m][s]);
            for (row = 0; row < templates.size(); ++row) {
                yield();
                // The record number is a 16-bit counter: no record can be numbered beyond it.
                if (record > std::numeric_limits<qint16>::max()) {
                    h.report(environment::runTimeError(environment::ErrOverflow));
                    return std::move(out);
                }
                generateRecord(s, templates[row], record++);
            }
        }
    }
    return std::move(out);
}

void Generator::generateRecord(int slot, const std::vector<QVariant>& values, int record)
{
    current = out.rows++;
    out.machineOfRow.push_back(machineNumber);
    out.cells.resize(out.cells.size() + size_t(out.columnCount()));
    h([&] { setTarget(idColumn, QVariant(qint64(record))); });
    for (int f = 1; f < out.columnCount(); ++f)
        fillColumn(f, slot, values);
}

void Generator::fillColumn(int f, int slot, const std::vector<QVariant>& values)
{
    const QVariant* t = nullptr;
    if (!h([&] { t = &values.at(size_t(environment::checkIndex(f, 0, int(values.size()) - 1))); }))
        return;
    if (!isText(*t)) {
        h([&] { setTarget(f, kinds[size_t(f)] == ColumnKind::CategoryId ? slotCategory(*t, slot) : *t); });
        return;
    }
    QString value;
    if (kinds[size_t(f)] == ColumnKind::VarName) {
        value = varName(t->toString());
    } else {
        value = replace(t->toString(), kMachinePlaceholder, machineName);
        // A text without placeholders needs no bit number.
        if (value.contains(QLatin1Char('#')))
            h([&] { replaceBitPlaceholders(value); });
    }
    h([&] { setTarget(f, value); });
}

void Generator::replaceBitPlaceholders(QString& text)
{
    const QVariant& offset = targetValue(offsetColumn);
    if (!hasValue(offset))
        return;
    const QString bit = QString::number(environment::toInt16(qint64(toWholeNumber(offset)) + 1));
    text = replace(text, kTextPlaceholder, bit);
    text = replace(text, kServoPlaceholder, servo);
    text = replace(text, kParameterPlaceholder, servo);
}

QString Generator::varName(const QString& templateValue)
{
    for (int k = 0; k < 2; ++k) {
        h([&] {
            const qint16 part = toWholeNumber(targetValue(partColumn));
            const QString& pattern = naming.VarNamePatterns[k][environment::checkIndex(part, 1, kMaxParts)];
            candidates[k] = replace(pattern, kVarNamePlaceholder, templateValue);
        });
    }
    // Two passes on purpose: each replaces the first "###machine" only, and a name may carry one
    // from its pattern and one from the template's value.
    for (QString& candidate : candidates) {
        candidate = replace(candidate, kMachinePlaceholder, machineName);
        candidate = replace(candidate, kMachinePlaceholder, machineName);
    }
    for (QString& candidate : candidates) {
        candidate = replace(candidate, kServoPlaceholder, servo);
        candidate = replace(candidate, kParameterPlaceholder, servo);
    }
    // The bit number goes into both forms before the renaming, so that the component database
    // is searched for the names the records really carry.
    h([&] {
        for (QString& candidate : candidates)
            replaceBitPlaceholders(candidate);
    });
    VarNameInQuelleErsetzen(ctx, component, naming, candidates[0], candidates[1]);
    QString value;
    h([&] { value = candidates[environment::checkIndex(naming.VWStudioMode, 0, 1)]; });
    return value;
}

} // namespace

int GeneratedRecords::columnIndex(const QString& name) const
{
    return database::columnIndex(columns, name);
}

GeneratedRecords CreateRecordSets(environment::Context& ctx, platform::Database& db,
                                  const environment::EditingState& state, const NamingState& naming,
                                  ComponentDatabase& component)
{
    environment::Handler h(ctx, QStringLiteral("CreateRecordSets"));
    h([&] { environment::GetValidMachines(ctx); }); // read as the original does; the value is not used
    Generator generator(h, db, state, naming, component);
    GeneratedRecords records = generator.run([&](int machine) {
        return environment::LoadIniBoolean(ctx, QStringLiteral("Project"),
                                           QStringLiteral("ForMachine") + QString::number(machine),
                                           environment::GetCFGPath(ctx));
    });
    // What the template gave each record, before the takeover puts the previous limits in.
    std::vector<int> limits;
    for (const QString& column : kLimitColumns)
        limits.push_back(records.columnIndex(column));
    if (std::find(limits.begin(), limits.end(), -1) == limits.end()) {
        records.defaults.reserve(size_t(records.rows) * limits.size());
        for (int r = 0; r < records.rows; ++r)
            for (const int c : limits)
                records.defaults.push_back(records.at(r, c));
    }
    return records;
}

bool rebuildDefaultsTable(platform::Database& db)
{
    if (db.hasTableDef(kDefaultsTable))
        db.deleteTableDef(kDefaultsTable);
    const platform::TableDef defs = db.tableDef(kDefsTable);
    QStringList names;
    for (const platform::FieldDef& field : defs.fields)
        names << field.name;
    platform::TableDef defaults{kDefaultsTable, {}};
    for (const QString& column : defaultsColumns()) {
        const int at = columnIndex(names, column);
        if (at < 0)
            return false;
        defaults.fields.push_back({column, defs.fields[size_t(at)].type, defs.fields[size_t(at)].size});
    }
    db.appendTableDef(defaults);
    return true;
}

void writeDefaults(environment::Handler& h, platform::Database& db, const GeneratedRecords& records,
                   const std::vector<int>& leftOut)
{
    std::vector<int> keys;
    for (const QString& column : kKeyColumns)
        keys.push_back(records.columnIndex(column));
    if (records.defaults.empty() || std::find(keys.begin(), keys.end(), -1) != keys.end() ||
        !db.hasTableDef(kDefaultsTable))
        return;
    h([&] {
        QStringList marks;
        for (qsizetype i = 0; i < defaultsColumns().size(); ++i)
            marks << QStringLiteral("?%1").arg(i + 1);
        platform::Statement insert(db, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                           .arg(platform::quoteIdentifier(kDefaultsTable), marks.join(QLatin1Char(','))));
        auto skipped = leftOut.begin();
        for (int r = 0; r < records.rows; ++r) {
            if (skipped != leftOut.end() && *skipped == r) {
                ++skipped;
                continue;
            }
            int at = 1;
            for (const int c : keys)
                insert.bind(at++, records.at(r, c));
            for (size_t v = 0; v < kLimitColumns.size(); ++v)
                insert.bind(at++, records.defaults[size_t(r) * kLimitColumns.size() + v]);
            insert.execute();
        }
    });
}

std::vector<int> writeGeneratedRecords(environment::Handler& h, platform::Database& db, const GeneratedRecords& records)
{
    std::vector<int> leftOut;
    if (records.rows == 0 || records.columnCount() == 0)
        return leftOut;
    std::optional<platform::Statement> insert;
    if (!h([&] {
            QStringList names;
            QStringList marks;
            for (const QString& column : records.columns) {
                names << platform::quoteIdentifier(column);
                marks << QStringLiteral("?%1").arg(marks.size() + 1);
            }
            insert.emplace(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(platform::quoteIdentifier(kDefsTable), names.join(QLatin1Char(',')),
                                        marks.join(QLatin1Char(','))));
        })) {
        for (int r = 0; r < records.rows; ++r)
            leftOut.push_back(r);
        return leftOut;
    }
    Yield yield;
    for (int r = 0; r < records.rows; ++r) {
        yield();
        const bool written = h([&] {
            for (int c = 0; c < records.columnCount(); ++c)
                insert->bind(c + 1, records.at(r, c));
            insert->execute();
        });
        if (!written)
            leftOut.push_back(r);
    }
    return leftOut;
}

} // namespace database
