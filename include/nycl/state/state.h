// Every public header of the state subsystem.
#ifndef NYCL_STATE_STATE_H
#define NYCL_STATE_STATE_H

#endif  // NYCL_STATE_STATE_H
