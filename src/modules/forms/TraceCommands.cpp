#include "modules/forms/TraceCommands.h"

#include "modules/forms/LineTraceWindow.h"

namespace kvr {

namespace {

LineTraceWindow* FindWindow(QWidget& host) {
    return host.window()->findChild<LineTraceWindow*>(QStringLiteral("lineTrace"),
                                                      Qt::FindDirectChildrenOnly);
}

void OnLineTrace(QWidget& host) {
    LineTraceWindow& window = LineTraceWindowOf(host);
    if (window.isVisible()) {
        window.close();
        return;
    }
    window.show();
    window.raise();
    window.activateWindow();
}

bool LineTraceShown(QWidget& host) {
    const LineTraceWindow* window = FindWindow(host);
    return window != nullptr && window->isVisible();
}

}  // namespace

LineTraceWindow& LineTraceWindowOf(QWidget& owner) {
    if (LineTraceWindow* window = FindWindow(owner)) {
        return *window;
    }
    return *new LineTraceWindow(owner.window());
}

CommandRows<QWidget> TraceCommandRows() {
    static const CommandRow<QWidget> kRows[] = {
        {{kCmdLineTrace, kPopupView, "", "&Line Trace",
          "List every exchange on the serial line, decoded\nLine trace", "", true},
         {90, 0},
         OnLineTrace,
         nullptr,
         LineTraceShown},
    };
    return kRows;
}

}  // namespace kvr
