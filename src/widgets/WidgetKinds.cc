#include "nycl/widgets/WidgetKinds.h"

#include <climits>

namespace nycl {

namespace {

// Token getters of these kinds read the whole configuration (bounded only by `size`).
constexpr int kNoLimit = INT_MAX;

}  // namespace

int CBMPWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "ConfigString", value);
  return 1;
}

bool CBMPWidgetType::GetKeyPress(char* out, int size) const {
  return ConfigToken(2, kNoLimit, out, size);
}

bool CBMPWidgetType::GetFileName(char* out, int size) const {
  return ConfigToken(1, kNoLimit, out, size);
}

int CCHECKWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "Label", value);
  return 1;
}

int CRADIOWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "value", value);
  return 1;
}

int CCOMBOWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "Value", value);
  return 1;
}

int CLABELWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "ConfigString", value);
  return 1;
}

int CHOTLINKWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "ConfigString", value);
  return 1;
}

int CFILEBROWSERWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "Label", value);
  SetProperty(target, "ConfigString", value);
  return 1;
}

bool CFILEBROWSERWidgetType::GetFileName(char* out, int size) const {
  return ConfigToken(1, kNoLimit, out, size);
}

bool CFILEBROWSERWidgetType::GetKeyPress(char* out, int size) const {
  return ConfigToken(2, kNoLimit, out, size);
}

int CCALENDARWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "Label", value);
  return 1;
}

bool CCALENDARWidgetType::GetFileName(char* out, int size) const {
  return ConfigToken(1, kNoLimit, out, size);
}

bool CCALENDARWidgetType::GetKeyPress(char* out, int size) const {
  return ConfigToken(2, kNoLimit, out, size);
}

int CBROWSERWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "Text", value);
  return 1;
}

int CIMAGEWidgetType::SetValue(PropertyInterface* target, char* value) {
  if (target == nullptr) return 0;
  SetProperty(target, "ConfigString", value);
  return 1;
}

bool CIMAGEWidgetType::GetFileName(char* out, int size) const {
  return ConfigToken(1, kNoLimit, out, size);
}

}  // namespace nycl
