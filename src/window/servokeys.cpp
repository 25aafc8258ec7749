#include "window/kalvia.h"

namespace window {

} // namespace window
