// Every public header of the session subsystem.
#ifndef NYCL_SESSION_SESSION_H
#define NYCL_SESSION_SESSION_H

#include "nycl/session/SessionConnection.h"
#include "nycl/session/SessionRunner.h"

#endif  // NYCL_SESSION_SESSION_H
