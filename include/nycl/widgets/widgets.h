// Every public header of the widgets subsystem.
#ifndef NYCL_WIDGETS_WIDGETS_H
#define NYCL_WIDGETS_WIDGETS_H

#include "nycl/widgets/ArrayInfo.h"
#include "nycl/widgets/CBUTTONWidgetType.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "nycl/widgets/CWidgetType.h"
#include "nycl/widgets/PropertyInterface.h"
#include "nycl/widgets/WidgetKinds.h"

#endif  // NYCL_WIDGETS_WIDGETS_H
