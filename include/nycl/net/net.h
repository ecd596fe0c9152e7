// Every public header of the net subsystem.
#ifndef NYCL_NET_NET_H
#define NYCL_NET_NET_H

#endif  // NYCL_NET_NET_H
