// The common render window: its place in the resource file, its form and its screen array.
#include "nycl/state/NyCommonRenderWindow.h"

#include <cctype>
#include <string>

#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "nycl/state/NyCommonDataState.h"
#include "state/StateLog.h"

namespace nycl {

namespace {

ResInfo* CopyOf(const ResInfo* query) {
  return query != nullptr ? new ResInfo(*query) : nullptr;
}

}  // namespace

NyCommonRenderWindow::NyCommonRenderWindow(const char* name, int a, int b, int c, int d,
                                           const char* text, NyDataState* state, int e)
    : NyRenderWindow(name, a, b, c, d, text, state, e),
      m_resinfo(nullptr),
      formInfo(nullptr),
      needArrayData(false),
      queriedFile(nullptr) {
  auto* common = dynamic_cast<NyCommonDataState*>(state);
  const char* application = common != nullptr ? common->GetApplicationName() : nullptr;
  if (application == nullptr) return;

  std::string upperApplication = application;
  for (char& ch : upperApplication)
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const unsigned int applicationAtom = Atom::Atomize(upperApplication.c_str());
  const unsigned int windowAtom = Atom::Atomize(this->name != nullptr ? this->name : "");
  if (ResFile* resources = common->GetResFile()) {
    m_resinfo = resources->LocateResourceData(applicationAtom, windowAtom, 0u);
    queriedFile = resources;
  }
  LogTo(dataState, "Tossick", "l_tmp=", upperApplication.c_str());
  LogTo(dataState, "Tossick", "l_m_windowname=", this->name);
  if (m_resinfo == nullptr) LogTo(dataState, "Tossick", "ERROR", "m_resinfo==NULL");
}

NyCommonRenderWindow::NyCommonRenderWindow()
    : m_resinfo(nullptr), formInfo(nullptr), needArrayData(false), queriedFile(nullptr) {}

// Each copy holds queries of its own, so no two windows ever delete the same one.
NyCommonRenderWindow::NyCommonRenderWindow(const NyCommonRenderWindow& other)
    : NyRenderWindow(other),
      m_resinfo(CopyOf(other.m_resinfo)),
      formInfo(CopyOf(other.formInfo)),
      arrayInfo(other.arrayInfo),
      needArrayData(other.needArrayData),
      queriedFile(other.queriedFile) {}

NyCommonRenderWindow& NyCommonRenderWindow::operator=(const NyCommonRenderWindow& other) {
  if (this == &other) return *this;
  NyRenderWindow::operator=(other);
  ResInfo* window = CopyOf(other.m_resinfo);
  ResInfo* form = CopyOf(other.formInfo);
  delete m_resinfo;
  delete formInfo;
  m_resinfo = window;
  formInfo = form;
  arrayInfo = other.arrayInfo;
  needArrayData = other.needArrayData;
  queriedFile = other.queriedFile;
  return *this;
}

NyCommonRenderWindow::~NyCommonRenderWindow() {
  delete m_resinfo;
  delete formInfo;
}

// Without a window query the form query is empty, and the log says why.
int NyCommonRenderWindow::SetFormName(char* formName) {
  delete formInfo;
  formInfo = nullptr;
  LogTo(dataState, "Tossick", "NyCommonRenderWindow::SetFormName name=", formName);
  if (m_resinfo == nullptr) {
    LogTo(dataState, "Tossick", "NyCommonRenderWindow::SetFormName ", "ERROR m_resinfo == NULL");
  }
  formInfo = new ResInfo(m_resinfo, formName != nullptr ? Atom::Atomize(formName) : 0u);
  return 1;
}

int NyCommonRenderWindow::Array(char* type, int maxLength) {
  arrayInfo.SetType(type);
  arrayInfo.SetMaxLength(maxLength);
  LogTo(dataState, "Tossick", "NyCommonRenderWindow", "FGL_ARRAY");
  LogTo(dataState, "Tossick", "NyCommonRenderWindow", type);
  if (arrayInfo.isDisplayArray()) {
    LogTo(dataState, "Tossick", "NyCommonRenderWindow", "WE ARE A DISPLAY ARRAY HERE");
    needArrayData = false;
  } else {
    LogTo(dataState, "Tossick", "NyCommonRenderWindow", "WE ARE NOT A DISPLAT ARRAY HERE");
    needArrayData = true;
  }
  return 1;
}

int NyCommonRenderWindow::RemoveArrayData() {
  LogTo(dataState, "TOSSICK", "ARRAYDATA_NyCommonRenderWindow", "REMOVING DATA");
  arrayInfo.RemoveArrayData();
  return 1;
}

int NyCommonRenderWindow::AddArrayData(char* value, char* fieldName, char* dataType) {
  LogTo(dataState, "TOSSICK", "ARRAYDATA_NyCommonRenderWindow", "AddArayData");
  LogTo(dataState, "TOSSICK", "ARRAYDATA_NyCommonRenderWindow", value);
  LogTo(dataState, "TOSSICK", "ARRAYDATA_NyCommonRenderWindow", fieldName);
  LogTo(dataState, "TOSSICK", "ARRAYDATA_NyCommonRenderWindow", dataType);
  arrayInfo.AddArrayData(value, fieldName, dataType);
  return 1;
}

bool NyCommonRenderWindow::NeedArrayData() {
  return needArrayData;
}

// The host calls this once it fetched the data; the rows stay.
bool NyCommonRenderWindow::ClearAllArrayData() {
  needArrayData = false;
  return true;
}

const ArrayInfo* NyCommonRenderWindow::GetArrayInfo() {
  return &arrayInfo;
}

}  // namespace nycl
