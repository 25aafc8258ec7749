#include "database/generation.h"
#include "database/lookups.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "platform/recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace database {

namespace {

// Categories of slots 11 to 30 and 31 to 50; a template category of 360 stays in every slot.
constexpr qint64 kCategorySlots11To30 = 310;
constexpr qint64 kCategorySlots31To50 = 370;
constexpr double kCategoryKept = 360;

// Lets the window repaint during a long generation. Asking the event loop for every column
// would cost more than writing the records, so it is asked at most every few milliseconds.
class Yield {
public:
    Yield() { m_timer.start(); }
    void operator()()
    {
        // Even the clock costs more than a record: it is read every few calls.
        if ((++m_calls & 63) != 0)
            return;
        if (m_timer.hasExpired(kIntervalMs)) {
            QCoreApplication::processEvents();
            m_timer.restart();
        }
    }

private:
    static constexpr qint64 kIntervalMs = 30;
    QElapsedTimer m_timer;
    unsigned m_calls = 0;
};

const QVariant kAbsent;

[[noreturn]] void itemNotFound()
{
    throw platform::DbError(platform::DbErrItemNotFound, QStringLiteral("Item not found in this collection."));
}

// A copy of a template value. Numbers are copied as such: QVariant's own copy goes through an
// indirect call per value.
QVariant copied(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
        return QVariant(*static_cast<const double*>(v.constData()));
    case QMetaType::LongLong:
        return QVariant(*static_cast<const qlonglong*>(v.constData()));
    case QMetaType::Int:
        return QVariant(*static_cast<const int*>(v.constData()));
    default:
        return v;
    }
}

// A text of its own, exactly as long as its characters: a working text's buffer stays with the
// working text.
QString detached(const QString& text)
{
    return QString(text.constData(), text.size());
}

