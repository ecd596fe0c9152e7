// Every public header of the res subsystem.
#ifndef NYCL_RES_RES_H
#define NYCL_RES_RES_H

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"

#endif  // NYCL_RES_RES_H
