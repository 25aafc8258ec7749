#pragma once

#include "environment/context.h"
#include "environment/editingstate.h"
#include "environment/errors.h"

#include <QString>

namespace window {

// Reads section Machine<m> of the project INI file into the editing state: NumberOfServos, then per
// slot Servo<s>, Diag2Servo<s>, ExtServo<s> and ServoPic<s> (a variant below 1 becomes 1). A count
// above the 50 slots the tables hold reads slots 1..50; each slot beyond is reported through h
// once and left alone. Failures go to h, the handler of the calling procedure.
void readMachineKeys(environment::Context& ctx, environment::EditingState& state, environment::Handler& h,
                     int m, const QString& iniFile);

// Writes machine m's NumberOfServos and the keys of its slots 1..NumberOfServos(m) to the project
// INI file, one key at a time; slots beyond 50 are reported through h once each and not written.
void writeMachineKeys(environment::Context& ctx, const environment::EditingState& state, environment::Handler& h,
                      int m, const QString& iniFile);

} // namespace window