// A working text given new characters in the buffer it has (texts replaced in place then need no
// new buffer either).
void setWorking(QString& work, const QString& text)
{
    work.resize(0);
    work.append(text.constData(), text.size());
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
        environment::raise(environment::ErrTypeMismatch, QStringLiteral("Type mismatch"));
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
    void run(const std::function<bool(int)>& served);
    GeneratedRecords take() { return std::move(out); }

private:
    void openTarget();
    bool loadTemplates();
    void describeTarget();
    void reserve();
    void writeRecord(int slot, int row, int record);
    void fillColumn(int f, int slot, int row);
    QString varName(const QString& templateValue, int row);
    // Whether texts of these sizes stay within the positions ReplaceSearchItem can report: only
    // then does a replacement never report, and its result can be kept for the next slots.
    static bool keepable(qsizetype a, qsizetype b) { return a + b < 16000; }
    // The record's offset_or_bitno plus 1 as text, none while it has no value.
    const QString* bitText();
    void replaceBitPlaceholders(QString& value, const QString* bit);
    bool replace(QString& text, const QString& placeholder, const QString& by)
    {
        return ReplaceSearchItemInPlace(ctx, text, placeholder, by);
    }
    // Every placeholder starts with "#": a text without one has nothing to replace.
    static bool hasPlaceholder(const QString& text) { return text.contains(QLatin1Char('#')); }
    // A field of the record being generated: absent until assigned.
    const QVariant& targetValue(int position) const
    {
        if (position < 0)
            itemNotFound();
        return out.isAssigned(current, position) ? out.at(current, position) : kAbsent;
    }
    void setTarget(int position, QVariant value)
    {
        if (position < 0)
            itemNotFound();
        out.set(current, position, std::move(value));
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
    // templates[r][j]: value of column j of template row r (rows from 1, columns 0..c).
    std::vector<std::vector<QVariant>> templates;
    int columnCount = 0;
    int idColumn = -1;
    int partColumn = -1;
    int offsetColumn = -1;
    std::vector<char> isVarName;
    std::vector<char> isCategoryId;

    QString machineName;
    QString servo;
    // The variable name in both systems' forms; a failing step leaves the previous record's.
    QString candidates[2];
    // Working text for the placeholders of other text columns.
    QString work;

    // What the machine's name makes of a template text is the same in every slot of the machine:
    // kept per template row and column (text columns) or per row and naming system (variable
    // names), tagged with the machine run they were made in.
    int machineRun = 0;
    struct MachineText {
        int run = -1;
        QString text;
    };
    struct MachineName {
        int run = -1;
        qint16 part = 0;
        bool hadPlaceholder = false;
        QString text;
    };
    std::vector<MachineText> textCache;   // [row * columnCount + column]
    std::vector<MachineName> nameCache;   // [row * 2 + system]
    qint16 lastBit = 0;
    QString lastBitText;
    // The last text each column made from the numbers of the slot: the next record of the slot
    // with the same text (and the same bit number, where the text has a place for it) shares it.
    int slotRun = 0;
    struct SlotText {
        int run = -1;
        bool usesBit = false;
        qint16 bit = 0;
        QString from;
        QString made;
    };
    std::vector<SlotText> slotTexts; // [column]
};

bool Generator::loadTemplates()
{
    std::optional<platform::Statement> read;
    std::optional<platform::Recordset> rows;
    if (!h([&] {
            read.emplace(db, TemplateReadSql());
            rows.emplace(platform::Recordset::query(*read));
        }))
        return false;
    qint16 n = 0;
    h([&] { n = environment::toInt16(rows->recordCount()); });
    if (n <= 0)
        return false;
    return h([&] {
        rows->moveFirst();
        const int c = rows->fieldCount();
        templates.assign(size_t(n) + 1, std::vector<QVariant>(size_t(c) + 1));
        for (int r = 1; r <= n; ++r) {
            for (int j = 0; j < c; ++j)
                templates[r][j] = rows->value(j);
            rows->moveNext();
            yield();
        }
    });
}

void Generator::openTarget()
{
    if (!db.hasTableDef(kDefsTable))
        throw platform::DbError(platform::DbErrNoTable,
                                QStringLiteral("The engine cannot find the input table or query '%1'.").arg(kDefsTable));
    for (const platform::FieldDef& field : db.tableDef(kDefsTable).fields)
        out.columns << field.name;
}

void Generator::describeTarget()
{
    columnCount = out.columnCount();
    isVarName.assign(columnCount, 0);
    isCategoryId.assign(columnCount, 0);
    for (int f = 0; f < columnCount; ++f) {
        const QString name = out.columns.at(f).toUpper();
        isVarName[f] = name == kColumnVarName.toUpper();
        isCategoryId[f] = name == kColumnCategoryId.toUpper();
    }
    idColumn = out.columnIndex(kColumnId);
    partColumn = out.columnIndex(kColumnPart);
    offsetColumn = out.columnIndex(kColumnOffset);
}

// Room for the records the editing state asks for, up to the last record number.
void Generator::reserve()
{
    qint64 slotTotal = 0;
    for (int m = 1; m <= environment::kMaxMachines; ++m)
        slotTotal += std::clamp<qint64>(state.NumberOfServos[m], 0, environment::kMaxSlots);
    const qint64 records = std::min<qint64>(slotTotal * qint64(templates.size() - 1), std::numeric_limits<qint16>::max());
    out.cells.reserve(size_t(records) * size_t(columnCount));
    out.assigned.reserve(size_t(records) * size_t(columnCount));
}

void Generator::run(const std::function<bool(int)>& served)
{
    // Without its target or its templates nothing can be generated: the failure is reported
    // once instead of for every statement of every record.
    if (!h([&] { openTarget(); }))
        return;
    if (!loadTemplates())
        return;
    describeTarget();
    reserve();
    textCache.assign(templates.size() * size_t(columnCount), MachineText());
    nameCache.assign(templates.size() * 2, MachineName());
    slotTexts.assign(size_t(columnCount), SlotText());

    const QStringList& machines = ctx.project.ExistingMachines;
    if (machines.isEmpty()) {
        h.report(environment::RunTimeError(environment::ErrSubscript, QStringLiteral("Subscript out of range")));
        return;
    }
    const int rows = int(templates.size()) - 1;
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
        ++machineRun;
        // Slots above 50 have no servo: reported once for the machine, not for each slot.
        if (slotCount > environment::kMaxSlots) {
            h.report(environment::RunTimeError(environment::ErrSubscript, QStringLiteral("Subscript out of range")));
            slotCount = environment::kMaxSlots;
        }
        for (int s = 1; s <= slotCount; ++s) {
            servo = QString::number(state.Servo[m][s]);
            ++slotRun;
            for (int r = 1; r <= rows; ++r) {
                yield();
                // The record number is a 16-bit counter: no record can be numbered beyond it.
                if (record > std::numeric_limits<qint16>::max()) {
                    h.report(environment::RunTimeError(environment::ErrOverflow, QStringLiteral("Overflow")));
                    return;
                }
                writeRecord(s, r, record);
                ++record;
            }
        }
    }
}

