#include "nycl/net/Interval.h"

namespace nycl {

Interval Interval::FromParts(bool negative, long long whole, int thousandths) {
  Interval result;
  result.m_negative = negative ? 255 : 0;
  result.m_whole = whole;
  result.m_thousandths = static_cast<uint16_t>(thousandths);
  return result;
}

Interval Interval::AddMagnitudes(const Interval& a, const Interval& b) {
  long long whole = a.m_whole + b.m_whole;
  int thousandths = a.m_thousandths + b.m_thousandths;
  if (thousandths >= 1000) {
    ++whole;
    thousandths -= 1000;
  }
  return FromParts(a.m_negative != 0, whole, thousandths);
}

// |a| - |b|, with the sign of a, or the opposite sign when |b| is the larger.
Interval Interval::SubtractMagnitudes(const Interval& a, const Interval& b) {
  bool a_larger =
      a.m_whole > b.m_whole || (a.m_whole == b.m_whole && a.m_thousandths >= b.m_thousandths);
  const Interval& big = a_larger ? a : b;
  const Interval& small = a_larger ? b : a;
  long long whole = big.m_whole - small.m_whole;
  int thousandths = big.m_thousandths - small.m_thousandths;
  if (thousandths < 0) {
    thousandths += 1000;
    --whole;
  }
  bool negative = a_larger ? a.m_negative != 0 : a.m_negative == 0;
  if (whole == 0 && thousandths == 0) negative = false;
  return FromParts(negative, whole, thousandths);
}

Interval Interval::operator+(const Interval& other) const {
  if ((m_negative != 0) == (other.m_negative != 0)) return AddMagnitudes(*this, other);
  return m_negative ? SubtractMagnitudes(other, *this) : SubtractMagnitudes(*this, other);
}

Interval Interval::operator-(const Interval& other) const {
  if ((m_negative != 0) == (other.m_negative != 0)) return SubtractMagnitudes(*this, other);
  return AddMagnitudes(*this, other);
}

bool Interval::operator==(const Interval& other) const {
  return m_negative == other.m_negative && m_whole == other.m_whole &&
         m_thousandths == other.m_thousandths;
}

int Interval::Compare(const Interval& other) const {
  auto sign = [](const Interval& v) {
    if (v.m_whole == 0 && v.m_thousandths == 0) return 0;
    return v.m_negative ? -1 : 1;
  };
  int mine = sign(*this), theirs = sign(other);
  if (mine != theirs) return mine < theirs ? -1 : 1;
  int magnitude = 0;
  if (m_whole != other.m_whole) {
    magnitude = m_whole < other.m_whole ? -1 : 1;
  } else if (m_thousandths != other.m_thousandths) {
    magnitude = m_thousandths < other.m_thousandths ? -1 : 1;
  }
  return mine < 0 ? -magnitude : magnitude;
}

}  // namespace nycl
