#pragma once

#include "environment/context.h"

#include <QString>

namespace environment {

// Parent of the executable's folder, without trailing separator ("" for a program in "/").
QString InstallationRoot(const Context& ctx);

// The executable's name without extension, less its seven-character suffix.
QString GetOCXName(Context& ctx);
// The same without a handler: empty when the name is too short. For the error reporter.
QString ComponentNameOrEmpty(const Context& ctx);
// True when the executable's name can give a component name (at least eight characters).
bool HasComponentName(const Context& ctx);

// The text after the last separator.
QString GetFileNameOnly(Context& ctx, const QString& Path);

// root/parameter/qelconfiguration.ini, or "" when it does not exist.
QString GetQELConfigurationIniPath(Context& ctx);

} // namespace environment
