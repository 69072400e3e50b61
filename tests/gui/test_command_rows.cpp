#include <gtest/gtest.h>

#include <vector>

#include "app/CommandTable.h"

namespace kvr::test {
namespace {

using namespace app;

// The commands come from the rows of several subsystems' files: gathered, they keep the
// one menu order and toolbar order of the program, whatever file each row is in.
TEST(CommandRows, GatheredIntoTheProgramsMenuAndToolbarOrder) {
    const std::vector<int> menuOrder = {kCmdNew,
                                        kCmdOpen,
                                        kCmdSave,
                                        kCmdSaveAs,
                                        kCmdPrint,
                                        kCmdSaveReportPdf,
                                        kCmdExit,  // File
                                        kCmdInputs,
                                        kCmdOutputs,
                                        kCmdDiagnostics,
                                        kCmdMonitors,
                                        kCmdDisplay,
                                        kCmdCom,
                                        kCmdOptions,  // Configure
                                        kCmdUpload,
                                        kCmdDownload,
                                        kCmdTransmissionSetup,
                                        kCmdFactoryChannel1,
                                        kCmdFactoryChannel2,
                                        kCmdFactoryChannel3,
                                        kCmdFactoryMainBoard,
                                        kCmdFactoryCom,
                                        kCmdFactoryDisplay,
                                        kCmdQueryDevice,
                                        kCmdPassword,  // KVR
                                        kCmdToolbar,
                                        kCmdStatusBar,
                                        kCmdSecondaries,
                                        kCmdEnableLogging,
                                        kCmdDisableLogging,
                                        kCmdNewLog,
                                        kCmdTrends,
                                        kCmdLineTrace,  // View
                                        kCmdHelpTopics,
                                        kCmdContextHelp,
                                        kCmdAbout,  // Help
                                        kCmdCalAllInputs,
                                        kCmdCalInput1,
                                        kCmdCalInput2,
                                        kCmdCalInput3,
                                        kCmdTestAnalogOutputs,
                                        kCmdCalAllOutputs,
                                        kCmdCalAllOutputs2,
                                        kCmdAllSerialNumbers,
                                        kCmdUploadUntilFirstFail,
                                        kCmdDownloadPreferences,
                                        kCmdKvr100Address,  // Calibrate
                                        kCmdHelp};          // keyboard only
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
