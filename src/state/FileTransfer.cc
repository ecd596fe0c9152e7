// File and script transfer of the common data state.
//
// Not written yet: until it is, these operations give the answers of NyDataState, so a server
// sees a client that handles no transfer.
#include "nycl/state/NyCommonDataState.h"

namespace nycl {

int NyCommonDataState::FileSend(char* name, char* tag) {
  return NyDataState::FileSend(name, tag);
}
int NyCommonDataState::FileSend(char* name, char* tag, char* target, int store) {
  return NyDataState::FileSend(name, tag, target, store);
}
int NyCommonDataState::GetNysProgDetails(char* path) {
  return NyDataState::GetNysProgDetails(path);
}
int NyCommonDataState::FileRequest(char* path) {
  return NyDataState::FileRequest(path);
}
int NyCommonDataState::FileSent(char* name) {
  return NyDataState::FileSent(name);
}
int NyCommonDataState::FileData(char* name, char* text) {
  return NyDataState::FileData(name, text);
}
int NyCommonDataState::ScriptFileSent(char* script) {
  return NyDataState::ScriptFileSent(script);
}
int NyCommonDataState::ScriptFileSend(char* script) {
  return NyDataState::ScriptFileSend(script);
}
int NyCommonDataState::BlobData(char* text) {
  return NyDataState::BlobData(text);
}
int NyCommonDataState::BlobEnd() {
  return NyDataState::BlobEnd();
}
int NyCommonDataState::RequestFile(const char*) {
  return 1;
}
int NyCommonDataState::GenerateFileRequestsFromScriptFile(const char*, int* count, void***) {
  *count = -1;
  return 0;
}
int NyCommonDataState::ReadLine(FILE*, XString& line) {
  line = "";
  return 0;
}
int NyCommonDataState::all_files_received(char*) {
  return 1;
}
void NyCommonDataState::AbandonTransfer() {}

}  // namespace nycl
