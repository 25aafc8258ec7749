#include "database/lookups.h"

#include "environment/errors.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <limits>

namespace database {

namespace {

// The capital of a character, one for one (so a letter whose capital is longer, like ß, keeps
// every position in place).
inline char16_t upper(char16_t c)
{
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    return QChar::toUpper(c);
}

// First position of search inside source, comparing capitals; -1 when absent.
qsizetype findUpperCased(QStringView source, QStringView search)
{
    if (search.isEmpty())
        return 0;
    const char16_t* s = source.utf16();
    const char16_t* f = search.utf16();
    const qsizetype last = source.size() - search.size();
    const char16_t first = upper(f[0]);
    // A first character without letter case (the "#" of every placeholder) is looked for
    // directly.
    const bool caseless = first < 0x80 && !(first >= u'A' && first <= u'Z');
    for (qsizetype i = 0; i <= last; ++i) {
        if (caseless) {
            const char16_t* hit = std::char_traits<char16_t>::find(s + i, size_t(last - i + 1), first);
            if (!hit)
                return -1;
            i = hit - s;
        } else if (upper(s[i]) != first) {
            continue;
        }
        qsizetype k = 1;
        while (k < search.size() && upper(s[i + k]) == upper(f[k]))
            ++k;
        if (k == search.size())
            return i;
    }
    return -1;
}

} // namespace

namespace {

// Position (from 1) of Search in Source as ReplaceSearchItem finds it, 0 when absent or when
// the position does not fit its 16 bits (reported).
qint16 searchPosition(environment::Context& ctx, QStringView Source, QStringView Search)
{
    // Nothing to find in an empty text, not even an empty one.
    if (Source.isEmpty())
        return 0;
    const qsizetype found = findUpperCased(Source, Search);
    if (found < std::numeric_limits<qint16>::max())
        return qint16(found + 1);
    qint16 pos = 0;
    environment::Handler h(ctx, QStringLiteral("ReplaceSearchItem"));
    h([&] { pos = environment::toInt16(found + 1); });
    return pos;
}

} // namespace

QString ReplaceSearchItem(environment::Context& ctx, const QString& Source, const QString& Search,
                          const QString& Replacement)
{
    QString text = Source;
    ReplaceSearchItemInPlace(ctx, text, Search, Replacement);
    return text;
}

bool ContainsSearchItem(QStringView Source, QStringView Search)
{
    return !Source.isEmpty() && findUpperCased(Source, Search) >= 0;
}

bool ReplaceSearchItemInPlace(environment::Context& ctx, QString& Text, QStringView Search, QStringView Replacement)
{
    const qint16 pos = searchPosition(ctx, Text, Search);
    if (pos == 0)
        return false;
    // A replacement that is part of the text itself is copied before the text changes.
    const QChar* textBegin = Text.constData();
    if (Replacement.data() >= textBegin && Replacement.data() < textBegin + Text.size()) {
        const QString copy = Replacement.toString();
        return ReplaceSearchItemInPlace(ctx, Text, Search, copy);
    }
    const qsizetype head = pos - 1;
    const qsizetype oldSize = Text.size();
    const qsizetype tail = oldSize - head - Search.size();
    const qsizetype newSize = oldSize - Search.size() + Replacement.size();
    if (newSize > oldSize)
        Text.resize(newSize);
    QChar* d = Text.data();
    std::memmove(d + head + Replacement.size(), d + head + Search.size(), size_t(tail) * sizeof(QChar));
    std::memcpy(d + head, Replacement.data(), size_t(Replacement.size()) * sizeof(QChar));
    if (newSize < oldSize)
        Text.truncate(newSize);
    return true;
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
