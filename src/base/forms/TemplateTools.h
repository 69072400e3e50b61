// The template toolbar of the configuration forms: Load, Save, Save As and Print, each an
// icon with its tip as text and tool tip. What each does is the form's.
#pragma once

#include <QAction>
#include <QStyle>
#include <QToolBar>

namespace kvr {

inline QAction* AddToolAction(QToolBar* bar, QStyle::StandardPixmap icon, const char* tip) {
    QAction* a = bar->addAction(bar->style()->standardIcon(icon), QString::fromUtf8(tip));
    a->setToolTip(QString::fromUtf8(tip));
    return a;
}

struct TemplateTools {
    QAction* load;
    QAction* save;
    QAction* saveAs;
    QAction* print;
};

inline TemplateTools AddTemplateTools(QToolBar* bar) {
    return {AddToolAction(bar, QStyle::SP_DialogOpenButton, "Load a template file"),
            AddToolAction(bar, QStyle::SP_DialogSaveButton, "Save a template file"),
            AddToolAction(bar, QStyle::SP_DriveFDIcon, "Save a template file as ..."),
            AddToolAction(bar, QStyle::SP_FileDialogDetailedView, "Print the current settings.")};
}

}  // namespace kvr