void Generator::writeRecord(int slot, int row, int record)
{
    current = out.rows++;
    out.cells.resize(out.cells.size() + size_t(columnCount));
    out.assigned.resize(out.assigned.size() + size_t(columnCount), 0);
    h([&] { setTarget(idColumn, QVariant(qint64(record))); });
    for (int f = 1; f < columnCount; ++f)
        fillColumn(f, slot, row);
}

void Generator::fillColumn(int f, int slot, int row)
{
    const std::vector<QVariant>& values = templates[row];
    const QVariant* t = nullptr;
    if (!h([&] { t = &values.at(environment::checkIndex(f, 0, int(values.size()) - 1)); }))
        return;
    if (!isText(*t)) {
        h([&] { setTarget(f, isCategoryId[f] ? slotCategory(*t, slot) : copied(*t)); });
        return;
    }
    const QString& text = *static_cast<const QString*>(t->constData());
    QString value;
    if (isVarName[f]) {
        value = varName(text, row);
    } else {
        value = text;
        if (hasPlaceholder(value)) {
            MachineText& kept = textCache[size_t(row) * size_t(columnCount) + size_t(f)];
            if (kept.run == machineRun) {
                value = kept.text;
            } else {
                replace(value, kMachinePlaceholder, machineName);
                if (keepable(text.size(), machineName.size()))
                    kept = MachineText{machineRun, value};
            }
        }
        // The bit and servo numbers are put in in a working text, then copied once.
        if (hasPlaceholder(value)) {
            h([&] {
                const QString* bit = bitText();
                if (!bit)
                    return;
                SlotText& last = slotTexts[size_t(f)];
                if (last.run == slotRun && (!last.usesBit || last.bit == lastBit) && last.from == value) {
                    value = last.made;
                    return;
                }
                setWorking(work, value);
                replaceBitPlaceholders(work, bit);
                QString made = detached(work);
                // Kept only where no replacement can report (see keepable).
                if (keepable(value.size(), 3 * std::max(servo.size(), bit->size())))
                    last = SlotText{slotRun, ContainsSearchItem(value, kTextPlaceholder), lastBit, value, made};
                value = std::move(made);
            });
        }
    }
    h([&] { setTarget(f, QVariant(std::move(value))); });
}

const QString* Generator::bitText()
{
    const QVariant& offset = targetValue(offsetColumn);
    if (!hasValue(offset))
        return nullptr;
    const qint16 bit = environment::toInt16(qint64(toWholeNumber(offset)) + 1);
    if (bit != lastBit || lastBitText.isNull()) {
        lastBit = bit;
        lastBitText = QString::number(bit);
    }
    return &lastBitText;
}

void Generator::replaceBitPlaceholders(QString& value, const QString* bit)
{
    if (!bit || !hasPlaceholder(value))
        return;
    replace(value, kTextPlaceholder, *bit);
    replace(value, kServoPlaceholder, servo);
    replace(value, kParameterPlaceholder, servo);
}

