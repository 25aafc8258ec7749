#pragma once

#include "environment/context.h"
#include "environment/editingstate.h"
#include "environment/errors.h"

namespace window {

// Lists machine m's servo pictures: for each servo number 1..50 the files
// "Servo_[<machine>_]<number>_*.gif" of the program folder (the machine's name only when pictures
// are kept per machine type), in name order. PicTypeCount(m) counts the servo numbers that have any
// such file; PicCount(m) and Pictures(m, ·) hold the files of the project's resolution, each named by
// its servo number, or number-variant when the machine has several pictures of that number.
// Failures go to h, the handler of the calling procedure; files beyond the 200 a machine can hold
// are reported once and left out.
void buildPictureList(environment::Context& ctx, environment::EditingState& state, environment::Handler& h,
                      int machine);

} // namespace window
