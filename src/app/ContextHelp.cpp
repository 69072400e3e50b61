#include "app/ContextHelp.h"

#include <QApplication>
#include <QHelpEvent>
#include <QWhatsThis>
#include <QWidget>

namespace kvr::app {

CContextHelp::CContextHelp(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool CContextHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::WhatsThis) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !widget->whatsThis().isEmpty()) {
        return false;  // Qt shows the widget's own help text
    }
    // The nearest tool tip: the control's, else its parent's (a label inside a group).
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (!w->toolTip().isEmpty()) {
            QWhatsThis::showText(static_cast<QHelpEvent*>(event)->globalPos(), w->toolTip(),
                                 widget);
            return true;
        }
    }
    return false;
}

}  // namespace kvr::app
