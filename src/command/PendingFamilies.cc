// Placeholder registrations for the families still being written on their own branch; this
// file is removed when they land.
#include "command/CommandFamilies.h"

namespace nycl {

void RegisterHandshakeCommands() {}

}  // namespace nycl
