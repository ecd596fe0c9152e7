#include "nycl/state/NyDataStateHolder.h"

#include "nycl/state/NyDataState.h"

namespace nycl {

NyDataStateHolder::~NyDataStateHolder() = default;

void NyDataStateHolder::PushDataState(NyDataState* state) {
  if (state == nullptr) return;
  state->previous = top;
  top = state;
}

NyDataState* NyDataStateHolder::PopDataState() {
  NyDataState* old = top;
  if (old != nullptr) top = old->previous;
  return old;
}

NyDataState* NyDataStateHolder::GetLastDataState() {
  return top;
}

NyRenderWindow* NyDataStateHolder::FindRenderWindow(const char* name) {
  for (NyDataState* state = top; state != nullptr; state = state->previous) {
    if (NyRenderWindow* window = state->FindRenderWindow(name)) return window;
  }
  return nullptr;
}

}  // namespace nycl
