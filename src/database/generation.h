#pragma once

#include "database/componentdb.h"
#include "database/records.h"
#include "environment/context.h"
#include "environment/editingstate.h"
#include "environment/errors.h"
#include "platform/sqlitedb.h"

#include <functional>

namespace database {

// Fills the freshly rebuilt PRESET_DEFS of the open component template database: for every
// machine the component serves (key ForMachine<m> of the component's .cfg), for every slot of
// it, one record per template row, with the placeholders replaced and the variable name formed
// from the name pattern of the record's part. Variable names in the component database are
// brought to the naming system in use on the way. Failures are reported under
// "CreateRecordSets"; the database stays open for the caller.
void CreateRecordSets(environment::Context& ctx, platform::Database& db, const environment::EditingState& state,
                      const NamingState& naming, ComponentDatabase& component);

// Whether the component serves machine m.
using ServedMachine = std::function<bool(int machine)>;

// The generation of CreateRecordSets with the served machines given; failures go to h.
void GenerateRecordSets(environment::Handler& h, platform::Database& db, const environment::EditingState& state,
                        const NamingState& naming, ComponentDatabase& component, const ServedMachine& served);

} // namespace database
