#include "database/lookups.h"

#include "environment/errors.h"

#include <limits>

namespace database {

namespace {

// The capital of a character, one for one (so a letter whose capital is longer, like ß, keeps
// every position in place).
char16_t upper(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'a' && u <= u'z' ? char16_t(u - 32) : u;
    return c.toUpper().unicode();
}

// First position of search inside source, comparing capitals; -1 when absent.
qsizetype findUpperCased(QStringView source, QStringView search)
{
    if (search.isEmpty())
        return 0;
    const char16_t first = upper(search[0]);
    for (qsizetype i = 0; i + search.size() <= source.size(); ++i) {
        if (upper(source[i]) != first)
            continue;
        qsizetype k = 1;
        while (k < search.size() && upper(source[i + k]) == upper(search[k]))
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
    const qsizetype found = findUpperCased(Source, Search);
    if (found < 0)
        return Source;
    // The position is a 16-bit number.
    if (found + 1 > std::numeric_limits<qint16>::max()) {
        environment::Handler h(ctx, QStringLiteral("ReplaceSearchItem"));
        h([&] { environment::raiseOverflow(); });
        return Source;
    }
    QString result = Source;
    return result.replace(found, Search.size(), Replacement);
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

    h([&] { component.renameRecords(oldName, newName); });
}

void CategorieNachCategoryID(environment::Context& ctx, ComponentDatabase& component)
{
    if (!component.isOpen())
        return;
    environment::Handler h(ctx, QStringLiteral("CategorieNachCategoryID"));
    std::optional<platform::TableDef> def;
    h([&] { def.emplace(component.database().tableDef(kDefsTable)); });
    if (!def)
        return;
    for (const platform::FieldDef& field : def->fields) {
        if (field.name.toUpper() == kOldCategoryColumn)
            h([&] { component.database().renameField(kDefsTable, field.name, kColumnCategoryId); });
    }
}

} // namespace database
