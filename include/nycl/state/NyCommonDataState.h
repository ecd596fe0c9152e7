// NyCommonDataState: the data state the library supplies for hosts.
//
// It implements the session plumbing every host needs the same way: it holds the connection
// to the application server and sends every answer line through it, switches compression and
// TLS on and off in the order the protocol requires, keeps the small session settings that
// commands set (input case, any-key flag, gathered message-box text), receives the program's
// files and scripts into the client file cache and loads its resource file, uploads files and
// receives blobs. A host derives its own class from it and overrides what it renders; it must
// call SetConnection before the first command runs.
//
// Owns the file cache, the message-box text and the resource files of completed script
// transfers: the newest is the session's; an earlier one stays alive while a registered
// NyCommonRenderWindow still queries it. Borrows the connection. Destroying the
// data state in the middle of a file closes it, drops its partial copy and gives the cache
// lock back, so a dropped session leaves the cache consistent.
//
// How far the server may reach outside the cache is the host's choice: see ServerTrust.
//
// The virtual operations it adds are declared in their slot order (97 onward), which hosts
// depend on: do not reorder them.
//
// Threads: the command thread only. The TLS waits sleep that thread while the handshake runs
// on the event-loop thread, so they must never run on the event-loop thread.
#ifndef NYCL_STATE_NYCOMMONDATASTATE_H
#define NYCL_STATE_NYCOMMONDATASTATE_H

#include <cstdio>
#include <string>
#include <vector>

#include "nycl/base/XString.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/ServerTrust.h"

namespace nycl {

class BaseConnection;
class CCorvathFileCache;
class ResFile;

class NyCommonDataState : public NyDataState {
 public:
  // Opens the machine's client file cache (see CCorvathFileCache) and reads "NYCLLOG".
  NyCommonDataState();
  // The same with the cache `cache` (taken over; not null).
  explicit NyCommonDataState(CCorvathFileCache* cache);
  NyCommonDataState(const NyCommonDataState&) = delete;
  NyCommonDataState& operator=(const NyCommonDataState&) = delete;

  int SendResponceString(char* line) override;  // 41
  int RequestSSLHandshake() override;           // 29
  int CompressSocket() override;                // 30
  int NewCompressSocket() override;             // 31
  int ReCompress() override;                    // 53
  int NewReCompress() override;                 // 54
  int ResumeSSLEncrypt() override;              // 55
  int PauseCompress() override;                 // 56
  int NewPauseCompress() override;              // 57
  int PauseSSLEncrypt();
  bool is_this_a_ssl_connection() override;  // 91
  bool is_ssl_running() override;            // 90
  bool is_cert_valid();

  int AddMessageBoxLine(char* line) override;              // 44
  int GetMessageBoxLine(char* buffer, int size) override;  // 43
  int SetCase(char* text) override;                        // 46
  int SetCase(_caseEnum value) override;                   // 45
  _caseEnum GetCase() const { return inputCase; }
  int SetAnyKey(bool on) override;                            // 47
  int SetTitle(char* window, char* title) override;           // 12
  int SetSize(int width, int height) override;                // 11
  int Sleep(int milliseconds) override;                       // 16
  int RestartApp() override;                                  // 9
  int ErrorLog(char* tag, char* label, char* text) override;  // 17
  int ScriptReceive(char* text) override;                     // 27
  int ScriptEnd() override;                                   // 34
  int CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                         int e) override;  // 28
  int BlobData(char* text) override;       // 36
  int BlobEnd() override;                  // 35

  // File and script transfer.
  int FileSend(char* name, char* tag) override;                           // 6
  int FileSend(char* name, char* tag, char* target, int store) override;  // 7
  int GetNysProgDetails(char* path) override;                             // 8
  int FileRequest(char* path) override;                                   // 18
  int FileSent(char* name) override;                                      // 19
  int FileData(char* name, char* text) override;                          // 20
  int ScriptFileSent(char* script) override;                              // 21
  int ScriptFileSend(char* script) override;                              // 22
  // Sends "fgl_filerequest <name>" and returns 1; sends nothing and returns 0 when the line
  // would not fit its 200 bytes.
  int RequestFile(const char* name);
  // The file that received data is written to, or null.
  FILE* GetFileWritingptr() { return writingFile; }
  // The resource file of the last completed script transfer, or null.
  ResFile* GetResFile() { return resFile; }
  int GetToolbarRes() { return 1; }
  int GetRBRes() { return 1; }

