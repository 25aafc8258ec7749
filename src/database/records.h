#pragma once

// The parameter-definition tables, the placeholders of their template values, the name
// patterns and the statements the closing run issues on them.

#include "environment/errors.h"
#include "platform/sqlitedb.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <array>
#include <vector>

namespace database {

// Tables: templates and name patterns in the component template database; the generated table
// there and, from the previous run, in the component database.
inline const QString kTemplateTable = QStringLiteral("Source_PRESET_DEFS");
inline const QString kPatternTable = QStringLiteral("Source_DEFS");
inline const QString kDefsTable = QStringLiteral("PRESET_DEFS");
// Beside PRESET_DEFS in the database the closing run writes: for every record written, its key and
// the five limit values the template gave it (its defaults).
inline const QString kDefaultsTable = QStringLiteral("PRESET_DEFS_DEFAULTS");

// Columns the procedures address by name (the rest are carried through by position).
inline const QString kColumnId = QStringLiteral("ID");
inline const QString kColumnMachineType = QStringLiteral("machine_type");
inline const QString kColumnVarName = QStringLiteral("var_name");
inline const QString kColumnCategoryId = QStringLiteral("category_id");
inline const QString kColumnOffset = QStringLiteral("offset_or_bitno");
inline const QString kColumnPart = QStringLiteral("part");
inline const QString kOldCategoryColumn = QStringLiteral("CATEGORIE");
// The limits and access level the takeover carries over, in this order.
inline const std::array<QString, 5> kLimitColumns = {QStringLiteral("abs_min"), QStringLiteral("abs_max"),
                                                     QStringLiteral("min"), QStringLiteral("max"),
                                                     QStringLiteral("pass")};
// The key a previous record finds its generated record by.
inline const std::array<QString, 3> kKeyColumns = {kColumnMachineType, kColumnVarName, kColumnOffset};
// The columns of PRESET_DEFS_DEFAULTS: the key, then the limits.
inline QStringList defaultsColumns()
{
    return QStringList(kKeyColumns.begin(), kKeyColumns.end()) + QStringList(kLimitColumns.begin(), kLimitColumns.end());
}
// The standard set of columns: the fourteen of a record, then part.
inline const std::array<QString, 15> kStandardColumns = {
    kColumnId,     kColumnMachineType,        QStringLiteral("type"), kColumnVarName,  kColumnCategoryId,
    QStringLiteral("isBitArray"), kColumnOffset, QStringLiteral("text"), QStringLiteral("page_name"),
    kLimitColumns[0], kLimitColumns[1], kLimitColumns[2], kLimitColumns[3], kLimitColumns[4], kColumnPart};
inline constexpr int kStandardColumnCount = int(std::tuple_size_v<decltype(kStandardColumns)>);

// Placeholders of template values; each is found without regard to letter case.
inline const QString kVarNamePlaceholder = QStringLiteral("###Var_Name");
inline const QString kMachinePlaceholder = QStringLiteral("###machine");
inline const QString kServoPlaceholder = QStringLiteral("###Servo");
inline const QString kParameterPlaceholder = QStringLiteral("###parameter");
inline const QString kTextPlaceholder = QStringLiteral("###text");

inline constexpr int kMaxParts = 50;
// Naming systems: 0 the VisiWin 32 form of variable names, 1 the VisiWin Studio form.
inline const QString kSystemNames[2] = {QStringLiteral("VISIWIN32"), QStringLiteral("VISIWINSTUDIO")};

// The variable-name patterns per naming system and part, and the system in use. The closing run
// fills them; they stay for the rest of the program run.
struct NamingState {
    // VarNamePatterns[system][part], part 1..50; element 0 is never used.
    std::array<std::array<QString, kMaxParts + 1>, 2> VarNamePatterns{};
    qint16 VWStudioMode = 0;
};

// The name patterns of Source_DEFS into naming, each failure reported to h. A failure while
// reading the rows is not reported: part 1 of both systems then generates the template's variable
// name unchanged.
void readNamePatterns(environment::Handler& h, platform::Database* db, NamingState& naming);

// The template read: every template row in ID order.
QString templateReadSql();
// Every row of a statement's result with every column; columns, when given, gets their names.
// Throws platform::DbError.
std::vector<std::vector<QVariant>> readRows(platform::Statement& statement, QStringList* columns = nullptr);
// Position of a column among the names, without regard to letter case; -1 when there is none.
int columnIndex(const QStringList& columns, const QString& name);

// A text as the engine compares it without regard to letter case (NOCASE): only the letters a
// to z fold to A to Z. Texts whose keys are equal match.
QString nocaseKey(QStringView text);

// Values as the generation reads them.
// True for an absent value.
inline bool isAbsent(const QVariant& v)
{
    return !v.isValid() || v.typeId() == QMetaType::Nullptr;
}
// True for a text value.
inline bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString;
}
// True unless absent or the empty text.
inline bool hasValue(const QVariant& v)
{
    return !isAbsent(v) && !(isText(v) && static_cast<const QString*>(v.constData())->isEmpty());
}
// The value as a 16-bit whole number, halves rounded to even: absent raises ErrInvalidNull, text
// that is no number and binary data ErrTypeMismatch, a value out of range ErrOverflow.
qint16 toWholeNumber(const QVariant& v);

} // namespace database
