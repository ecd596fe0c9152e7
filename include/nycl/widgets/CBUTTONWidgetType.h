// CBUTTONWidgetType: the push-button widget kind.
#ifndef NYCL_WIDGETS_CBUTTONWIDGETTYPE_H
#define NYCL_WIDGETS_CBUTTONWIDGETTYPE_H

#include <memory>

#include "nycl/widgets/CWidgetType.h"

namespace nycl {

// A button's configuration is a key action followed by an optional default label; by the
// time the kind is built its description keeps only the key action. The button remembers the
// last value displayed in it (its label) and a default label that is shown once, the first
// time an empty value is displayed.
class CBUTTONWidgetType : public CWidgetType {
 public:
  // Starts with no label, unless the description's configuration (its first 2000 bytes)
  // holds a whitespace byte: then the text after the first one is the label.
  explicit CBUTTONWidgetType(CWidgetInfo* info);
  ~CBUTTONWidgetType() override;

  // Stores `value` as the label, then (with a non-null target) sets "Label" to it, and sets
  // "Label" a second time: to the default label when one is pending and the value is empty
  // (which ends the pending state), else to the value again. Returns 1.
  int SetValue(PropertyInterface* target, char* value) override;

  // Makes a copy of `text` (null reads as empty) the pending default label. Returns 1.
  virtual int SetDefaultLabel(const char* text);

  // The key action: the first token of the first 200 bytes of the configuration, copied into
  // `out` (size + 1 bytes). Returns whether the description has a configuration.
  bool GetKeyAction(char* out, int size) const;

  // Copies the label, or when there is none the default label, into `out` (size + 1 bytes;
  // emptied first). Returns 1 if either existed, else 0.
  int GetButtonLabel(char* out, int size) const;

 private:
  bool pendingDefault_ = false;
  std::unique_ptr<char[]> defaultLabel_;
  std::unique_ptr<char[]> label_;
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_CBUTTONWIDGETTYPE_H
