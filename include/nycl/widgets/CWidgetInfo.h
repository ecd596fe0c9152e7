// CWidgetInfo: a parsed widget description.
#ifndef NYCL_WIDGETS_CWIDGETINFO_H
#define NYCL_WIDGETS_CWIDGETINFO_H

#include <memory>

namespace nycl {

class CWidgetType;
class PropertyInterface;

// Codes of the widget type words, as GetWidgetType reports them.
enum WidgetTypeCode {
  kWidgetEdit = 0,  // a word not in the table, or no name
  kWidgetBmp = 1,
  kWidgetButton = 2,
  kWidgetCheck = 3,
  kWidgetRadio = 4,
  kWidgetFieldBmp = 5,
  kWidgetCombo = 6,
  kWidgetLabel = 7,
  kWidgetActiveX = 8,
  kWidgetDocument = 9,
  kWidgetHotlink = 10,
  kWidgetFileBrowser = 11,
  kWidgetCalendar = 12,
  kWidgetBrowser = 13,
  kWidgetImage = 14,
};

// The description of the widget a form field is shown as: a type word ("BUTTON", "check",
// ...), a configuration text, an options text and a widget class, and the kind object the
// type word selects. The description owns copies of its texts and its kind object; a
// description handed to a render window's AddItem becomes the window's.
//
// Every text getter copies at most `size` bytes into `out` and puts the terminating NUL at
// index min(length, size), so `out` must hold size + 1 bytes; it returns whether the text
// exists and leaves `out` untouched when it does not (or when `out` is null or size < 0).
//
// Threads: a description belongs to one thread at a time.
class CWidgetInfo {
 public:
  // Copies the texts in the order name, options, config, class; a null argument leaves that
  // text and every later one in this order absent. A BUTTON's config is cut to its first
  // token (the second, when present, becomes the button's default label); a LABEL's config
  // is cut to the text within its quotes or braces, or loses its leading blanks.
  CWidgetInfo(const char* name, const char* config, const char* options, const char* widgetClass);
  virtual ~CWidgetInfo();

  CWidgetInfo(const CWidgetInfo&) = delete;
  CWidgetInfo& operator=(const CWidgetInfo&) = delete;

  bool GetWidgetName(char* out, int size) const;
  bool GetOptions(char* out, int size) const;
  bool GetConfig(char* out, int size) const;
  bool GetWidgetClass(char* out, int size) const;

  // The WidgetTypeCode of the type word, compared without regard to case.
  int GetWidgetType() const;
  // The kind object, owned by this description; null when GetWidgetType() is 0.
  CWidgetType* GetWidgetTypeClass() const { return kind_.get(); }

  bool IsBmp() const { return GetWidgetType() == kWidgetBmp; }
  bool IsButton() const { return GetWidgetType() == kWidgetButton; }
  bool IsCheck() const { return GetWidgetType() == kWidgetCheck; }
  bool IsRadio() const { return GetWidgetType() == kWidgetRadio; }
  bool IsFieldBmp() const { return GetWidgetType() == kWidgetFieldBmp; }
  bool IsCombo() const { return GetWidgetType() == kWidgetCombo; }
  bool IsActiveX() const { return GetWidgetType() == kWidgetActiveX; }
  bool IsDocument() const { return GetWidgetType() == kWidgetDocument; }
  bool IsHotlink() const { return GetWidgetType() == kWidgetHotlink; }
  bool IsFileBrowser() const { return GetWidgetType() == kWidgetFileBrowser; }
  bool IsCalendar() const { return GetWidgetType() == kWidgetCalendar; }
  // True for every known type word.
  bool IsEdit() const { return GetWidgetType() != kWidgetEdit; }

  // Shows `value` (null reads as empty), stripped of leading and trailing whitespace, through
  // the kind object and `target`. Returns 1; 0 when the description has no kind object, in
  // which case nothing is called.
  int SetValue(PropertyInterface* target, const char* value);

  // The stored texts, null when absent; valid while this description lives.
  const char* NameText() const { return name_.get(); }
  const char* OptionsText() const { return options_.get(); }
  const char* ConfigText() const { return config_.get(); }
  const char* WidgetClassText() const { return class_.get(); }

 private:
  std::unique_ptr<CWidgetType> kind_;
  std::unique_ptr<char[]> name_;
  std::unique_ptr<char[]> options_;
  std::unique_ptr<char[]> config_;
  std::unique_ptr<char[]> class_;
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_CWIDGETINFO_H
