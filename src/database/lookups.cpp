#include "database/lookups.h"

#include "environment/errors.h"

#include <limits>

namespace database {

namespace {

// First position of search inside source, comparing the letters upper-cased one by one (so a
// letter whose capital is longer, like ß, keeps every position in place); -1 when absent.
qsizetype findUpperCased(QStringView source, QStringView search)
{
    if (search.isEmpty())
        return 0;
    const qsizetype last = source.size() - search.size();
    const QChar first = search.front().toUpper();
    // A first character without letter case (the "#" of every placeholder) is looked for
    // directly, which skips most of the text at once.
    const bool caseless = !first.isLetter();
    for (qsizetype i = 0; i <= last; ++i) {
        if (caseless) {
            i = source.indexOf(first, i);
            if (i < 0 || i > last)
                return -1;
        }
        qsizetype k = 0;
        while (k < search.size() && source[i + k].toUpper() == search[k].toUpper())
            ++k;
        if (k == search.size())
            return i;
    }
    return -1;
}

} // namespace

QString ReplaceSearchItem(environment::Context& ctx, const QString& Source, const QString& Search,
                          const QString& Replacement)
{
    // Nothing to find in an empty text, not even an empty one.
    if (Source.isEmpty())
        return Source;
    qint16 pos = 0;
    const qsizetype found = findUpperCased(Source, Search);
    if (found >= std::numeric_limits<qint16>::max()) {
        environment::Handler h(ctx, QStringLiteral("ReplaceSearchItem"));
        h([&] { pos = environment::toInt16(found + 1); });
    } else {
        pos = qint16(found + 1);
    }
    if (pos == 0)
        return Source;
    return Source.left(pos - 1) + Replacement + Source.mid(pos - 1 + Search.size());
}

void VarNameInQuelleErsetzen(environment::Context& ctx, ComponentDatabase& component, const NamingState& naming,
                             const QString& NameVW32, const QString& NameVWStudio)
{
    // A lookup that could not be set up (no PRESET_DEFS, no var_name) was reported once; it would
    // fail the same way for every further name.
    if (!component.isOpen() || component.lookupFailed())
        return;
    environment::Handler h(ctx, QStringLiteral("VarNameInQuelleErsetzen"));
    const bool studio = naming.VWStudioMode != 0;
    const QString& oldName = studio ? NameVW32 : NameVWStudio;
    const QString& newName = studio ? NameVWStudio : NameVW32;

    std::optional<platform::Recordset> rs;
    if (!guarded(h, [&] { rs.emplace(component.recordsNamed(oldName)); }))
        return;
    const int varName = rs->fieldIndex(kColumnVarName);
    while (!rs->eof()) {
        // A record that carries the wanted name already needs no writing.
        if (varName < 0 || rs->value(varName) != QVariant(newName)) {
            guarded(h, [&] {
                rs->edit();
                rs->setValue(kColumnVarName, newName);
                rs->update();
            });
        }
        rs->moveNext();
    }
}

void CategorieNachCategoryID(environment::Context& ctx, ComponentDatabase& component)
{
    if (!component.isOpen())
        return;
    environment::Handler h(ctx, QStringLiteral("CategorieNachCategoryID"));
    std::optional<platform::TableDef> def;
    guarded(h, [&] { def.emplace(component.database().tableDef(kDefsTable)); });
    if (!def)
        return;
    for (const platform::FieldDef& field : def->fields) {
        if (field.name.toUpper() == kOldCategoryColumn)
            guarded(h, [&] { component.database().renameField(kDefsTable, field.name, kColumnCategoryId); });
    }
}

} // namespace database
