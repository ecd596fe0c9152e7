// The virtual-table layout of the two host interfaces. Hosts built against an earlier copy of
// these headers call the operations by position, so every operation must keep its place and its
// exact signature. Each check names the operation with its full type, so a changed parameter
// list fails to compile and a moved operation fails at run time.
#include <gtest/gtest.h>

#include <cstdio>

#include "nycl/base/XString.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyRenderWindow.h"
#include "support/VtableEntry.h"

namespace nycl::test {
namespace {

// The destructor fills two entries under this ABI (complete and deleting), so the data state's
// operations after its destructor (place 80) sit one entry further on.
#define EXPECT_DS(place, Ret, name, Args)                                           \
  EXPECT_EQ(VtableEntry(static_cast<Ret(NyDataState::*) Args>(&NyDataState::name)), \
            (place) < 80 ? (place) : (place) + 1)                                   \
      << #name #Args

#define EXPECT_RW(place, Ret, name, Args)                                                          \
  EXPECT_EQ(VtableEntry(static_cast<Ret(NyRenderWindow::*) Args>(&NyRenderWindow::name)), (place)) \
      << #name #Args

TEST(InterfaceLayoutTest, DataStateOperationsKeepTheirPlaces) {
  if (!kVtableLayoutKnown) GTEST_SKIP() << "member pointer layout not known here";
  using cc = const char*;
  EXPECT_DS(0, bool, Nyinetif_Auth, (int));
  EXPECT_DS(1, int, GetProperty, (cc));
  EXPECT_DS(2, int, SetProperty, (cc, cc));
  EXPECT_DS(3, bool, AppendNysFile, (char*));
  EXPECT_DS(4, int, SendXMLData, (cc, cc));
  EXPECT_DS(5, cc, ReceiveXMLData, (cc));
  EXPECT_DS(6, int, FileSend, (char*, char*));
  EXPECT_DS(7, int, FileSend, (char*, char*, char*, int));
  EXPECT_DS(8, int, GetNysProgDetails, (char*));
  EXPECT_DS(9, int, RestartApp, ());
  EXPECT_DS(10, int, Flush, ());
  EXPECT_DS(11, int, SetSize, (int, int));
  EXPECT_DS(12, int, SetTitle, (char*, char*));
  EXPECT_DS(13, void, LockExit, ());
  EXPECT_DS(14, void, UnlockExit, ());
  EXPECT_DS(15, void, DeleteMe, ());
  EXPECT_DS(16, int, Sleep, (int));
  EXPECT_DS(17, int, ErrorLog, (char*, char*, char*));
  EXPECT_DS(18, int, FileRequest, (char*));
  EXPECT_DS(19, int, FileSent, (char*));
  EXPECT_DS(20, int, FileData, (char*, char*));
  EXPECT_DS(21, int, ScriptFileSent, (char*));
  EXPECT_DS(22, int, ScriptFileSend, (char*));
  EXPECT_DS(23, int, InitRenderWindow, (NyRenderWindow*));
  EXPECT_DS(24, int, RemoveRenderWindow, (NyRenderWindow*));
  EXPECT_DS(25, int, AddRenderWindow, (NyRenderWindow*));
  EXPECT_DS(26, int, SetStatusBar, (cc, int));
  EXPECT_DS(27, int, ScriptReceive, (char*));
  EXPECT_DS(28, int, CreateRenderWindow, (cc, int, int, int, int, cc, int));
  EXPECT_DS(29, int, RequestSSLHandshake, ());
  EXPECT_DS(30, int, CompressSocket, ());
  EXPECT_DS(31, int, NewCompressSocket, ());
  EXPECT_DS(32, int, GetConnectionStringApplicationName, (char*, int));
  EXPECT_DS(33, int, SetConnectionStringApplicationName, (cc));
  EXPECT_DS(34, int, ScriptEnd, ());
  EXPECT_DS(35, int, BlobEnd, ());
  EXPECT_DS(36, int, BlobData, (char*));
  EXPECT_DS(37, int, IncludeConvert, (char*, char*, int));
  EXPECT_DS(38, int, StartNewSession, (char*, char*, char*));
  EXPECT_DS(39, int, StartLoginRunner, (char*, char*, char*, char*, char*));
  EXPECT_DS(40, int, FocusRenderWindow, ());
  EXPECT_DS(41, int, SendResponceString, (char*));
  EXPECT_DS(42, int, NyMessageBox, (char*, char*, int, int));
  EXPECT_DS(43, int, GetMessageBoxLine, (char*, int));
  EXPECT_DS(44, int, AddMessageBoxLine, (char*));
  EXPECT_DS(45, int, SetCase, (_caseEnum));
  EXPECT_DS(46, int, SetCase, (char*));
  EXPECT_DS(47, int, SetAnyKey, (bool));
  EXPECT_DS(48, int, AddKeyEvent, (cc, int, cc, cc, bool, bool));
  EXPECT_DS(49, int, AddKeyEvent, (cc, int, cc, cc, bool));
  EXPECT_DS(50, int, AddKeyEvent, (cc, int, cc, bool));
  EXPECT_DS(51, int, ClearKeyList, ());
  EXPECT_DS(52, int, Display, (char*));
  EXPECT_DS(53, int, ReCompress, ());
  EXPECT_DS(54, int, NewReCompress, ());
  EXPECT_DS(55, int, ResumeSSLEncrypt, ());
  EXPECT_DS(56, int, PauseCompress, ());
  EXPECT_DS(57, int, NewPauseCompress, ());
  EXPECT_DS(58, int, EndApp, ());
  EXPECT_DS(59, int, AddLog, (char*, int));
  EXPECT_DS(60, int, NewApp, (char*));
  EXPECT_DS(61, int, ErrorMessage, (char*, int));
  EXPECT_DS(62, int, SetDocType, (char*, char*));
  EXPECT_DS(63, int, HelpEnd, ());
  EXPECT_DS(64, int, HelpLine, (char*));
  EXPECT_DS(65, int, HelpCreate, ());
  EXPECT_DS(66, int, SetComment, (cc, int));
  EXPECT_DS(67, int, SetMessage, (cc, int, cc));
  EXPECT_DS(68, int, SetErrorMsg, (cc, int, cc));
  EXPECT_DS(69, int, ReportEnd, ());
  EXPECT_DS(70, int, ReportEndPage, ());
  EXPECT_DS(71, int, ReportPause, ());
  EXPECT_DS(72, int, ReportLine, (char*));
  EXPECT_DS(73, int, ReportCreate, ());
  EXPECT_DS(74, int, WarningMessage, (char*));
  EXPECT_DS(75, int, WaitInput, (int));
  EXPECT_DS(76, NyRenderWindow*, FindRenderWindow, (cc));
  EXPECT_DS(77, NyRenderWindow*, GetCurrentRenderWindow, ());
  EXPECT_DS(78, NyRenderWindow*, GetFirstRenderWindow, ());
  EXPECT_DS(79, int, KillRenderWindow, (cc));
  EXPECT_DS(81, int, ExecuteProcess, (char*, char*));
  EXPECT_DS(82, int, SetRenderWindow, (NyRenderWindow*));
  EXPECT_DS(83, int, RPC_connect, (cc, cc, cc));
  EXPECT_DS(84, int, RPC_close, (cc, cc, cc));
  EXPECT_DS(85, int, RPC_getvalue, (cc, cc, cc, cc));
  EXPECT_DS(86, int, RPC_setvalue, (cc, cc, cc, cc, cc));
  EXPECT_DS(87, int, RPC_finishall, (cc));
  EXPECT_DS(88, int, RPC_execute, (cc, cc, cc, cc));
  EXPECT_DS(89, int, KeyMapping, (cc, cc));
  EXPECT_DS(90, bool, is_ssl_running, ());
  EXPECT_DS(91, bool, is_this_a_ssl_connection, ());
  EXPECT_DS(92, bool, HaveShellExecute, ());
  EXPECT_DS(93, int, _ShellExecuteEx, (cc, bool));
  EXPECT_DS(94, void, NewAuthMenu, (char*, int));
  EXPECT_DS(95, void, AddToAuthMenu, (char*, int, int));
  EXPECT_DS(96, void, EndAuthMenu, ());
}

TEST(InterfaceLayoutTest, RenderWindowOperationsKeepTheirPlaces) {
  if (!kVtableLayoutKnown) GTEST_SKIP() << "member pointer layout not known here";
  using cc = const char*;
  using uint = unsigned int;
  EXPECT_RW(0, int, ListCreate, (cc, int, int, int, int));
  EXPECT_RW(1, int, ListDestroy, (cc));
  EXPECT_RW(2, int, ListExport, (cc, int, int, cc, cc, cc));
  EXPECT_RW(3, int, FileDialog, (char*, int, char*, char*, char*, char*));
  EXPECT_RW(4, int, ColumnCreate, (cc, cc, int, int, int, cc, cc, int, cc));
  EXPECT_RW(5, int, ColumnConfigure, (cc, cc, int, cc, int, int));
  EXPECT_RW(6, int, ProgressCreate, (cc, cc, int, int));
  EXPECT_RW(7, int, ProgressDestroy, (cc, cc));
  EXPECT_RW(8, int, ProgressValue, (cc, cc, int));
  EXPECT_RW(9, int, ColumnClear, (cc, cc));
  EXPECT_RW(10, int, NewScreenSection, (cc));
  EXPECT_RW(11, int, WinPrompt, (int, int, char*, char*, int, int));
  EXPECT_RW(12, int, WinPromptB, (int, int, char*, char*, int, int));
  EXPECT_RW(13, int, WinButton, (char*, char*, char*, char*, char*, int));
  EXPECT_RW(14, int, WinQuestion, (char*, char*, char*, char*, char*, int));
  EXPECT_RW(15, int, DetailErrorBox, (char*, char*, char*));
  EXPECT_RW(16, int, SetSize, (int, int));
  EXPECT_RW(17, int, SetTitle, (char*));
  EXPECT_RW(18, int, SetBlobType, (char*));
  EXPECT_RW(19, int, getWindowName, (char*, int));
  EXPECT_RW(20, int, EndBlobReceive, ());
  EXPECT_RW(21, int, Sleep, (int));
  EXPECT_RW(22, int, StartBlobReceive, (char*));
  EXPECT_RW(23, int, AddToReceivedBlob, (char*, int));
  EXPECT_RW(24, int, SetInclude, (char*, int, char**));
  EXPECT_RW(25, int, SetComboGroup, (cc, uint));
  EXPECT_RW(26, int, SetComboValue, (cc, uint, cc));
  EXPECT_RW(27, int, SetComboDepth, (cc, uint));
  EXPECT_RW(28, int, EndAuthMenu, ());
  EXPECT_RW(29, int, AddToAuthMenu, (char*, int, int));
  EXPECT_RW(30, int, NewAuthMenu, (char*, int));
  EXPECT_RW(31, int, DestroyScrollBar, ());
  EXPECT_RW(32, int, SetScrollBar, (int, int, int, int, cc, int, int, int));
  EXPECT_RW(33, int, CanDraw, (char*));
  EXPECT_RW(34, int, Bell, ());
  EXPECT_RW(35, int, DeleteItem, (char*));
  EXPECT_RW(36, int, ItemSet, (char*, char*));
  EXPECT_RW(37, int, ItemAppend, (char*, char*));
  EXPECT_RW(38, int, ItemConfigure, (char*, char*, int, int, int));
  EXPECT_RW(39, int, ItemFocus, (char*, int));
  EXPECT_RW(40, int, ItemState, (char*, int));
  EXPECT_RW(41, int, SetFieldAttribs, (cc, int));
  EXPECT_RW(42, int, ColumnState, (cc, cc, int, int, int));
  EXPECT_RW(43, int, HeaderConfigure, (cc, cc, cc, cc, cc));
  EXPECT_RW(44, int, RowDelete, (cc, int));
  EXPECT_RW(45, int, RowInsert, (cc, int));
  EXPECT_RW(46, int, ItemShow, (char*, int));
  EXPECT_RW(47, int, SetStatusBar, (cc, int));
  EXPECT_RW(48, int, SetMessageLine, (int));
  EXPECT_RW(49, int, SetCommentLine, (int));
  EXPECT_RW(50, int, SetErrorLine, (int));
  EXPECT_RW(51, int, ClearEOL, (int, int));
  EXPECT_RW(52, int, Box, (int, int, int, int, char*));
  EXPECT_RW(53, int, AddItem, (int, int, int, int, char*, char*, char*, int, CWidgetInfo*));
  EXPECT_RW(54, int, LineV, (int, int, int, char*));
  EXPECT_RW(55, int, LineH, (int, int, int, char*));
  EXPECT_RW(56, int, MenuCurrent, (int));
  EXPECT_RW(57, int, MenuAdd, (char*, int, char*));
  EXPECT_RW(58, int, MenuDestroy, ());
  EXPECT_RW(59, int, MenuCreate, (char*, int, int));
  EXPECT_RW(60, int, DoToolbar, ());
  EXPECT_RW(61, int, SetFormName, (char*));
  EXPECT_RW(62, int, Clear, ());
  EXPECT_RW(63, int, ClearForm, (int, int));
  EXPECT_RW(64, int, AddText, (int, int, char*, char*, int));
  EXPECT_RW(65, int, Array, (char*, int, cc));
  EXPECT_RW(66, int, Array, (char*, int));
  EXPECT_RW(67, int, RemoveArrayData, ());
  EXPECT_RW(68, int, AddArrayData, (char*, char*, char*));
  EXPECT_RW(69, bool, NeedArrayData, ());
  EXPECT_RW(70, bool, ClearAllArrayData, ());
}

// Nothing follows the interfaces' operations but their destructors: a derived class's first
// new operation comes right after them.
class ExtendedWindow : public NyRenderWindow {
 public:
  virtual int Extra() { return 0; }
};
class ExtendedState : public NyDataState {
 public:
  virtual int Extra() { return 0; }
};

// The common classes' own operations. The protected ones are reached through a subclass that
// makes them public; their member pointers still name NyCommonDataState's entries.
class OpenCommonState : public NyCommonDataState {
 public:
  using NyCommonDataState::all_files_received;
  using NyCommonDataState::GenerateFileRequestsFromScriptFile;
  using NyCommonDataState::ReadLine;
};

TEST(InterfaceLayoutTest, CommonClassesAddTheirOperationsAfterTheInterfaces) {
  if (!kVtableLayoutKnown) GTEST_SKIP() << "member pointer layout not known here";
  // The window's destructor is its last entry (place 71), the data state's last operation
  // EndAuthMenu (place 96).
  EXPECT_EQ(VtableEntry(&ExtendedWindow::Extra), 73);
  EXPECT_EQ(VtableEntry(&ExtendedState::Extra), 98);
  using State = NyCommonDataState;
  // Places 97 onward, one entry further on for the destructor's second entry.
  EXPECT_EQ(VtableEntry(static_cast<bool (State::*)() const>(&State::ReturnAnyKey)), 98);
  EXPECT_EQ(VtableEntry(&State::GetConnection), 99);
  EXPECT_EQ(VtableEntry(&State::GetApplicationName), 100);
  EXPECT_EQ(VtableEntry(static_cast<int (State::*)(const char*, int*, void***)>(
                &OpenCommonState::GenerateFileRequestsFromScriptFile)),
            101);
  EXPECT_EQ(VtableEntry(static_cast<int (State::*)(FILE*, XString&)>(&OpenCommonState::ReadLine)),
            102);
  EXPECT_EQ(VtableEntry(static_cast<int (State::*)(char*)>(&OpenCommonState::all_files_received)),
            103);

  // BaseConnection: places 0 to 5, the destructor at 6 (two entries), wantcompress at 7.
  EXPECT_EQ(VtableEntry(&BaseConnection::PauseZFilter), 0);
  EXPECT_EQ(VtableEntry(&BaseConnection::ResumeZFilter), 1);
  EXPECT_EQ(VtableEntry(&BaseConnection::AddZFilter), 2);
  EXPECT_EQ(VtableEntry(&BaseConnection::GetSocket), 3);
  EXPECT_EQ(VtableEntry(&BaseConnection::CloseConnection), 4);
  EXPECT_EQ(VtableEntry(&BaseConnection::SendString), 5);
  EXPECT_EQ(VtableEntry(&BaseConnection::wantcompress), 8);

  // The render window's place 72, after the destructor's two entries.
  EXPECT_EQ(VtableEntry(&NyCommonRenderWindow::GetArrayInfo), 73);
}

}  // namespace
}  // namespace nycl::test
