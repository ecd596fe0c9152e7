// Every public header of the cache subsystem.
#ifndef NYCL_CACHE_CACHE_H
#define NYCL_CACHE_CACHE_H

#include "nycl/cache/CCacheInterface.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/cache/CFileSystemOperations.h"

#endif  // NYCL_CACHE_CACHE_H
