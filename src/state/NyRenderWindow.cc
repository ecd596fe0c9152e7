#include "nycl/state/NyRenderWindow.h"

#include <cstdlib>
#include <cstring>

#include "nycl/state/NyDataState.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "state/WindowName.h"

namespace nycl {

NyRenderWindow::NyRenderWindow(const char* name, int, int, int, int, const char*,
                               NyDataState* dataState, int)
    : dataState(dataState), name(UpperCaseCopy(name)) {}

NyRenderWindow::NyRenderWindow() : dataState(nullptr), name(nullptr) {}

NyRenderWindow::NyRenderWindow(const NyRenderWindow& other)
    : dataState(other.dataState), name(other.name ? strdup(other.name) : nullptr) {}

NyRenderWindow& NyRenderWindow::operator=(const NyRenderWindow& other) {
  if (this == &other) return *this;
  char* copy = other.name ? strdup(other.name) : nullptr;
  free(name);
  name = copy;
  dataState = other.dataState;
  return *this;
}

NyRenderWindow::~NyRenderWindow() {
  if (dataState != nullptr) dataState->RemoveRenderWindow(this);
  free(name);
}

void NyRenderWindow::LogSomething(const char*, ...) {}

int NyRenderWindow::getWindowName(char* buffer, int size) {
  if (name == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  if (size < 0) size = 0;
  size_t length = strlen(name);
  size_t limit = static_cast<size_t>(size);
  memcpy(buffer, name, length < limit ? length : limit);
  buffer[length <= limit ? length : limit] = '\0';
  return 1;
}

int NyRenderWindow::ListCreate(const char*, int, int, int, int) {
  return 0;
}
int NyRenderWindow::ListDestroy(const char*) {
  return 0;
}
int NyRenderWindow::ListExport(const char*, int, int, const char*, const char*, const char*) {
  return 0;
}
int NyRenderWindow::FileDialog(char*, int, char*, char*, char*, char*) {
  return 0;
}
int NyRenderWindow::ColumnCreate(const char*, const char*, int, int, int, const char*, const char*,
                                 int, const char*) {
  return 0;
}
int NyRenderWindow::ColumnConfigure(const char*, const char*, int, const char*, int, int) {
  return 0;
}
int NyRenderWindow::ProgressCreate(const char*, const char*, int, int) {
  return 0;
}
int NyRenderWindow::ProgressDestroy(const char*, const char*) {
  return 0;
}
int NyRenderWindow::ProgressValue(const char*, const char*, int) {
  return 0;
}
int NyRenderWindow::ColumnClear(const char*, const char*) {
  return 0;
}
int NyRenderWindow::NewScreenSection(const char*) {
  return 1;
}
int NyRenderWindow::WinPrompt(int, int, char*, char*, int, int) {
  return 1;
}
int NyRenderWindow::WinPromptB(int, int, char*, char*, int, int) {
  return 1;
}
int NyRenderWindow::WinButton(char*, char*, char*, char*, char*, int) {
  return 1;
}
int NyRenderWindow::WinQuestion(char*, char*, char*, char*, char*, int) {
  return 1;
}
int NyRenderWindow::DetailErrorBox(char*, char*, char*) {
  return 1;
}
int NyRenderWindow::SetSize(int, int) {
  return 1;
}
int NyRenderWindow::SetTitle(char*) {
  return 1;
}
int NyRenderWindow::SetBlobType(char*) {
  return 1;
}
int NyRenderWindow::EndBlobReceive() {
  return 1;
}
int NyRenderWindow::Sleep(int) {
  return 1;
}
int NyRenderWindow::StartBlobReceive(char*) {
  return 1;
}
int NyRenderWindow::AddToReceivedBlob(char*, int) {
  return 1;
}
int NyRenderWindow::SetInclude(char*, int, char**) {
  return 1;
}
int NyRenderWindow::SetComboGroup(const char*, unsigned int) {
  return 1;
}
int NyRenderWindow::SetComboValue(const char*, unsigned int, const char*) {
  return 1;
}
int NyRenderWindow::SetComboDepth(const char*, unsigned int) {
  return 1;
}
int NyRenderWindow::EndAuthMenu() {
  return 1;
}
int NyRenderWindow::AddToAuthMenu(char*, int, int) {
  return 1;
}
int NyRenderWindow::NewAuthMenu(char*, int) {
  return 1;
}
int NyRenderWindow::DestroyScrollBar() {
  return 1;
}
int NyRenderWindow::SetScrollBar(int, int, int, int, const char*, int, int, int) {
  return 1;
}
int NyRenderWindow::CanDraw(char*) {
  return 1;
}
int NyRenderWindow::Bell() {
  return 1;
}
int NyRenderWindow::DeleteItem(char*) {
  return 1;
}
int NyRenderWindow::ItemSet(char*, char*) {
  return 1;
}
int NyRenderWindow::ItemAppend(char*, char*) {
  return 0;
}
int NyRenderWindow::ItemConfigure(char*, char*, int, int, int) {
  return 1;
}
int NyRenderWindow::ItemFocus(char*, int) {
  return 1;
}
int NyRenderWindow::ItemState(char*, int) {
  return 1;
}
int NyRenderWindow::SetFieldAttribs(const char*, int) {
  return 1;
}
int NyRenderWindow::ColumnState(const char*, const char*, int, int, int) {
  return 0;
}
int NyRenderWindow::HeaderConfigure(const char*, const char*, const char*, const char*,
                                    const char*) {
  return 0;
}
int NyRenderWindow::RowDelete(const char*, int) {
  return 0;
}
int NyRenderWindow::RowInsert(const char*, int) {
  return 0;
}
int NyRenderWindow::ItemShow(char*, int) {
  return 1;
}
int NyRenderWindow::SetStatusBar(const char*, int) {
  return 1;
}
int NyRenderWindow::SetMessageLine(int) {
  return 1;
}
int NyRenderWindow::SetCommentLine(int) {
  return 1;
}
int NyRenderWindow::SetErrorLine(int) {
  return 1;
}
int NyRenderWindow::ClearEOL(int, int) {
  return 1;
}
int NyRenderWindow::Box(int, int, int, int, char*) {
  return 1;
}
int NyRenderWindow::AddItem(int, int, int, int, char*, char*, char*, int,
                            CWidgetInfo* description) {
  delete description;
  return 1;
}
int NyRenderWindow::LineV(int, int, int, char*) {
  return 1;
}
int NyRenderWindow::LineH(int, int, int, char*) {
  return 1;
}
int NyRenderWindow::MenuCurrent(int) {
  return 1;
}
int NyRenderWindow::MenuAdd(char*, int, char*) {
  return 1;
}
int NyRenderWindow::MenuDestroy() {
  return 1;
}
int NyRenderWindow::MenuCreate(char*, int, int) {
  return 1;
}
int NyRenderWindow::DoToolbar() {
  return 1;
}
int NyRenderWindow::SetFormName(char*) {
  return 1;
}
int NyRenderWindow::Clear() {
  return 1;
}
int NyRenderWindow::ClearForm(int, int) {
  return 1;
}
int NyRenderWindow::AddText(int, int, char*, char*, int) {
  return 1;
}
int NyRenderWindow::Array(char*, int, const char*) {
  return 1;
}
int NyRenderWindow::Array(char*, int) {
  return 1;
}
int NyRenderWindow::RemoveArrayData() {
  return 1;
}
int NyRenderWindow::AddArrayData(char*, char*, char*) {
  return 1;
}
bool NyRenderWindow::NeedArrayData() {
  return true;
}
bool NyRenderWindow::ClearAllArrayData() {
  return true;
}

}  // namespace nycl
