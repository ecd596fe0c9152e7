// Every public header of the state subsystem.
#ifndef NYCL_STATE_STATE_H
#define NYCL_STATE_STATE_H

#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"

#endif  // NYCL_STATE_STATE_H
