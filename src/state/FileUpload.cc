// What the common data state hands the server from this machine: uploads of client files
// ("fgl_FileRequest"), a program's connection details ("fgl_GetNysProg"); and blobs, which
// the server sends into the current window. Downloads are in FileTransfer.cc.
//
// Upload:  C fgl_FileFound true
//          C <base64 of each block of 2040 bytes, padded at the end>...
//          C <empty line>    (the end of the encoder's stream)
//          C !***
//       or C fgl_FileFound false
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "nycl/base/Base64.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyRenderWindow.h"
#include "state/StateLog.h"
#include "state/TransferIo.h"

namespace nycl {

using transfer::Answer;

namespace {

constexpr size_t kUploadBlock = 2040;  // 2720 characters of base64: one line each

int LengthOf(const char* text) {
  return static_cast<int>(std::min<size_t>(std::strlen(text), INT_MAX));
}

// Sends encoded text as one answer line. The encoder's buffer is its own heap block, so the
// writable pointer the interface asks for may point into it.
void SendText(void* state, const char* text, int) {
  static_cast<NyCommonDataState*>(state)->SendResponceString(const_cast<char*>(text));
}

// Hands decoded blob bytes to the current window; without one they are dropped.
void ToCurrentWindow(void* state, const unsigned char* bytes, int count) {
  if (count <= 0) return;
  NyRenderWindow* window = static_cast<NyCommonDataState*>(state)->GetCurrentRenderWindow();
  if (window == nullptr) return;
  // The decoder's output buffer is writable; the interface takes a char*.
  window->AddToReceivedBlob(reinterpret_cast<char*>(const_cast<unsigned char*>(bytes)), count);
}

// The value of `key` below the handle's nodes, or null.
const char* ValueOf(ResInfo* resource, const char* key) {
  return Atom::DeAtomize(resource->FindResourceA(Atom::Atomize(key), Atom::Atomize(nullptr)));
}

}  // namespace

int NyCommonDataState::FileRequest(char* path) {
  if (path != nullptr && !GetServerTrust().MayUpload(path)) {
    LogTo(this, "TOSSICK", "NyCommonDataState::FileRequest refused by the server trust", path);
    Answer(this, "fgl_FileFound false");
    return 0;
  }
  bool special = false;
  FILE* file = transfer::OpenRegular(path, transfer::OpenFor::kReading, true, &special);
  if (file == nullptr) {
    if (special) LogTo(this, "TOSSICK", "NyCommonDataState::FileRequest not a file", path);
    Answer(this, "fgl_FileFound false");
    return 0;
  }
  Answer(this, "fgl_FileFound true");
  unsigned char block[kUploadBlock];
  size_t read;
  while ((read = std::fread(block, 1, sizeof block, file)) > 0) {
    EncodeBase64Pipe(block, static_cast<int>(read), SendText, this);
  }
  EncodeBase64Pipe(nullptr, 0, SendText, this);
  Answer(this, "!***");
  std::fclose(file);
  return 0;
}

int NyCommonDataState::BlobData(char* text) {
  if (text != nullptr) DecodeBase64Pipe(text, LengthOf(text), ToCurrentWindow, this);
  return 1;
}

int NyCommonDataState::BlobEnd() {
  DecodeBase64Pipe(nullptr, 0, ToCurrentWindow, this);
  if (NyRenderWindow* window = GetCurrentRenderWindow()) window->EndBlobReceive();
  return 1;
}

// A program file is read for the server, so the server trust judges it like an upload; a
// refused one is neither read nor handed to AppendNysFile.
int NyCommonDataState::GetNysProgDetails(char* path) {
  bool sent = false;
  bool readable = path != nullptr;
  if (readable && !GetServerTrust().MayUpload(path)) {
    LogTo(this, "TOSSICK", "NyCommonDataState::GetNysProgDetails refused by the server trust",
          path);
    readable = false;
  } else if (readable && transfer::NamesSpecialFile(path)) {
    LogTo(this, "TOSSICK", "NyCommonDataState::GetNysProgDetails not a file", path);
    readable = false;
  }
  if (readable) {
    {
      // An "%include" in the program file is read for the server too.
      ResFile program;
      program.SetFileFilter(
          [](const char* name, void* trust) {
            return static_cast<const ServerTrust*>(trust)->MayUpload(name);
          },
          &GetServerTrust());
      program.ProcessFile(path);
      std::unique_ptr<ResInfo> defaults(program.LocateResourceData("DEFAULT"));
      const char* host = defaults != nullptr ? ValueOf(defaults.get(), "host") : nullptr;
      const char* port = defaults != nullptr ? ValueOf(defaults.get(), "port") : nullptr;
      const char* command = defaults != nullptr ? ValueOf(defaults.get(), "command") : nullptr;
      if (host != nullptr && port != nullptr && command != nullptr) {
        Answer(this, std::string("fgl_NysProg ") + command + "|" + host + " " + port);
        sent = true;
      }
    }
    AppendNysFile(path);
  }
  if (!sent) {
    Answer(this, "fgl_NysProgNone");
    return 0;
  }
  return 1;
}

}  // namespace nycl
