#include "calibration/DeviceSession.h"

#include <algorithm>

#include "link/SerialPort.h"

namespace kvr {

void SendKeepAlive(CQRLDoc& doc) {
    QuietOpenScope quiet;
    (void)doc.Channel(0).Attention(false);
}

bool DeviceSession::OutputTestOn(int channel) {
    bool ok = doc_.Channel(channel).SetOutputTest(true);
    if (doc_.GetChannels() > 1 && channel != kMainBoard) {
        ok = doc_.Channel(kMainBoard).SetOutputTest(true) && ok;
    }
    return ok;
}

void DeviceSession::OutputTestOffAll() {
    const int count = std::min<int>(doc_.GetChannels(), kChannelObjects);
    for (int i = 0; i < count; ++i) {
        (void)doc_.Channel(i).SetOutputTest(false);
    }
}

}  // namespace kvr
