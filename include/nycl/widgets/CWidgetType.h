// CWidgetType: the base of the widget kinds.
#ifndef NYCL_WIDGETS_CWIDGETTYPE_H
#define NYCL_WIDGETS_CWIDGETTYPE_H

namespace nycl {

class CWidgetInfo;
class PropertyInterface;

// A widget kind knows how its description's configuration text is laid out and which widget
// property a displayed value goes to. Kinds are created by CWidgetInfo, which owns them; a
// kind borrows its description, which outlives it.
//
// Threads: a kind belongs to the thread that uses its description.
class CWidgetType {
 public:
  CWidgetType(const CWidgetType&) = delete;
  CWidgetType& operator=(const CWidgetType&) = delete;

  // Shows `value` (trimmed by CWidgetInfo::SetValue) through `target`. Returns 1 when a
  // property was set; the base sets nothing and returns 0.
  virtual int SetValue(PropertyInterface* target, char* value);
  virtual ~CWidgetType();

  // The owning description.
  CWidgetInfo* GetWidgetInfo() const { return info_; }

 protected:
  explicit CWidgetType(CWidgetInfo* info) : info_(info) {}

  // Calls target->SetWidgetProperty with writable copies of `name` and `value` (a null value
  // is passed as an empty text). Returns what the target returns, or 0 for a null target.
  static int SetProperty(PropertyInterface* target, const char* name, const char* value);

  // Copies the description's configuration or class text into `out` (see CWidgetInfo's
  // getters); false when the description has no such text.
  bool CopyConfig(char* out, int size) const;
  bool CopyClass(char* out, int size) const;

  // Token `n` (1-based, as StringParse::GetToken cuts it) of the first `limit` bytes of the
  // configuration text, copied into `out` (size + 1 bytes; an empty text when the token is
  // missing). Returns whether the description has a configuration text at all.
  bool ConfigToken(int n, int limit, char* out, int size) const;

 private:
  CWidgetInfo* info_;
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_CWIDGETTYPE_H
