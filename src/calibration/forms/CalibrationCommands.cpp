#include "calibration/forms/CalibrationCommands.h"

#include "calibration/forms/DiagnosticsDlg.h"
#include "calibration/forms/InputCalibrationDlg.h"
#include "calibration/forms/SerialNumbersDlg.h"

namespace kvr {

namespace {

// Each form takes the document's device lock when it opens and does nothing without it.
void Calibrate(CalibrationCommandHost& host, int first, int last) {
    if (RunInputCalibration(host.FormOwner(), host.Doc(), first, last)) {
        host.ConfigurationChanged();
    }
}

void OnAllInputs(CalibrationCommandHost& host) {
    int first = 0;
    int last = 0;
    InputCalibration::AllInputsRange(host.Doc(), first, last);
    Calibrate(host, first, last);
}

void OnInput1(CalibrationCommandHost& host) {
    Calibrate(host, 0, 0);
}

void OnInput2(CalibrationCommandHost& host) {
    Calibrate(host, 1, 1);
}

void OnInput3(CalibrationCommandHost& host) {
    Calibrate(host, 2, 2);
}

void OnDiagnostics(CalibrationCommandHost& host) {
    RunDiagnostics(host.FormOwner(), host.Doc());
    host.ConfigurationChanged();  // a downloaded serial number changed a record
}

void OnAllSerialNumbers(CalibrationCommandHost& host) {
    RunSetAllSerialNumbers(host.FormOwner(), host.Doc());
    host.ConfigurationChanged();
}

}  // namespace

std::function<void(QWidget* parent, int channel)> ChannelCalibrationOpener(CQRLDoc& doc) {
    return [&doc](QWidget* parent, int channel) {
        (void)RunInputCalibration(parent, doc, channel, channel);
    };
}

CommandRows<CalibrationCommandHost> CalibrationCommandRows() {
    static const CommandRow<CalibrationCommandHost> kRows[] = {
        {{kCmdDiagnostics, kPopupConfigure, "", "Dia&gnostics...",
          "Perform the KVR Diagnostics\nPerform diagnostics", "", false},
         {30, 51},
         OnDiagnostics,
         nullptr,
         nullptr},
        {{kCmdCalAllInputs, kPopupCalibrate, "", "All &Inputs",
          "Calibrate all the input channels\nCalibrate all inputs", "", false},
         {10, 23},
         OnAllInputs,
         nullptr,
         nullptr},
        {{kCmdCalInput1, kPopupCalibrate, "", "Input &1",
          "Calibrate the input channel 1\nCalibrate input 1", "", false},
         {20, 0},
         OnInput1,
         nullptr,
         nullptr},
        {{kCmdCalInput2, kPopupCalibrate, "", "Input &2",
          "Calibrate the input channel 2\nCalibrate input 2", "", false},
         {30, 0},
         OnInput2,
         nullptr,
         nullptr},
        {{kCmdCalInput3, kPopupCalibrate, "", "Input &3",
          "Calibrate the input channel 3\nCalibrate input 3", "", false},
         {40, 0},
         OnInput3,
         nullptr,
         nullptr},
        {{kCmdAllSerialNumbers, kPopupCalibrate, "", "All Serial Numbers", "", "", false},
         {80, 0},
         OnAllSerialNumbers,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
