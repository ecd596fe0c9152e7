// NyDataStateHolder: the stack of data states a host's commands run against.
//
// Commands are created against the holder and bound to the data state on top. The holder owns
// none of the data states: the host pops a data state before it destroys it.
//
// Threads: used only on the host's command thread.
#ifndef NYCL_STATE_NYDATASTATEHOLDER_H
#define NYCL_STATE_NYDATASTATEHOLDER_H

namespace nycl {

class NyDataState;
class NyRenderWindow;

class NyDataStateHolder {
 public:
  NyDataStateHolder() : top(nullptr) {}
  NyDataStateHolder(const NyDataStateHolder&) = default;
  NyDataStateHolder& operator=(const NyDataStateHolder&) = default;

  virtual ~NyDataStateHolder();
  // Pushes `state` (borrowed) on top; a null state is ignored.
  virtual void PushDataState(NyDataState* state);
  // Removes and returns the top data state (null when empty); its link to the older state
  // stays as it was.
  virtual NyDataState* PopDataState();
  virtual NyDataState* GetLastDataState();
  // Searches every data state from the top down; the first window found, or null.
  virtual NyRenderWindow* FindRenderWindow(const char* name);

 protected:
  NyDataState* top;
};

}  // namespace nycl

#endif  // NYCL_STATE_NYDATASTATEHOLDER_H
