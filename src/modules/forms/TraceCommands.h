// The line trace's command: "Line Trace" in the View menu shows the window or, when it is
// showing, closes it. Its host is the main view; the window belongs to the view's window.
#pragma once

#include "base/Commands.h"

class QWidget;

namespace kvr {

class LineTraceWindow;

// The window of that owner, made at the first use.
LineTraceWindow& LineTraceWindowOf(QWidget& owner);
CommandRows<QWidget> TraceCommandRows();

}  // namespace kvr
