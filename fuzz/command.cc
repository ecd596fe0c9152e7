// Protocol lines through the tokenizer, the keyword registry and every command's Execute, on
// a host that records nothing. Input: lines separated by line feeds, run in order against one
// fresh data state, so commands that leave state behind (windows, menus, lists, reports,
// arrays) meet the lines after them.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "nycl/command/NyCommand.h"
#include "nycl/res/Atom.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"

namespace {

using namespace nycl;

// Keeps every default of the library; what must be answered is answered without effect.
// Windows the lines open are the library's plain ones and go with the host.
class SilentHost : public NyDataState {
 public:
  ~SilentHost() override {
    while (!windows.empty()) delete windows.back();
  }
  int RestartApp() override { return 0; }
  int SetSize(int, int) override { return 0; }
  int SetTitle(char*, char*) override { return 0; }
  int Sleep(int) override { return 0; }
  int SetCase(_caseEnum) override { return 0; }
  using NyDataState::SetCase;
  // An authentication retry is taken up, so the exchange goes on instead of ending.
  bool Nyinetif_Auth(int) override { return true; }
};

// "fgl_auth failed" ends the process by design: such a command is made but not run.
bool EndsTheProcess(NyCommand* command) {
  return std::strcmp(command->GetArg(0), "fgl_auth") == 0 &&
         std::strcmp(command->GetArg(1), "failed") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nycl::fuzz::EnterScratchDirectory("command");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    NyDataStateHolder holder;
    auto* host = new SilentHost;
    holder.PushDataState(host);
    for (const std::string& line : nycl::fuzz::Split(data, size, '\n')) {
      NyCommand* command = NyCommand::Create(line.c_str(), &holder);
      if (command == nullptr) continue;
      if (EndsTheProcess(command)) {
        delete command;
      } else {
        command->Execute();
      }
    }
    holder.PopDataState();
    delete host;
  }
  Atom::Destroy();  // names interned by this input, so that memory stays bounded
  return 0;
}
