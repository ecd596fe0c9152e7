// NyDataState: the session-level interface between the command interpreter and the GUI host.
//
// Every command is bound to one data state and acts by calling its virtual operations. The
// base supplies a default for every operation but five (pure); the host derives its own class
// and overrides what it renders. The virtual operations are declared in their slot order,
// which hosts depend on: do not reorder them.
//
// The data state keeps the registry of render windows the window commands address. It does not
// own the windows: a window unregisters itself when destroyed. Windows still registered when
// the data state is destroyed are detached (their data state set to null), not destroyed.
//
// Lifetime: every live command holds an exit lock (LockExit when created, UnlockExit when
// destroyed). DeleteMe destroys the data state at once when no lock is held, else when the
// last lock is released.
//
// Threads: used only on the host's command thread; nothing here is locked.
#ifndef NYCL_STATE_NYDATASTATE_H
#define NYCL_STATE_NYDATASTATE_H

#include <vector>

namespace nycl {

class NyRenderWindow;
class NyDataStateHolder;

// Input case of entry fields.
enum _caseEnum { CASE_NONE = 0, CASE_UPPER = 1, CASE_LOWER = 2 };

class NyDataState {
 public:
  using WindowList = std::vector<NyRenderWindow*>;

  NyDataState();
  // Copies every field, the window list included: the windows are shared, not duplicated.
  NyDataState(const NyDataState& other);
  NyDataState& operator=(const NyDataState& other);

  bool isDeleted() const { return deleted != 0; }
  bool is_using_compression() const { return usingCompression; }
  void set_using_compression(bool on) { usingCompression = on; }
  // The next-older data state on a holder's stack, or null.
  NyDataState* GetPrevious() const { return previous; }
  // The registered windows in order of registration. Invalidated by any registration change.
  WindowList::const_iterator RWBegin() const { return windows.begin(); }
  WindowList::const_iterator RWEnd() const { return windows.end(); }

