#include "calibration/forms/OutputCalibrationCommands.h"

#include "calibration/forms/OutputCalibrate2Dlg.h"
#include "calibration/forms/OutputCalibrationDlg.h"
#include "calibration/forms/OutputPretestDlg.h"

namespace kvr {

namespace {

// Each form takes the device lock for as long as it is open and does not open without it.
void OnTestAnalogOutputs(OutputCalibrationCommandHost& host) {
    // Implausible calibrations are replaced when the form opens.
    if (RunOutputPretest(host.FormOwner(), host.Doc())) {
        host.ConfigurationChanged();
    }
}

void OnAllOutputs(OutputCalibrationCommandHost& host) {
    if (RunOutputCalibration(host.FormOwner(), host.Doc())) {
        host.ConfigurationChanged();
    }
}

void OnAllOutputs2(OutputCalibrationCommandHost& host) {
    if (RunOutputCalibrate2(host.FormOwner(), host.Doc())) {
        host.ConfigurationChanged();
    }
}

}  // namespace

CommandRows<OutputCalibrationCommandHost> OutputCalibrationCommandRows() {
    static const CommandRow<OutputCalibrationCommandHost> kRows[] = {
        {{kCmdTestAnalogOutputs, kPopupCalibrate, "", "Test Analog Outputs",
          "Pretest the outputs setting them to Min, Nominal and Max", "", false},
         {50, 0},
         OnTestAnalogOutputs,
         nullptr,
         nullptr},
        {{kCmdCalAllOutputs, kPopupCalibrate, "", "All &Outputs",
          "Calibrate all the output channels\nCalibrate all outputs", "", false},
         {60, 24},
         OnAllOutputs,
         nullptr,
         nullptr},
        {{kCmdCalAllOutputs2, kPopupCalibrate, "", "All Outputs 2", "", "", false},
         {70, 0},
         OnAllOutputs2,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
