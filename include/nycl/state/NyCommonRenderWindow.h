// NyCommonRenderWindow: the render window the library supplies on top of NyRenderWindow.
//
// It adds what every host needs: the window's place in the session's resource file (the query
// for the path application, then window), the query for the form currently shown in it, and
// the bookkeeping of one screen array with a flag that tells the host whether array data must
// still be fetched. The host derives its drawing window from this class and keeps the other
// operations of NyRenderWindow for itself. NyCommonDataState::CreateRenderWindow makes windows
// of this class.
//
// Owns its two queries and its array. The queries borrow the resource file the data state had
// when the window was made; the common data state keeps that file alive while the window is
// registered with it, also after a later script transfer replaced it.
//
// Copies: a copy gets queries of its own, equal to the original's, so no two windows ever
// share (or delete) the same query. A copy is not registered: it must not outlive its
// original's registration or the data state.
//
// Threads: the command thread only.
#ifndef NYCL_STATE_NYCOMMONRENDERWINDOW_H
#define NYCL_STATE_NYCOMMONRENDERWINDOW_H

#include "nycl/state/NyRenderWindow.h"
#include "nycl/widgets/ArrayInfo.h"

namespace nycl {

class ResFile;
class ResInfo;

class NyCommonRenderWindow : public NyRenderWindow {
 public:
  // `dataState` must be a NyCommonDataState (or null): the window reads the application name
  // and the resource file from it. The integers and `text` pass to NyRenderWindow unchanged.
  NyCommonRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                       NyDataState* dataState, int e);
  // No name, no data state, no queries, an empty array.
  NyCommonRenderWindow();
  NyCommonRenderWindow(const NyCommonRenderWindow& other);
  NyCommonRenderWindow& operator=(const NyCommonRenderWindow& other);

  int SetFormName(char* name) override;                                     // 61
  int Array(char* type, int maxLength) override;                            // 66
  int RemoveArrayData() override;                                           // 67
  int AddArrayData(char* value, char* fieldName, char* dataType) override;  // 68
  bool NeedArrayData() override;                                            // 69
  bool ClearAllArrayData() override;                                        // 70
  ~NyCommonRenderWindow() override;                                         // 71
  // The window's screen array, for reading rows (GetArrayData, GetArrayDataLine).
  virtual const ArrayInfo* GetArrayInfo();  // 72

  using NyRenderWindow::Array;  // the three-argument form stays the base's

  // The query for this window under the application, or null when the data state had no
  // application name or no resource file when the window was made. Owned by the window.
  ResInfo* GetWindowResInfo() { return m_resinfo; }
  // The query for the current form, or null before the first SetFormName. Owned by the window.
  ResInfo* GetFormResInfo() { return formInfo; }
  // The resource file the queries borrow, or null.
  const ResFile* GetQueriedResFile() const { return queriedFile; }

 protected:
  ResInfo* m_resinfo;
  ResInfo* formInfo;
  ArrayInfo arrayInfo;
  bool needArrayData;

 private:
  const ResFile* queriedFile;
};

}  // namespace nycl

#endif  // NYCL_STATE_NYCOMMONRENDERWINDOW_H
