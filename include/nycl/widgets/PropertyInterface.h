// PropertyInterface: the host's setter for widget properties.
#ifndef NYCL_WIDGETS_PROPERTYINTERFACE_H
#define NYCL_WIDGETS_PROPERTYINTERFACE_H

namespace nycl {

// Implemented by the host for the widget a field value is displayed in; a widget kind
// (CWidgetType) calls SetWidgetProperty with the property its kind shows values in.
class PropertyInterface {
 public:
  virtual ~PropertyInterface();
  // Sets property `name` of the widget to `value`. Both texts are writable copies that the
  // library owns and that stay valid only during the call. Returns 1 when handled; the base
  // handles nothing and returns 0.
  virtual int SetWidgetProperty(char* name, char* value);
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_PROPERTYINTERFACE_H