  ~NyCommonDataState() override;  // 80

  virtual bool ReturnAnyKey() const;              // 97
  virtual BaseConnection* GetConnection();        // 98
  virtual const char* GetApplicationName();       // 99
  int SetConnection(BaseConnection* connection);  // returns 1

  // The file cache (owned).
  CCorvathFileCache* GetFileCache() { return fileCache; }
  // The value of "NYCLLOG" when this data state was made, or null; for the host.
  const char* GetLogSetting() const { return logSetting; }

  // What the server may do outside the cache; everything until the host narrows it.
  ServerTrust& GetServerTrust() { return serverTrust; }
  const ServerTrust& GetServerTrust() const { return serverTrust; }

  // How long a TLS wait (RequestSSLHandshake, and the session commands that resume
  // encryption) lasts before it gives up: 30000 ms unless set; a value of 0 or less restores
  // that default.
  void SetTlsWaitLimit(int milliseconds);
  int GetTlsWaitLimit() const { return tlsWaitLimit; }
  // Waits until is_ssl_running() reports true, calling Sleep(1) between polls and making sure
  // the thread really sleeps at least a millisecond each time (the library's own Sleep does
  // nothing). Gives up after the TLS wait limit: logs through ErrorLog with `label`, abandons
  // a handshake still in progress and leaves the connection plain. Gives up at once, with a
  // log line too, when the handshake this data state asked for (ResumeSSLEncrypt,
  // RequestSSLHandshake) has ended without TLS. Returns whether TLS runs.
  // REQUIRES: the command thread, never the event-loop thread.
  bool WaitForTls(const char* label);

 protected:
  // Reads the "[file]" names of the script at `path` into a new array of 500 entries
  // (C-heap texts, a null entry after the last) stored in *names; *count becomes the number
  // of names, or stays -1 when there are none. 0 when the file cannot be opened.
  virtual int GenerateFileRequestsFromScriptFile(const char* path, int* count,
                                                 void*** names);  // 100
  // Reads one line, line feed included, into `line`; the number of bytes read, 0 at the end.
  virtual int ReadLine(FILE* file, XString& line);  // 101
  // Ends a script transfer: sends "fgl_EndServerScript" and loads the root script as the
  // session's resource file.
  virtual int all_files_received(char* name);  // 102

  int scriptState;
  void** fileRequests;
  int fileRequestCount;
  FILE* writingFile;
  char* cachePath;
  XString m_rootscriptfilename;
  int fileTag;
  ResFile* resFile;
  bool anyKey;
  char* messageBoxText;
  int messageBoxSize;
  _caseEnum inputCase;
  BaseConnection* connection;
  const char* logSetting;
  XString applicationName;
  CCorvathFileCache* fileCache;

 private:
  // Ends a transfer cut off midway (the data state is going away): closes the file being
  // received, drops its partial copy, gives the cache lock back and frees the request list.
  void AbandonTransfer();
  // Ends the download in progress, if any, without recording it: closes its file, deletes its
  // partial copy in the cache and gives that download's cache lock hold back.
  void AbandonDownload();
  // After the file `name` completed: when the cache holds it as a script (".nys") that this
  // transfer has not taken yet, pushes its "[file]" names on the request list, first on top.
  void PushScriptNames(const char* name);
  // Keeps `replaced` while a registered window still queries it and deletes every retired
  // resource file that no registered window queries any longer, so repeated transfers cannot
  // pile up files.
  void RetireResFile(ResFile* replaced);

  ServerTrust serverTrust;
  int tlsWaitLimit;
  bool tlsRequested;  // a handshake was asked for and the TLS wait has not ended since
  std::vector<ResFile*> retiredResFiles;  // replaced, still queried by a window; owned
  // Remote names of the scripts whose names the current transfer took (the root included).
  std::vector<std::string> expandedScripts;
};

}  // namespace nycl

#endif  // NYCL_STATE_NYCOMMONDATASTATE_H
