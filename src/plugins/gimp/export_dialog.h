// GIMP 2.10's dialog that asks for the choices of an emblem export.
#pragma once

#include "plugins/gimp/gegl_emblem.h"

namespace zwp {


// Asks for the options, starting from those given; false when cancelled.
bool askExportOptions(ExportOptions& options);

}  // namespace zwp
