// Every public header of the command subsystem.
#ifndef NYCL_COMMAND_COMMAND_H
#define NYCL_COMMAND_COMMAND_H

#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"

#endif  // NYCL_COMMAND_COMMAND_H
