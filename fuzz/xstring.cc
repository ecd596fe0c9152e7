// The string class against std::string: operations on four strings that share their texts
// through copies, each one mirrored on a plain string. Input: operations, each a byte (the
// operation), a byte (which string) and operands.
// Checked after every operation: every string equals its mirror, terminated; an operation
// throws exactly when its arguments are outside what it accepts, and then changes nothing.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "nycl/base/XString.h"

namespace {

using nycl::XString;
using nycl::XStringException;

constexpr int kStrings = 4;
// Appending a string to itself doubles it: beyond this length a string is not grown.
constexpr size_t kLongest = 1 << 16;

// Runs `action`; true when it threw either kind of the string's exceptions.
template <typename Action>
bool Throws(Action action) {
  try {
    action();
  } catch (const XStringException&) {
    return true;
  } catch (XStringException* thrown) {
    std::unique_ptr<XStringException> owned(thrown);
    return true;
  }
  return false;
}

// An index operand: anywhere from a little before the start to a little past the end.
int Index(nycl::fuzz::InputReader& input, int length) {
  return static_cast<int>(input.Short() % static_cast<unsigned>(2 * length + 5)) - length - 2;
}

bool InRange(int index, int length) {
  return index >= 0 && index <= length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::InputReader input(data, size);
  XString strings[kStrings];
  std::string mirrors[kStrings];

  while (!input.Done()) {
    const int op = input.Byte() % 11;
    const int which = input.Byte() % kStrings;
    XString& s = strings[which];
    std::string& m = mirrors[which];
    const int length = static_cast<int>(m.size());
    if (m.size() > kLongest && op <= 3) continue;
    bool threw = false;
    bool should_throw = false;
    switch (op) {
      case 0: {
        const std::string piece = input.Piece(80);
        s.Append(piece.data(), static_cast<int>(piece.size()));
        m += piece;
        break;
      }
      case 1: {
        const int from = input.Byte() % kStrings;
        s += strings[from];
        m += mirrors[from];
        break;
      }
      case 2: {
        const int at = Index(input, length);
        const std::string piece = input.Piece(40);
        should_throw = !InRange(at, length);
        threw = Throws([&] { s.Insert(at, piece.data(), static_cast<int>(piece.size())); });
        if (!should_throw) m.insert(static_cast<size_t>(at), piece);
        break;
      }
      case 3: {
        const int at = Index(input, length);
        const int count = input.Byte() % 8 - 1;
        const char c = static_cast<char>(input.Byte());
        should_throw = count < 0 || !InRange(at, length);
        threw = Throws([&] { s.Insert(at, c, count); });
        if (!should_throw) m.insert(static_cast<size_t>(at), static_cast<size_t>(count), c);
        break;
      }
      case 4: {
        int first = Index(input, length);
        int last = Index(input, length);
        threw = Throws([&] { s.Erase(first, last); });
        if (first < 0) first += length;
        if (last < 0) last += length;
        should_throw = !InRange(first, length) || !InRange(last, length) || last < first;
        if (!should_throw) m.erase(static_cast<size_t>(first), static_cast<size_t>(last - first));
        break;
      }
      case 5: {
        const int at = Index(input, length);
        const char c = static_cast<char>(input.Byte());
        should_throw = !InRange(at, length);
        threw = Throws([&] { s.SetAt(at, c); });
        if (!should_throw) {
          if (at == length) {
            m += c;
          } else {
            m[static_cast<size_t>(at)] = c;
          }
        }
        break;
      }
      case 6: {
        const int n = static_cast<int>(input.Short() % static_cast<unsigned>(length + 80)) - 2;
        should_throw = n < 0;
        threw = Throws([&] { s.Reserve(n); });
        break;
      }
      case 7: {
        const int from = input.Byte() % kStrings;
        s = strings[from];
        m = mirrors[from];
        break;
      }
      case 8:
        if (input.Byte() % 2 == 0) {
          s.ToUpper();
          for (char& c : m) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else {
          s.ToLower();
          for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        break;
      case 9: {
        const char c = static_cast<char>(input.Byte());
        const bool trimmed = s.TrimRight(c);
        const size_t kept = m.find_last_not_of(c);
        const size_t new_length = kept == std::string::npos ? 0 : kept + 1;
        FUZZ_CHECK(trimmed == (new_length != m.size()));
        m.resize(new_length);
        break;
      }
      default: {
        int at = Index(input, length);
        const int count = static_cast<int>(input.Byte() % 16) - 1;
        XString part;
        threw = Throws([&] { part = s.Substring(s.At(at), count); });
        if (at < 0) at += length;
        const int remaining = length - at;
        should_throw = !InRange(at, length) || count > remaining;
        if (!should_throw) {
          const std::string expected =
              m.substr(static_cast<size_t>(at), count < 0 ? std::string::npos : size_t(count));
          FUZZ_CHECK(std::string(part.c_str(), static_cast<size_t>(part.length())) == expected);
        }
        break;
      }
    }
    FUZZ_CHECK(threw == should_throw);
    for (int i = 0; i < kStrings; ++i) {
      FUZZ_CHECK(strings[i].length() == static_cast<int>(mirrors[i].size()));
      FUZZ_CHECK(std::memcmp(strings[i].c_str(), mirrors[i].data(), mirrors[i].size()) == 0);
      FUZZ_CHECK(strings[i].c_str()[mirrors[i].size()] == '\0');
    }
  }
  return 0;
}