QString Generator::varName(const QString& templateValue, int row)
{
    // The machine stage of each form: kept from an earlier slot of this machine, or made now
    // (and kept when the part could be read).
    MachineName* kept[2] = {nullptr, nullptr};
    MachineName* toKeep[2] = {nullptr, nullptr};
    for (int k = 0; k < 2; ++k) {
        h([&] {
            const qint16 part = toWholeNumber(targetValue(partColumn));
            const QString& pattern = naming.VarNamePatterns[k][environment::checkIndex(part, 1, kMaxParts)];
            MachineName& cached = nameCache[size_t(row) * 2 + size_t(k)];
            if (cached.run == machineRun && cached.part == part) {
                setWorking(candidates[k], cached.text);
                kept[k] = &cached;
                return;
            }
            setWorking(candidates[k], pattern);
            replace(candidates[k], kVarNamePlaceholder, templateValue);
            if (keepable(pattern.size() + templateValue.size(), 2 * machineName.size())) {
                cached.part = part;
                toKeep[k] = &cached;
            }
        });
    }
    for (int k = 0; k < 2; ++k) {
        QString& candidate = candidates[k];
        if (kept[k]) {
            if (!kept[k]->hadPlaceholder)
                continue;
        } else {
            const bool hadPlaceholder = hasPlaceholder(candidate);
            // A second "###machine" can only be there when there was a first one.
            if (hadPlaceholder && replace(candidate, kMachinePlaceholder, machineName))
                replace(candidate, kMachinePlaceholder, machineName);
            if (toKeep[k]) {
                toKeep[k]->run = machineRun;
                toKeep[k]->hadPlaceholder = hadPlaceholder;
                toKeep[k]->text = detached(candidate);
            }
            if (!hadPlaceholder)
                continue;
        }
        replace(candidate, kServoPlaceholder, servo);
        replace(candidate, kParameterPlaceholder, servo);
    }
    // The bit number goes into both forms before the renaming, so that the component database
    // is searched for the names the records really carry.
    h([&] {
        const QString* bit = bitText();
        for (QString& candidate : candidates)
            replaceBitPlaceholders(candidate, bit);
    });
    // The record's name is a text of its own, shared by the renamed component records; the
    // working texts stay with the generator.
    const int mode = naming.VWStudioMode;
    const QString chosen = mode == 0 || mode == 1 ? detached(candidates[mode]) : QString();
    VarNameInQuelleErsetzen(ctx, component, naming, mode == 0 ? chosen : candidates[0],
                            mode == 1 ? chosen : candidates[1]);
    QString value;
    h([&] {
        environment::checkIndex(mode, 0, 1);
        value = chosen;
    });
    return value;
}

} // namespace

int GeneratedRecords::columnIndex(const QString& name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

GeneratedRecords CreateRecordSets(environment::Context& ctx, platform::Database& db,
                                  const environment::EditingState& state, const NamingState& naming,
                                  ComponentDatabase& component)
{
    environment::Handler h(ctx, QStringLiteral("CreateRecordSets"));
    h([&] { environment::GetValidMachines(ctx); }); // read as the original does; the value is not used
    Generator generator(h, db, state, naming, component);
    generator.run([&](int machine) {
        return environment::LoadIniBoolean(ctx, QStringLiteral("Project"),
                                           QStringLiteral("ForMachine") + QString::number(machine),
                                           environment::GetCFGPath(ctx), false, false);
    });
    return generator.take();
}

std::vector<int> WriteGeneratedRecords(environment::Handler& h, platform::Database& db, const GeneratedRecords& records)
{
    std::vector<int> leftOut;
    const size_t c = size_t(records.columnCount());
    if (records.rows == 0 || c == 0)
        return leftOut;
    // One statement per set of assigned columns; nearly every record assigns all of them.
    std::map<std::vector<char>, std::unique_ptr<platform::Statement>> statements;
    platform::Statement* insert = nullptr;
    const char* lastAssigned = nullptr;
    Yield yield;
    for (int r = 0; r < records.rows; ++r) {
        yield();
        const char* assigned = &records.assigned[size_t(r) * c];
        const bool written = h([&] {
            if (!insert || std::memcmp(assigned, lastAssigned, c) != 0) {
                std::unique_ptr<platform::Statement>& st = statements[std::vector<char>(assigned, assigned + c)];
                if (!st) {
                    QStringList names;
                    QStringList marks;
                    for (size_t i = 0; i < c; ++i) {
                        if (!assigned[i])
                            continue;
                        names << platform::quoteIdentifier(records.columns.at(qsizetype(i)));
                        marks << QStringLiteral("?%1").arg(marks.size() + 1);
                    }
                    const QString table = platform::quoteIdentifier(kDefsTable);
                    st = std::make_unique<platform::Statement>(
                        db, names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                  .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
                }
                insert = st.get();
                lastAssigned = assigned;
            }
            int parameter = 0;
            for (size_t i = 0; i < c; ++i) {
                if (assigned[i])
                    insert->bind(++parameter, records.at(r, int(i)));
            }
            insert->execute();
        });
        if (!written)
            leftOut.push_back(r);
    }
    return leftOut;
}

} // namespace database
