#pragma once

#include "environment/context.h"

#include <QString>

namespace environment {

// Parent of the executable's folder, without trailing separator ("" for a program in "/").
QString installationRoot(const Context& ctx);

// The executable's name without extension, less its seven-character suffix.
QString GetOCXName(Context& ctx);
// The same without a handler: empty when the name is too short. For the error reporter.
QString componentNameOrEmpty(const Context& ctx);
// True when the executable's name can give a component name (at least eight characters).
bool hasComponentName(const Context& ctx);

// The text after the last separator.
QString GetFileNameOnly(Context& ctx, const QString& Path);

// root/parameter/qelconfiguration.ini, or "" when it does not exist.
QString GetQELConfigurationIniPath(Context& ctx);

// Which project INI file: the one read (from the suite's SaveAndRestore folder when integrated) or
// the one written (always the installation's).
enum class ProgramIni { Read, Write };
// The project INI file; "" when it does not exist.
QString GetProgramIniPath(Context& ctx, ProgramIni which);
// root/<component>/<component>.cfg; when it does not exist, says so and ends the program.
QString GetCFGPath(Context& ctx);
// root/<component>/<component>.mdb, not tested.
QString GetPathOCXMDB(Context& ctx);
// root/<component>/<component>_Source.mdb, or "" when it does not exist.
QString GetPathSourceOCXMDB(Context& ctx);
// <SaveAndRestore of IniFile>/<component>/<component>.mdb, or "" when it does not exist.
QString GetPathMachineCopyMDB(Context& ctx, const QString& IniFile);

} // namespace environment
