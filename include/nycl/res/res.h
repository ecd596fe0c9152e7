// Every public header of the res subsystem.
#ifndef NYCL_RES_RES_H
#define NYCL_RES_RES_H

#endif  // NYCL_RES_RES_H
