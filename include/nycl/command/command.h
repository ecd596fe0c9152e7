// Every public header of the command subsystem.
#ifndef NYCL_COMMAND_COMMAND_H
#define NYCL_COMMAND_COMMAND_H

#endif  // NYCL_COMMAND_COMMAND_H
