#include "nycl/state/BaseConnection.h"

namespace nycl {

int BaseConnection::PauseZFilter() {
  return 1;
}

int BaseConnection::ResumeZFilter() {
  return 1;
}

int BaseConnection::AddZFilter() {
  return 1;
}

BaseConnection::~BaseConnection() = default;

int BaseConnection::wantcompress() {
  return 1;
}

}  // namespace nycl
