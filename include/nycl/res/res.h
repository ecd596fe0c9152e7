// Every public header of the res subsystem.
#ifndef NYCL_RES_RES_H
#define NYCL_RES_RES_H

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"
#include "nycl/res/ResDataListEnum.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "nycl/res/ResNodePool.h"

#endif  // NYCL_RES_RES_H
