// Every public header of the net subsystem.
#ifndef NYCL_NET_NET_H
#define NYCL_NET_NET_H

#include "nycl/net/Buffer.h"
#include "nycl/net/Interval.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/LineModeOutput.h"
#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/Socket.h"
#include "nycl/net/SocketException.h"
#include "nycl/net/SocketMessages.h"
#include "nycl/net/SocketProcessor.h"
#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpHostLookup.h"
#include "nycl/net/TcpSocket.h"
#include "nycl/net/ZFilterProcessor.h"

#endif  // NYCL_NET_NET_H
