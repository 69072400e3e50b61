// The commands of the program's shell: options, about, help. Exit and the toolbar and
// status bar switches are run by the main frame itself (app/MainFrame.cpp).
#include <QApplication>
#include <QWhatsThis>

#include "app/CommandTable.h"
#include "app/HelpViewer.h"
#include "app/QRLView.h"
#include "app/ShellForms.h"
#include "app/ShellRules.h"
#include "document/Branding.h"
#include "report/forms/OptionsForm.h"

namespace kvr::app {

namespace {

void OnOptions(CQRLView& view) {
    COptionsForm form(view.window());
    if (form.exec() == QDialog::Accepted) {
        view.Doc().SetOperatorName(form.OperatorName());
    }
}

void OnAbout(CQRLView& view) {
    CAboutBox box(view.Doc(), TextBrandingIndex(), view.window());
    box.exec();
}

void OnHelpTopics(CQRLView& view) {
    ShowHelp(view.window(), QString());
}

void OnHelp(CQRLView& view) {
    ShowHelp(view.window(), HelpAnchorForWindow(QApplication::activeWindow()));
}

void OnContextHelp(CQRLView&) {
    QWhatsThis::enterWhatsThisMode();
}

}  // namespace

CommandRows<CQRLView> ShellCommandRows() {
    static const CommandRow<CQRLView> kRows[] = {
        {{kCmdExit, kPopupFile, "", "E&xit",
          "Quit the application; prompts to save documents\nExit", "", false},
         {50, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdOptions, kPopupConfigure, "", "O&ptions...", "KVR View options\nKVR View options", "",
          false},
         {70, 0},
         OnOptions,
         nullptr,
         nullptr},
        {{kCmdToolbar, kPopupView, "", "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", "",
          true},
         {10, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdStatusBar, kPopupView, "", "&Status Bar",
          "Show or hide the status bar\nToggle StatusBar", "", true},
         {20, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdHelpTopics, kPopupHelp, "", "&Help Topics", "List Help topics\nHelp Topics", "",
          false},
         {10, 0},
         OnHelpTopics,
         nullptr,
         nullptr},
        {{kCmdContextHelp, kPopupHelp, "", "&What's This?",
          "Display help for clicked on buttons, menus and windows\nHelp", "Shift+F1", false},
         {20, 62},
         OnContextHelp,
         nullptr,
         nullptr},
        {{kCmdAbout, kPopupHelp, "", "&About KVR View...",
          "Display program information, version number and copyright\nAbout", "", false},
         {30, 61},
         OnAbout,
         nullptr,
         nullptr},
        {{kCmdHelp, "", "", "", "Display help for current task or command\nHelp", "F1", false},
         {10, 0},
         OnHelp,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr::app
