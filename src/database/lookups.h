#pragma once

#include "database/componentdb.h"
#include "database/records.h"
#include "environment/context.h"

#include <QString>

namespace database {

// Replaces the first occurrence of Search, found without regard to letter case, by Replacement;
// the text around it keeps its letters. A Source without Search (or empty) comes back as it is;
// an empty Search is found at the start. A match beyond position 32767 is reported as an
// overflow and Source comes back unchanged.
QString ReplaceSearchItem(environment::Context& ctx, const QString& Source, const QString& Search,
                          const QString& Replacement);

// Brings the previous variable names in the component database to the naming system in use:
// records named in the other system's form (in any letter case) get the name in this form.
// VWStudioMode 0 wants NameVW32, otherwise NameVWStudio. Nothing happens while the component
// database is closed (there was none).
void VarNameInQuelleErsetzen(environment::Context& ctx, ComponentDatabase& component, const NamingState& naming,
                             const QString& NameVW32, const QString& NameVWStudio);

// Renames an old category column CATEGORIE (any letter case) of the component database's
// PRESET_DEFS to category_id. A missing table, and a table that has category_id already, are
// reported; the old column then stays.
void CategorieNachCategoryID(environment::Context& ctx, ComponentDatabase& component);

} // namespace database
