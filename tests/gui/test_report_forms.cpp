// The report commands' wiring: Ctrl+P and the output overview's Print button reach the
// operator name and the printer choice.
#include <QLineEdit>
#include <QPrintDialog>
#include <QTest>

#include "GuiTestUtil.h"
#include "app/CommandTable.h"
#include "measure/forms/OutputOverviewDlg.h"
#include "report/forms/OptionsForm.h"

namespace kvr::test {
namespace {

TEST_F(GuiTest, PrintAsksForTheOperatorThenThePrinter) {
    MakeFrame();
    ASSERT_TRUE(Action(app::kCmdPrint)->isEnabled());
    EXPECT_EQ(Action(app::kCmdPrint)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    ModalScript script;
    script
        .Then<COptionsForm>([](COptionsForm* form) {
            form->OperatorEdit()->setText(QStringLiteral("Ann"));
            form->accept();
        })
        .Then<QPrintDialog>([](QPrintDialog* dialog) { dialog->reject(); });
    frame->OnCommand(app::kCmdPrint);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(doc.OperatorName(), "Ann");
    // The request for the name, and nothing after a printer choice that was cancelled.
    EXPECT_EQ(user.Texts(),
              std::vector<std::string>{"You have not yet entered your name. Please do so now."});

    COutputOverviewDlg overview(doc, nullptr, frame->View()->FormHooks());
    overview.show();
    ASSERT_TRUE(overview.PrintAction()->isEnabled());
    ModalScript again;
    again.Then<QPrintDialog>([](QPrintDialog* dialog) { dialog->reject(); });
    overview.PrintAction()->trigger();
    EXPECT_TRUE(again.Done());
}

}  // namespace
}  // namespace kvr::test
