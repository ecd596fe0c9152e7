// Interval and Time: sign-and-magnitude time values in seconds-like whole units with
// thousandths. Value types. Timers state their period as an Interval taken as milliseconds.
#ifndef NYCL_NET_INTERVAL_H
#define NYCL_NET_INTERVAL_H

#include <cstdint>

namespace nycl {

class Interval {
 public:
  Interval() = default;
  // Negative when `negative` is not 0; whole part `whole`, no thousandths.
  Interval(char negative, long long whole) : m_negative(negative ? 255 : 0), m_whole(whole) {}
  // As above; the int is accepted and does not enter the value.
  Interval(char negative, long long whole, int) : Interval(negative, whole) {}

  // The signed whole value; thousandths are dropped.
  operator long long() const { return m_negative ? -m_whole : m_whole; }

  Interval operator+(const Interval& other) const;
  Interval operator-(const Interval& other) const;
  bool operator<(const Interval& other) const { return Compare(other) < 0; }
  bool operator<=(const Interval& other) const { return Compare(other) <= 0; }
  bool operator>(const Interval& other) const { return Compare(other) > 0; }
  bool operator>=(const Interval& other) const { return Compare(other) >= 0; }
  // Equal sign, whole part and thousandths.
  bool operator==(const Interval& other) const;
  bool operator!=(const Interval& other) const { return !(*this == other); }

  bool IsNegative() const { return m_negative != 0; }
  long long Whole() const { return m_whole; }
  int Thousandths() const { return m_thousandths; }
  // Builds a value from its parts; thousandths must lie in 0..999.
  static Interval FromParts(bool negative, long long whole, int thousandths);

 private:
  // Orders by signed value; a zero magnitude counts as neither sign.
  int Compare(const Interval& other) const;
  static Interval AddMagnitudes(const Interval& a, const Interval& b);
  static Interval SubtractMagnitudes(const Interval& a, const Interval& b);

  uint8_t m_negative = 0;
  int64_t m_whole = 0;
  [[maybe_unused]] uint16_t m_thousandths = 0;  // kept for the layout; always 0
};

// A point in time in the same units as Interval.
class Time {
 public:
  explicit Time(long long whole) : m_whole(whole) {}
  // The int is accepted and does not enter the value.
  Time(long long whole, int) : m_whole(whole) {}
  Time(const Time&) = default;
  Time& operator=(const Time&) = default;

  operator long long() const { return m_negative ? -m_whole : m_whole; }

 private:
  uint8_t m_negative = 0;
  int64_t m_whole;
  [[maybe_unused]] uint16_t m_thousandths = 0;  // kept for the layout; always 0
};

}  // namespace nycl

#endif  // NYCL_NET_INTERVAL_H
