// Plain sockets on 127.0.0.1 for the far ends of the connections the net tests make.
#ifndef NYCL_TESTS_NET_LOOPBACK_H
#define NYCL_TESTS_NET_LOOPBACK_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace nycl {

// A TCP socket bound to a port of 127.0.0.1 chosen by the system; *port receives the port.
inline int BoundSocket(int flags, std::string* port) {
  int fd = socket(AF_INET, SOCK_STREAM | flags, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t len = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
  *port = std::to_string(ntohs(address.sin_port));
  return fd;
}

// A port on 127.0.0.1 that nothing listens on (just now).
inline std::string FreePort() {
  std::string port;
  close(BoundSocket(0, &port));
  return port;
}

// A plain socket connecting to `port` on 127.0.0.1; the connect's result in *result.
inline int RawConnect(const std::string& port, int flags, int* result) {
  int fd = socket(AF_INET, SOCK_STREAM | flags, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  *result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

}  // namespace nycl

#endif  // NYCL_TESTS_NET_LOOPBACK_H
