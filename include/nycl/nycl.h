// The whole public interface of nycl.
#ifndef NYCL_NYCL_H
#define NYCL_NYCL_H

#include "nycl/base/base.h"
#include "nycl/cache/cache.h"
#include "nycl/command/command.h"
#include "nycl/net/net.h"
#include "nycl/res/res.h"
#include "nycl/session/session.h"
#include "nycl/state/state.h"
#include "nycl/widgets/widgets.h"

#endif  // NYCL_NYCL_H
