#include "nycl/widgets/PropertyInterface.h"

namespace nycl {

PropertyInterface::~PropertyInterface() = default;

int PropertyInterface::SetWidgetProperty(char* /*name*/, char* /*value*/) {
  return 0;
}

}  // namespace nycl
