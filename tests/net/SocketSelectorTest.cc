#include "nycl/net/SocketSelector.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "net/LoopRunner.h"
#include "nycl/net/SocketException.h"

namespace nycl {
namespace {

// Records the calls of its sources as "name:call@pass", where pass is the number of
// registration passes so far, counted by a probe source that is never ready. The loop thread
// writes it; the test reads it once the loop has ended.
struct Journal {
  void Note(const std::string& what) { text += what + "@" + std::to_string(passes.load()) + " "; }
  std::string text;
  std::atomic<int> passes{0};
};

// One end of a socket pair; the test writes to the other end to make it readable.
class PairSource : public SocketSelectData {
 public:
  PairSource(std::string name, Journal& journal, bool probe = false)
      : name_(std::move(name)), journal_(journal), probe_(probe) {
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_);
  }
  ~PairSource() {
    close(fds_[0]);
    close(fds_[1]);
  }
  void MakeReadable() { (void)!write(fds_[1], "x", 1); }

  int FD() override { return fds_[0]; }
  bool WantInput() override {
    if (probe_) ++journal_.passes;
    return true;
  }
  bool WantOutput() override { return want_output; }
  bool WantException() override { return false; }
  bool HasBufferedInput() override { return held > 0; }
  void Input() override {
    char c[16];
    while (read(fds_[0], c, sizeof c) > 0) {
    }
    if (held > 0) --held;
    journal_.Note(name_ + ":in");
    if (on_input) on_input();
  }
  void Output() override {
    journal_.Note(name_ + ":out");
    if (on_output) on_output();
  }
  void Exception() override { journal_.Note(name_ + ":exc"); }

  std::function<void()> on_input, on_output;
  bool want_output = false;
  std::atomic<int> held{0};  // passes for which the source holds input of its own

 private:
  std::string name_;
  Journal& journal_;
  const bool probe_;  // counts the passes
  int fds_[2];
};

class SocketSelectorTest : public ::testing::Test {
 protected:
  SocketSelectorTest() { selector_.Add(&probe_); }
  ~SocketSelectorTest() override { runner_.Stop(); }
  Journal journal_;
  SocketSelector selector_;
  PairSource probe_{"probe", journal_, true};
  LoopRunner runner_{selector_};
};

TEST_F(SocketSelectorTest, SourceAddedDuringDispatchWaitsForTheNextIteration) {
  PairSource a("a", journal_), b("b", journal_);
  b.MakeReadable();
  a.on_input = [&] { selector_.Add(&b); };
  b.on_input = [&] { selector_.ExitMainLoop(); };
  selector_.Add(&a);
  a.MakeReadable();
  runner_.Start();
  ASSERT_TRUE(runner_.Join());
  // a is served in the first iteration, b (readable all along) only in the second.
  EXPECT_EQ(journal_.text, "a:in@1 b:in@2 ");
}

TEST_F(SocketSelectorTest, SourceRemovedDuringDispatchIsNeverCalledAgain) {
  PairSource a("a", journal_), b("b", journal_);
  a.want_output = true;  // a is readable and writable in the same poll result
  a.on_input = [&] {
    selector_.Remove(&a);
    selector_.Remove(&b);  // b is ready in the same result too
  };
  b.on_input = [&] { journal_.Note("b should not run"); };
  selector_.Add(&a);
  selector_.Add(&b);
  a.MakeReadable();
  b.MakeReadable();
  runner_.Start();
  runner_.RunOnLoop([] {});  // a later iteration
  runner_.Stop();
  EXPECT_EQ(journal_.text, "a:in@1 ");
}

TEST_F(SocketSelectorTest, BufferedInputIsServedInTheNextPassWithoutWaiting) {
  PairSource a("a", journal_), b("b", journal_);
  a.held = 3;
  selector_.Add(&a);
  selector_.Add(&b);
  a.MakeReadable();
  b.MakeReadable();
  runner_.Start();
  ASSERT_TRUE(WaitFor([&] { return a.held == 0; }));
  runner_.Stop();
  // One call a pass: b, readable once, is served beside a's first call only.
  EXPECT_EQ(journal_.text, "a:in@1 b:in@1 a:in@2 a:in@3 ");
}

TEST_F(SocketSelectorTest, OutputIsOfferedWhileWanted) {
  PairSource a("a", journal_);
  a.want_output = true;
  int rounds = 0;
  a.on_output = [&] {
    if (++rounds == 3) a.want_output = false;
  };
  selector_.Add(&a);
  runner_.Start();
  runner_.RunOnLoop([] {});
  runner_.Stop();
  EXPECT_EQ(journal_.text, "a:out@1 a:out@2 a:out@3 ");
}

// What a timer did, kept beyond the timer: its ticks, and whether it has been deleted.
struct Ticks {
  std::atomic<int> count{0};
  std::atomic<bool> deleted{false};
};

// Counts its ticks, runs `on_tick` on each, and stops after `limit` of them.
class CountingTimer : public SocketTimer {
 public:
  CountingTimer(Ticks& ticks, int limit) : ticks_(ticks), limit_(limit) {}
  ~CountingTimer() override { ticks_.deleted = true; }
  void OnTimer() override {
    ++ticks_.count;
    if (on_tick) on_tick();
  }
  Interval GetInterval() override { return Interval(0, period); }
  bool KeepRunning() override { return ticks_.count < limit_; }
  long long period = 10;
  std::function<void()> on_tick;

