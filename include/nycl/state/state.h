// Every public header of the state subsystem.
#ifndef NYCL_STATE_STATE_H
#define NYCL_STATE_STATE_H

#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"
#include "nycl/state/ServerTrust.h"

#endif  // NYCL_STATE_STATE_H
