// NyCommand::Create + Execute over a realistic mix of protocol lines against a host whose
// operations do nothing, so the figure is the interpreter's own cost: tokenising, the registry
// lookup, cloning, argument conversion, the window lookup and the virtual call.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"

namespace {

using namespace nycl;

// The data state defaults do nothing; the five operations the base leaves open do nothing too.
class QuietDataState : public NyDataState {
 public:
  int RestartApp() override { return 1; }
  int SetSize(int, int) override { return 1; }
  int SetTitle(char*, char*) override { return 1; }
  int Sleep(int) override { return 1; }
  int SetCase(_caseEnum) override { return 1; }
};

// What a form-filling screen of a 4GL program sends, in proportions seen in such sessions:
// mostly text, fields and values, some menus and keys, a few window and message commands.
const char* const kMix[] = {
    "fgl_WindowOpen w_cust 20 70 2 5 0 \"Customer\"",
    "fgl_DisplayAt 1 2 \"Customer maintenance\" reverse",
    "fgl_DisplayAt 3 2 \"Line one\\nLine two\" normal",
    "fgl_Label 4 3 \"Number:\" normal",
    "fgl_Label 5 3 \"Name:\" normal",
    "fgl_EntryCreate cust_no formonly 4 13 8 \"\" normal",
    "fgl_EntryCreate active formonly 6 13 3 Y normal CHECK 0 \"Y N\" checkbox \"\" 0 1",
    "fgl_EntrySet cust_no 1042",
    "fgl_EntrySet cust_name \"Miller & Sons\"",
    "fgl_EntryFocus cust_name 1",
    "fgl_SetFieldState active 1 0",
    "fgl_Box 3 1 10 78",
    "fgl_LineH 13 1 78 single",
    "fgl_MenuCreateV Customer 1 5",
    "fgl_MenuFieldCreateV Query 1 \"Search for customers\"",
    "fgl_MenuFocusV 1",
    "fgl_KeyEvent F1 1 Help \"Show help\" ENABLED",
    "fgl_Message 0 \"Choose an option\" bold",
    "fgl_ColumnCreate orders amount x 2 12 1 \"Amount\" right 0 0 0 0 \"\" 1",
    "fgl_EntryAdd \"1,250.00\" amount",
    "fgl_ReportLine \"1042      Miller & Sons         3\"",
    "fgl_ClearToEol 20 1",
    "fgl_WindowSelect w_cust",
    "fgl_Flush",
};

void BM_CreateExecuteMix(benchmark::State& state) {
  NyDataStateHolder holder;
  QuietDataState data;
  holder.PushDataState(&data);
  NyRenderWindow* screen = new NyRenderWindow("SCREEN", 0, 0, 80, 24, "", &data, 0);
  data.AddRenderWindow(screen);
  int64_t lines = 0;
  for (auto _ : state) {
    for (const char* line : kMix) {
      NyCommand* command = NyCommand::Create(line, &holder);
      if (command != nullptr) benchmark::DoNotOptimize(command->Execute());
    }
    lines += static_cast<int64_t>(sizeof kMix / sizeof kMix[0]);
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  while (data.RWBegin() != data.RWEnd()) delete *data.RWBegin();
  holder.PopDataState();
}
BENCHMARK(BM_CreateExecuteMix);

// A file sent to the client: one long line of base64 text, the bulk of the bytes of a session
// that loads forms.
void BM_CreateExecuteFileData(benchmark::State& state) {
  NyDataStateHolder holder;
  QuietDataState data;
  holder.PushDataState(&data);
  std::string line = "fgl_FileData \"forms/customer.frm\" ";
  for (int i = 0; i < 2720; ++i) {
    line += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[(i * 7) % 64];
  }
  for (auto _ : state) {
    NyCommand* command = NyCommand::Create(line.c_str(), &holder);
    if (command != nullptr) benchmark::DoNotOptimize(command->Execute());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
  holder.PopDataState();
}
BENCHMARK(BM_CreateExecuteFileData);

// The registry lookup alone, for the keywords of the mix and for a near miss.
void BM_RegistryFind(benchmark::State& state) {
  const char* const keywords[] = {"fgl_DisplayAt", "fgl_EntrySet", "fgl_MenuFieldCreateV",
                                  "fgl_Flush",     "fgl_Bell",     "fgl_DisplayAT"};
  for (auto _ : state) {
    for (const char* keyword : keywords) benchmark::DoNotOptimize(NyCommandTypes::Find(keyword));
  }
  state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK(BM_RegistryFind);

// Tokenising and lookup alone: an unknown keyword is parsed and freed.
void BM_CreateUnknownKeyword(benchmark::State& state) {
  NyDataStateHolder holder;
  QuietDataState data;
  holder.PushDataState(&data);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        NyCommand::Create("fgl_NoSuchCommand 1 2 \"three four\" 'five' six\\ seven", &holder));
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  holder.PopDataState();
}
BENCHMARK(BM_CreateUnknownKeyword);

}  // namespace
