#include "nycl/net/LineModeOutput.h"

namespace nycl {

namespace {

constexpr int kPiece = 4096;
const unsigned char kLineFeed[1] = {'\n'};

}  // namespace

void LineModeOutput::ProcSend(ProcessorIterator it, const unsigned char* data, int len) {
  if (len > kPiece) {
    for (int done = 0; done < len; done += kPiece) {
      PassSend(it, data + done, len - done < kPiece ? len - done : kPiece);
    }
  } else {
    PassSend(it, data, len);
  }
  PassSend(it, kLineFeed, 1);
}

void LineModeOutput::ProcRecv(ProcessorIterator it, const unsigned char* data, int len) {
  PassRecv(it, data, len);
}

void LineModeOutput::ProcSendMessage(ProcessorIterator it, int code, void* data) {
  PassSendMessage(it, code, data);
}

void LineModeOutput::ProcRecvMessage(ProcessorIterator it, int code, void* data) {
  PassRecvMessage(it, code, data);
}

}  // namespace nycl
