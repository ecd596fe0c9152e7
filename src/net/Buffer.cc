#include "nycl/net/Buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "nycl/net/SocketException.h"

namespace nycl {

namespace {

// Returning from a new-handler makes operator new try the allocation again.
void RetryAllocation() {}

}  // namespace

Buffer::Buffer() {
  if (std::get_new_handler() == nullptr) std::set_new_handler(RetryAllocation);
}

Buffer::~Buffer() {
  while (m_first != nullptr) RemoveSeg(m_first);
  std::free(m_wrkbuf);
}

void Buffer::Add(const unsigned char* data, int len) {
  std::lock_guard<std::mutex> lock(m_mutex);
  AddSeg(data, len);
}

void Buffer::AddSeg(const unsigned char* data, int len) {
  if (len <= 0 || data == nullptr) return;
  _bufferSeg* seg = new _bufferSeg;
  seg->data = new unsigned char[len]();
  std::memcpy(seg->data, data, len);
  seg->length = len;
  seg->next = nullptr;
  seg->previous = m_last;
  if (m_last != nullptr) {
    m_last->next = seg;
  } else {
    m_first = seg;
  }
  m_last = seg;
}

void Buffer::RemoveSeg(_bufferSeg* seg) {
  if (seg == nullptr) return;
  if (seg->previous != nullptr) {
    seg->previous->next = seg->next;
  } else {
    m_first = seg->next;
  }
  if (seg->next != nullptr) {
    seg->next->previous = seg->previous;
  } else {
    m_last = seg->previous;
  }
  delete[] seg->data;
  delete seg;
}

char Buffer::Empty() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_wrkstrt == m_wrkend && m_first == nullptr;
}

unsigned char* Buffer::Current(int* len, int want) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SortWorkBuf(want);
  if (len != nullptr) *len = m_wrkend - m_wrkstrt;
  if (m_wrkend == 0) return nullptr;
  return m_wrkbuf + m_wrkstrt;
}

void Buffer::Remove(int len) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // Checked in every build: a count past the unread bytes would move the read position outside
  // the work area.
  if (!(len <= m_wrkend - m_wrkstrt && len >= 0)) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n",
                 "len<=m_wrkend-m_wrkstrt && len>=0", __FILE__, __LINE__);
    std::abort();
  }
  m_wrkstrt += len;
}

void Buffer::SortWorkBuf(int want) {
  if (m_wrkend - m_wrkstrt >= want) return;
  if (m_wrkbuf != nullptr && m_wrkstrt != 0) {
    std::memmove(m_wrkbuf, m_wrkbuf + m_wrkstrt, m_wrkend - m_wrkstrt);
    m_wrkend -= m_wrkstrt;
    m_wrkstrt = 0;
  }
  // Whole segments are moved, so the total may pass `want`.
  int64_t total = m_wrkend;
  for (_bufferSeg* seg = m_first; seg != nullptr && total < want; seg = seg->next) {
    total += seg->length;
  }
  if (total > m_wrksize) {
    if (total + 100 > INT32_MAX) throw SocketException("Buffer: Out of memory!");
    void* grown = std::realloc(m_wrkbuf, static_cast<size_t>(total) + 100);
    if (grown == nullptr) throw SocketException("Buffer: Out of memory!");
    m_wrkbuf = static_cast<unsigned char*>(grown);
    m_wrksize = static_cast<int32_t>(total);
  }
  while (m_first != nullptr && m_wrkend < want) {
    std::memcpy(m_wrkbuf + m_wrkend, m_first->data, m_first->length);
    m_wrkend += m_first->length;
    RemoveSeg(m_first);
  }
}

}  // namespace nycl
