// The widget kinds other than the button: each sends a displayed value to the property its
// widget shows it in, and some read parts of their description's configuration.
//
// Every getter below writes into `out`, which must hold size + 1 bytes, and returns whether
// the description has the text it reads (its configuration, or its class for GetClass). A
// token getter copies token n of the configuration (as StringParse::GetToken cuts it), or an
// empty text when the configuration has fewer tokens.
//
// Every SetValue that sets properties returns 1; with a null target it sets nothing and
// returns 0.
#ifndef NYCL_WIDGETS_WIDGETKINDS_H
#define NYCL_WIDGETS_WIDGETKINDS_H

#include "nycl/widgets/CWidgetType.h"

namespace nycl {

// BMP and FIELD_BMP: a bitmap whose configuration is a file name and a key press.
class CBMPWidgetType : public CWidgetType {
 public:
  explicit CBMPWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "ConfigString".
  int SetValue(PropertyInterface* target, char* value) override;
  // Token 2.
  virtual bool GetKeyPress(char* out, int size) const;
  // Token 1.
  virtual bool GetFileName(char* out, int size) const;
};

// CHECK: a check box.
class CCHECKWidgetType : public CWidgetType {
 public:
  explicit CCHECKWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "Label".
  int SetValue(PropertyInterface* target, char* value) override;
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
  bool GetClass(char* out, int size) const { return CopyClass(out, size); }
};

// RADIO: a radio button group.
class CRADIOWidgetType : public CWidgetType {
 public:
  explicit CRADIOWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "value" (lower case).
  int SetValue(PropertyInterface* target, char* value) override;
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
  bool GetClass(char* out, int size) const { return CopyClass(out, size); }
};

// COMBO: a combo box.
class CCOMBOWidgetType : public CWidgetType {
 public:
  explicit CCOMBOWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "Value".
  int SetValue(PropertyInterface* target, char* value) override;
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
  bool GetClass(char* out, int size) const { return CopyClass(out, size); }
};

// LABEL: a static text; its description keeps the label text as its configuration.
class CLABELWidgetType : public CWidgetType {
 public:
  explicit CLABELWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "ConfigString".
  int SetValue(PropertyInterface* target, char* value) override;
  virtual bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
};

// ACTIVE/X: shows no values.
class CACTIVEXWidgetType : public CWidgetType {
 public:
  explicit CACTIVEXWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
};

// DOCUMENT: shows no values.
class CDOCUMENTWidgetType : public CWidgetType {
 public:
  explicit CDOCUMENTWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
};

// HOTLINK: a link text.
class CHOTLINKWidgetType : public CWidgetType {
 public:
  explicit CHOTLINKWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "ConfigString".
  int SetValue(PropertyInterface* target, char* value) override;
  virtual bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
};

// FILEBROWSER: a file name entry with a browse button.
class CFILEBROWSERWidgetType : public CWidgetType {
 public:
  explicit CFILEBROWSERWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "Label", then "ConfigString".
  int SetValue(PropertyInterface* target, char* value) override;
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
  bool GetClass(char* out, int size) const { return CopyClass(out, size); }
  // Token 1.
  bool GetFileName(char* out, int size) const;
  // Token 2.
  bool GetKeyPress(char* out, int size) const;
};

// CALENDAR: a date entry with a calendar.
class CCALENDARWidgetType : public CWidgetType {
 public:
  explicit CCALENDARWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "Label".
  int SetValue(PropertyInterface* target, char* value) override;
  bool GetConfig(char* out, int size) const { return CopyConfig(out, size); }
  bool GetClass(char* out, int size) const { return CopyClass(out, size); }
  // Token 1.
  bool GetFileName(char* out, int size) const;
  // Token 2.
  bool GetKeyPress(char* out, int size) const;
};

// BROWSER: an embedded web browser.
class CBROWSERWidgetType : public CWidgetType {
 public:
  explicit CBROWSERWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "Text".
  int SetValue(PropertyInterface* target, char* value) override;
};

// IMAGE: a picture whose configuration starts with its file name.
class CIMAGEWidgetType : public CWidgetType {
 public:
  explicit CIMAGEWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
  // Sets "ConfigString".
  int SetValue(PropertyInterface* target, char* value) override;
  // Token 1.
  virtual bool GetFileName(char* out, int size) const;
};

// A password entry; no type word selects it, and it shows no values.
class CPASSWORDWidgetType : public CWidgetType {
 public:
  explicit CPASSWORDWidgetType(CWidgetInfo* info) : CWidgetType(info) {}
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_WIDGETKINDS_H