  virtual bool Nyinetif_Auth(int mode);                          // slot 0
  virtual int GetProperty(const char* name);                     // 1
  virtual int SetProperty(const char* name, const char* value);  // 2
  virtual bool AppendNysFile(char*);                             // 3
  virtual int SendXMLData(const char*, const char*);             // 4
  // Sends a line holding only a line feed and returns "".
  virtual const char* ReceiveXMLData(const char*);  // 5
  virtual int FileSend(char*, char*);               // 6
  virtual int FileSend(char*, char*, char*, int);   // 7
  virtual int GetNysProgDetails(char*);             // 8
  virtual int RestartApp() = 0;                     // 9
  virtual int Flush();                              // 10
  virtual int SetSize(int, int) = 0;                // 11
  virtual int SetTitle(char*, char*) = 0;           // 12
  virtual void LockExit();                          // 13
  // May destroy this data state (see DeleteMe); the caller must not touch it afterwards
  // unless it holds another lock.
  virtual void UnlockExit();  // 14
  // Ends the data state: deleted now when no exit lock is held, else when the last lock is
  // released. Does nothing once destruction has begun. Pop it from its holder first.
  virtual void DeleteMe();                                   // 15
  virtual int Sleep(int) = 0;                                // 16
  virtual int ErrorLog(char* tag, char* label, char* text);  // 17
  virtual int FileRequest(char*);                            // 18
  virtual int FileSent(char*);                               // 19
  virtual int FileData(char*, char*);                        // 20
  virtual int ScriptFileSent(char*);                         // 21
  virtual int ScriptFileSend(char*);                         // 22
  // Makes `window` current without registering it.
  virtual int InitRenderWindow(NyRenderWindow* window);  // 23
  // Unregisters `window` (clearing the current window if it was this one); 0 if unknown. The
  // window object is not destroyed.
  virtual int RemoveRenderWindow(NyRenderWindow* window);  // 24
  // Registers `window` (borrowed) at the end of the list and makes it current.
  virtual int AddRenderWindow(NyRenderWindow* window);  // 25
  virtual int SetStatusBar(const char*, int);           // 26
  virtual int ScriptReceive(char*);                     // 27
  // Creates a plain NyRenderWindow and registers it (it becomes current).
  virtual int CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                                 int e);                                            // 28
  virtual int RequestSSLHandshake();                                                // 29
  virtual int CompressSocket();                                                     // 30
  virtual int NewCompressSocket();                                                  // 31
  virtual int GetConnectionStringApplicationName(char* buffer, int size);           // 32
  virtual int SetConnectionStringApplicationName(const char*);                      // 33
  virtual int ScriptEnd();                                                          // 34
  virtual int BlobEnd();                                                            // 35
  virtual int BlobData(char*);                                                      // 36
  virtual int IncludeConvert(char*, char*, int);                                    // 37
  virtual int StartNewSession(char*, char*, char*);                                 // 38
  virtual int StartLoginRunner(char*, char*, char*, char*, char*);                  // 39
  virtual int FocusRenderWindow();                                                  // 40
  virtual int SendResponceString(char* line);                                       // 41
  virtual int NyMessageBox(char*, char*, int, int);                                 // 42
  virtual int GetMessageBoxLine(char*, int);                                        // 43
  virtual int AddMessageBoxLine(char*);                                             // 44
  virtual int SetCase(_caseEnum) = 0;                                               // 45
  virtual int SetCase(char*);                                                       // 46
  virtual int SetAnyKey(bool);                                                      // 47
  virtual int AddKeyEvent(const char*, int, const char*, const char*, bool, bool);  // 48
  virtual int AddKeyEvent(const char*, int, const char*, const char*, bool);        // 49
  virtual int AddKeyEvent(const char*, int, const char*, bool);                     // 50
  virtual int ClearKeyList();                                                       // 51
  virtual int Display(char*);                                                       // 52
  virtual int ReCompress();                                                         // 53
  virtual int NewReCompress();                                                      // 54
  virtual int ResumeSSLEncrypt();                                                   // 55
  virtual int PauseCompress();                                                      // 56
  virtual int NewPauseCompress();                                                   // 57
  virtual int EndApp();                                                             // 58
  virtual int AddLog(char*, int);                                                   // 59
  virtual int NewApp(char*);                                                        // 60
  virtual int ErrorMessage(char*, int);                                             // 61
  virtual int SetDocType(char*, char*);                                             // 62
  virtual int HelpEnd();                                                            // 63
  virtual int HelpLine(char*);                                                      // 64
  virtual int HelpCreate();                                                         // 65
  virtual int SetComment(const char*, int);                                         // 66
  virtual int SetMessage(const char*, int, const char*);                            // 67
  virtual int SetErrorMsg(const char*, int, const char*);                           // 68
  virtual int ReportEnd();                                                          // 69
  virtual int ReportEndPage();                                                      // 70
  virtual int ReportPause();                                                        // 71
  virtual int ReportLine(char*);                                                    // 72
  virtual int ReportCreate();                                                       // 73
  virtual int WarningMessage(char*);                                                // 74
  virtual int WaitInput(int);                                                       // 75
  // The earliest registered window whose name equals `name` ignoring case (compared on at most
  // 499 characters), or null.
  virtual NyRenderWindow* FindRenderWindow(const char* name);  // 76
  // The current window; when none is set, the first registered window becomes current.
  virtual NyRenderWindow* GetCurrentRenderWindow();  // 77
  virtual NyRenderWindow* GetFirstRenderWindow();    // 78
  // Destroys the window of that name, if any (it unregisters itself). Always returns 0.
  virtual int KillRenderWindow(const char* name);  // 79
  // Marks the data state deleted before anything else, detaches the windows still registered.
  virtual ~NyDataState();                    // 80
  virtual int ExecuteProcess(char*, char*);  // 81
  // Makes a registered window current; 0 (and no change) when `window` is not registered.
  virtual int SetRenderWindow(NyRenderWindow* window);                           // 82
  virtual int RPC_connect(const char*, const char*, const char*);                // 83
  virtual int RPC_close(const char*, const char*, const char*);                  // 84
  virtual int RPC_getvalue(const char*, const char*, const char*, const char*);  // 85
  virtual int RPC_setvalue(const char*, const char*, const char*, const char*,
                           const char*);                                        // 86
  virtual int RPC_finishall(const char*);                                       // 87
  virtual int RPC_execute(const char*, const char*, const char*, const char*);  // 88
  virtual int KeyMapping(const char*, const char*);                             // 89
  virtual bool is_ssl_running();                                                // 90
  virtual bool is_this_a_ssl_connection();                                      // 91
  virtual bool HaveShellExecute();                                              // 92
  virtual int _ShellExecuteEx(const char*, bool);                               // 93
  virtual void NewAuthMenu(char*, int);                                         // 94
  virtual void AddToAuthMenu(char*, int, int);                                  // 95
  virtual void EndAuthMenu();                                                   // 96

  // Set by every dialog command before it opens its dialog; the library never reads or
  // clears it.
  bool dialogRequested;

 protected:
  bool usingCompression;
  NyRenderWindow* currentWindow;  // null or (except after InitRenderWindow) in `windows`
  WindowList windows;             // borrowed, in order of registration
  NyDataState* previous;          // written only by NyDataStateHolder::PushDataState
  int exitLocks;
  int deleted;  // nonzero once destruction has begun
  bool deletePending;

 private:
  friend class NyDataStateHolder;
};

}  // namespace nycl

#endif  // NYCL_STATE_NYDATASTATE_H
