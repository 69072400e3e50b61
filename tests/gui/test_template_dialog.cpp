// The template file form: its preview of the selected file and the OK button it allows.
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <optional>

#include "base/Seams.h"
#include "document/forms/TemplateFileDialog.h"
#include "gui/GuiTestUtil.h"

namespace kvr::test {
namespace {

class TemplateDialogTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = isolated.dir.File(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // A setup file head: signature 10103, then the description as an archive string.
    static std::string SetupHead(const std::string& description) {
        std::string bytes = {'\x77', '\x27', static_cast<char>(description.size())};
        return bytes + description + std::string(8, '\0');
    }
    // As the user types the file's name; the preview then shows `shown`, and the OK button
    // follows it.
    void Select(CTemplateFileDialog& form, const std::string& path, const char* shown) {
        auto* name = form.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QFileInfo(QString::fromStdString(path)).fileName());
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return form.Description() == QString::fromUtf8(shown) &&
                   form.AcceptButton()->isEnabled() == form.PreviewAllowsOk();
        })) << form.Description().toStdString();
    }

    IsolatedSettings isolated;
    ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
};

TEST(TemplateFilter, FiltersAndSuffixComeFromTheCallersFilter) {
    EXPECT_EQ(NameFiltersFromFilter("KVR 100/300 files (*.kvr)|*.kvr||"),
              QStringList{QStringLiteral("KVR 100/300 files (*.kvr)")});
    EXPECT_EQ(NameFiltersFromFilter("Logs|*.log|All|*.*||"),
              (QStringList{QStringLiteral("Logs (*.log)"), QStringLiteral("All (*.*)")}));
    EXPECT_EQ(DefaultSuffixFromFilter("KVR Display files (*.dsp)|*.dsp||"), QStringLiteral("dsp"));
    EXPECT_EQ(DefaultSuffixFromFilter("no pattern"), QString());
}

TEST_F(TemplateDialogTest, OpenFormPreviewsEachSelectionAndRefusesANonSetupFile) {
    const std::string good = Write("good.kvr", SetupHead("Substation 4 feeder"));
    const std::string text = Write("notes.txt", "plain words");
    const std::string bad = Write("bad.kvr", "xx");
    CTemplateFileDialog form(true, "KVR 100/300 files (*.kvr)|*.kvr||");
    form.setNameFilter(QStringLiteral("All (*)"));
    const QString folder = QString::fromStdString(isolated.dir.Path());
    form.setDirectory(folder);
    form.show();
    auto* files = form.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);  // the folder is listed before a name is typed
    ASSERT_TRUE(QTest::qWaitFor([&] { return files->rowCount(files->index(folder)) == 3; }));

    Select(form, good, "Substation 4 feeder");
    ASSERT_NE(form.AcceptButton(), nullptr);
    EXPECT_TRUE(form.AcceptButton()->isEnabled());

    Select(form, text, "Not a valid KVR View file");
    EXPECT_FALSE(form.PreviewAllowsOk());
    EXPECT_FALSE(form.AcceptButton()->isEnabled());
    form.accept();  // a key press that got past the button
    EXPECT_TRUE(form.isVisible());

    Select(form, bad, "Not a valid KVR file");
    Select(form, good, "Substation 4 feeder");
    EXPECT_TRUE(form.AcceptButton()->isEnabled());
    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(TemplateDialogTest, InstalledFormSavesWithTheTypedDescriptionAfterAskingToReplace) {
    const std::string existing = Write("old.kvr", SetupHead("old text"));
    std::optional<ScopedSeams> installed(
        Seams{.templateFileDialog = QtTemplateFileDialog(nullptr)});
    ModalScript script;
    script.Then<CTemplateFileDialog>([&](CTemplateFileDialog* form) {
        EXPECT_EQ(form->Description(), QStringLiteral("handed in"));
        form->SetDescription(QStringLiteral("typed by the user"));
        form->accept();
    });
    user.answers = {MsgAnswer::Yes};
    std::string path = existing;
    std::string description = "handed in";
    const bool ok =
        RunTemplateFileDialog(false, "KVR 100/300 files (*.kvr)|*.kvr||", path, description);
    installed.reset();
    EXPECT_TRUE(script.Done());
    ASSERT_TRUE(ok);
    EXPECT_EQ(path, existing);
    EXPECT_EQ(description, "typed by the user");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "old.kvr already exists.\nDo you want to replace it?");
}

}  // namespace
}  // namespace kvr::test
