// Every public header of the widgets subsystem.
#ifndef NYCL_WIDGETS_WIDGETS_H
#define NYCL_WIDGETS_WIDGETS_H

#endif  // NYCL_WIDGETS_WIDGETS_H
