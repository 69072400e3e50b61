// The commands of subsystems not built yet (diagnostics,
// calibration, printing): they stay in the menu and the
// toolbar, disabled, until their subsystem contributes them with a handler from a file of
// its own, and their rows leave this file.
#include "app/CommandTable.h"

namespace kvr::app {

CommandRows<CQRLView> PlannedCommandRows() {
    static const CommandRow<CQRLView> kRows[] = {
        {{kCmdDiagnostics, kPopupConfigure, "", "Dia&gnostics...",
          "Perform the KVR Diagnostics\nPerform diagnostics", "", false},
         {30, 51},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalAllInputs, kPopupCalibrate, "", "All &Inputs",
          "Calibrate all the input channels\nCalibrate all inputs", "", false},
         {10, 23},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalInput1, kPopupCalibrate, "", "Input &1",
          "Calibrate the input channel 1\nCalibrate input 1", "", false},
         {20, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalInput2, kPopupCalibrate, "", "Input &2",
          "Calibrate the input channel 2\nCalibrate input 2", "", false},
         {30, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalInput3, kPopupCalibrate, "", "Input &3",
          "Calibrate the input channel 3\nCalibrate input 3", "", false},
         {40, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdTestAnalogOutputs, kPopupCalibrate, "", "Test Analog Outputs",
          "Pretest the outputs setting them to Min, Nominal and Max", "", false},
         {50, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalAllOutputs, kPopupCalibrate, "", "All &Outputs",
          "Calibrate all the output channels\nCalibrate all outputs", "", false},
         {60, 24},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCalAllOutputs2, kPopupCalibrate, "", "All Outputs 2", "", "", false},
         {70, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdAllSerialNumbers, kPopupCalibrate, "", "All Serial Numbers", "", "", false},
         {80, 0},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdPrint, "", "", "", "Print the active document\nPrint", "Ctrl+P", false},
         {20, 0},
         nullptr,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr::app
