#include "database/closingrun.h"

#include "environment/errors.h"

namespace database {

void WorkOnMDB(environment::Context& ctx, const environment::EditingState& state)
{
    environment::Handler h(ctx, QStringLiteral("WorkOnMDB"));
    Q_UNUSED(state);
    // The component database is rebuilt here once the database layer is in place.
}

} // namespace database
