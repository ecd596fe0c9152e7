// Every public header of the foundation subsystem.
#ifndef NYCL_BASE_BASE_H
#define NYCL_BASE_BASE_H

#include "nycl/base/Base64.h"
#include "nycl/base/StringParse.h"
#include "nycl/base/XString.h"

#endif  // NYCL_BASE_BASE_H
