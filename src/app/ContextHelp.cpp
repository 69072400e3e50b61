#include "app/ContextHelp.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QWhatsThis>
#include <QWidget>

#include "app/HelpViewer.h"

namespace kvr::app {

CContextHelp::CContextHelp(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool CContextHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // The main window's F1 and Shift+F1 are its commands' shortcuts; a key that comes
        // this far is pressed in a form, where those shortcuts do not reach.
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() != Qt::Key_F1 || widget == nullptr ||
            (key->modifiers() & ~Qt::ShiftModifier) != Qt::NoModifier ||
            widget->window()->objectName() == QStringLiteral("helpWindow")) {
            return false;  // the help window is its own help
        }
        if (key->modifiers() & Qt::ShiftModifier) {
            QWhatsThis::enterWhatsThisMode();
        } else {
            ShowHelp(widget->window(), HelpAnchorForWindow(widget->window()));
        }
        return true;
    }
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
