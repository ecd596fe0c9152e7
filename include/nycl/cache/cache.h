// Every public header of the cache subsystem.
#ifndef NYCL_CACHE_CACHE_H
#define NYCL_CACHE_CACHE_H

#endif  // NYCL_CACHE_CACHE_H
