#include <gtest/gtest.h>

#include <vector>

#include "app/CommandTable.h"

namespace kvr::test {
namespace {

using namespace app;

// The commands come from the rows of several subsystems' files: gathered, they keep the
// one menu order and toolbar order of the program, whatever file each row is in.
TEST(CommandRows, GatheredIntoTheProgramsMenuAndToolbarOrder) {
    const std::vector<std::vector<int>> menus = {
        {kCmdNew, kCmdOpen, kCmdSave, kCmdSaveAs, kCmdPrint, kCmdSaveReportPdf, kCmdExit},
        {kCmdInputs, kCmdOutputs, kCmdDiagnostics, kCmdMonitors, kCmdDisplay, kCmdCom, kCmdOptions},
        {kCmdUpload, kCmdDownload, kCmdTransmissionSetup, kCmdFactoryChannel1, kCmdFactoryChannel2,
         kCmdFactoryChannel3, kCmdFactoryMainBoard, kCmdFactoryCom, kCmdFactoryDisplay,
         kCmdQueryDevice, kCmdPassword},
        {kCmdToolbar, kCmdStatusBar, kCmdSecondaries, kCmdEnableLogging, kCmdDisableLogging,
         kCmdNewLog, kCmdTrends, kCmdLineTrace},
        {kCmdHelpTopics, kCmdContextHelp, kCmdAbout},
        {kCmdCalAllInputs, kCmdCalInput1, kCmdCalInput2, kCmdCalInput3, kCmdTestAnalogOutputs,
         kCmdCalAllOutputs, kCmdCalAllOutputs2, kCmdAllSerialNumbers, kCmdUploadUntilFirstFail,
         kCmdDownloadPreferences, kCmdKvr100Address},
        {kCmdHelp}};  // File, Configure, KVR, View, Help, Calibrate; then keyboard only
    std::vector<int> menuOrder;
    for (const auto& menu : menus) {
        menuOrder.insert(menuOrder.end(), menu.begin(), menu.end());
    }
    std::vector<int> ids;
    for (const Command& c : Commands()) {
        ids.push_back(c.id);
    }
    EXPECT_EQ(ids, menuOrder);
    EXPECT_EQ(ToolbarLayout(),
              (std::vector<int>{
                  kCmdUpload,         kCmdDownload,     kCmdSeparator,     kCmdInputs,
                  kCmdOutputs,        kCmdCalAllInputs, kCmdCalAllOutputs, kCmdSeparator,
                  kCmdMonitors,       kCmdSecondaries,  kCmdSeparator,     kCmdEnableLogging,
                  kCmdDisableLogging, kCmdNewLog,       kCmdSeparator,     kCmdDiagnostics,
                  kCmdDisplay,        kCmdCom,          kCmdQueryDevice,   kCmdSeparator,
                  kCmdAbout,          kCmdContextHelp}));
}

}  // namespace
}  // namespace kvr::test
