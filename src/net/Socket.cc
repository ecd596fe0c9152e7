#include "nycl/net/Socket.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace nycl {

SocketSelector* Socket::m_selector = nullptr;

void first_processor::ProcSend(ProcessorIterator it, const unsigned char* data, int len) {
  PassSend(it, data, len);
}
void first_processor::ProcRecv(ProcessorIterator, const unsigned char* data, int len) {
  m_socket->DoRecv(data, len);
}
void first_processor::ProcSendMessage(ProcessorIterator it, int code, void* data) {
  PassSendMessage(it, code, data);
}
void first_processor::ProcRecvMessage(ProcessorIterator, int code, void* data) {
  m_socket->DoRecvMessage(code, data);
}

void last_processor::ProcSend(ProcessorIterator, const unsigned char* data, int len) {
  m_socket->DoSend(data, len);
}
void last_processor::ProcRecv(ProcessorIterator it, const unsigned char* data, int len) {
  PassRecv(it, data, len);
}
void last_processor::ProcSendMessage(ProcessorIterator, int code, void* data) {
  m_socket->DoSendMessage(code, data);
}
void last_processor::ProcRecvMessage(ProcessorIterator it, int code, void* data) {
  PassRecvMessage(it, code, data);
}

Socket::Socket(SocketSink* sink)
    : m_sink(sink), m_first(new first_processor(this)), m_last(new last_processor(this)) {
  m_chain.push_back(m_first);
  m_chain.push_back(m_last);
  std::strcpy(m_runtimeClassName, "Socket");
}

Socket::~Socket() {
  for (SocketProcessor* processor : m_chain) delete processor;
}

void Socket::Send(const unsigned char* data, int len) {
  auto it = m_chain.begin();
  (*it)->ProcSend(it, data, len);
}

void Socket::SendMessage(int code, void* data) {
  auto it = m_chain.begin();
  (*it)->ProcSendMessage(it, code, data);
}

void Socket::Recv(const unsigned char* data, int len) {
  auto it = std::prev(m_chain.end());
  (*it)->ProcRecv(it, data, len);
}

void Socket::RecvMessage(int code, void* data) {
  auto it = std::prev(m_chain.end());
  (*it)->ProcRecvMessage(it, code, data);
}

void Socket::DoRecv(const unsigned char* data, int len) {
  if (m_sink != nullptr) m_sink->OnRecv(data, len);
}

void Socket::DoRecvMessage(int code, void* data) {
  if (m_sink != nullptr) m_sink->OnRecvMessage(code, data);
}

void Socket::SetSink(SocketSink* sink) {
  m_sink = sink;
}

SocketSink* Socket::GetSink() {
  return m_sink;
}

char* Socket::GetRuntimeClassName() {
  return m_runtimeClassName;
}

void Socket::AddProcessor(SocketProcessor* processor) {
  m_chain.insert(std::next(m_chain.begin()), processor);
}

void Socket::AddLastProcessor(SocketProcessor* processor) {
  m_chain.insert(std::prev(m_chain.end()), processor);
}

void Socket::RemoveProcessor(SocketProcessor* processor) {
  if (processor == nullptr) return;
  // The fixed ends stay: without them the chain has no way in or out.
  if (processor == m_first || processor == m_last) return;
  m_chain.remove(processor);
  delete processor;
}

}  // namespace nycl