 private:
  Ticks& ticks_;
  const int limit_;
};

TEST_F(SocketSelectorTest, TimerThatStopsIsCalledItsTicksAndDeleted) {
  Ticks once, thrice;
  runner_.Start();
  selector_.Add(new CountingTimer(once, 1));
  selector_.Add(new CountingTimer(thrice, 3));
  ASSERT_TRUE(WaitFor([&] { return once.deleted && thrice.deleted; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(once.count, 1);
  EXPECT_EQ(thrice.count, 3);
}

// Both timers are due in the same pass. The first one takes the second out and schedules it
// anew with a long period: the second must wait for its new deadline, not tick in that pass.
TEST_F(SocketSelectorTest, TimerRescheduledByAnEarlierTickWaitsForItsNewDeadline) {
  Ticks first_ticks, later_ticks;
  auto* first = new CountingTimer(first_ticks, 1);  // deleted by the loop after its tick
  CountingTimer later(later_ticks, 1000);
  first->on_tick = [&] {
    selector_.Remove(&later);
    later.period = 60000;
    selector_.Add(&later);
  };
  selector_.Add(first);
  selector_.Add(&later);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // both are due at the start
  runner_.Start();
  runner_.RunOnLoop([] {});
  runner_.Stop();
  selector_.Remove(&later);
  EXPECT_EQ(later_ticks.count, 0);
}

TEST_F(SocketSelectorTest, ExitFromInsideADispatchOrByAMessageEndsTheLoopAndItsWindow) {
  PairSource a("a", journal_);
  SocketWindow* during = nullptr;
  a.on_input = [&] {
    during = SocketSelector::get_g_sockWnd();
    selector_.ExitMainLoop();
  };
  selector_.Add(&a);
  a.MakeReadable();
  EXPECT_EQ(SocketSelector::get_g_sockWnd(), nullptr);
  runner_.Start();
  ASSERT_TRUE(runner_.Join());
  EXPECT_NE(during, nullptr);
  EXPECT_EQ(SocketSelector::get_g_sockWnd(), nullptr);
  EXPECT_FALSE(SocketSelector::PostSocketMessage(during, WM_SOCKET_QUIT, 0, 0));

  // By a quit or destroy message an idle loop ends too.
  for (int message : {WM_SOCKET_DESTROY, WM_SOCKET_QUIT}) {
    runner_.Start();
    ASSERT_TRUE(SocketSelector::PostSocketMessage(SocketSelector::get_g_sockWnd(), message, 0, 0));
    EXPECT_TRUE(runner_.Join(5));
  }
}

TEST_F(SocketSelectorTest, SocketExceptionFromASourceIsReportedAndTheLoopGoesOn) {
  PairSource a("a", journal_);
  std::atomic<int> calls{0};
  a.on_input = [&] {
    if (++calls == 1) throw SocketException("bad input");
    selector_.ExitMainLoop();
  };
  selector_.Add(&a);
  a.MakeReadable();
  testing::internal::CaptureStderr();
  runner_.Start();
  ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
  a.MakeReadable();
  bool ended = runner_.Join();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Socket exception: bad input\n");
  EXPECT_TRUE(ended);
}

TEST(IntervalTest, ArithmeticCarriesThousandthsAndSignsAndComparesBySignedValue) {
  Interval half = Interval::FromParts(false, 0, 500);
  EXPECT_EQ(half + half, Interval(0, 1));
  Interval a = Interval::FromParts(false, 3, 200), b = Interval::FromParts(false, 1, 700);
  EXPECT_EQ(a - b, Interval::FromParts(false, 1, 500));
  EXPECT_EQ(b - a, Interval::FromParts(true, 1, 500));
  Interval neg_b = Interval::FromParts(true, 1, 700);
  EXPECT_EQ(a + neg_b, Interval::FromParts(false, 1, 500));
  EXPECT_EQ(neg_b + a, Interval::FromParts(false, 1, 500));
  EXPECT_EQ(neg_b - a, Interval::FromParts(true, 4, 900));
  EXPECT_EQ(a - a, Interval());
  EXPECT_EQ(neg_b - neg_b, Interval());  // a zero result is not negative

  EXPECT_EQ(static_cast<long long>(Interval(0, 5)), 5);
  EXPECT_EQ(static_cast<long long>(Interval(1, 5)), -5);
  EXPECT_EQ(static_cast<long long>(Interval(0, 7, 999)), 7);
  EXPECT_EQ(static_cast<long long>(Time(42, 3)), 42);
  Interval minus2 = Interval(1, 2), minus1 = Interval(1, 1), zero, one = Interval(0, 1);
  Interval one_and_a_bit = Interval::FromParts(false, 1, 1);
  EXPECT_TRUE(minus2 < minus1 && minus1 < zero && zero < one && one < one_and_a_bit);
  EXPECT_TRUE(one_and_a_bit > one && one >= one && minus1 <= minus1);
  EXPECT_FALSE(Interval(1, 0) == zero);  // equal value, different sign
  EXPECT_TRUE(Interval(1, 0) <= zero && Interval(1, 0) >= zero);
}

}  // namespace
}  // namespace nycl
