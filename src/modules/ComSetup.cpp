#include "modules/ComSetup.h"

#include <algorithm>

#include "base/Bytes.h"
#include "base/Clock.h"
#include "base/UserSeam.h"
#include "modules/DisplayLink.h"  // the module reply wait and attempts

namespace kvr {

namespace {

size_t OffsetOf(ComChoice which) {
    switch (which) {
        case ComChoice::AttachedUnit:
            return ComSetupRecord::kAttachedUnit;
        case ComChoice::Baud:
            return ComSetupRecord::kBaud;
        case ComChoice::Parity:
            return ComSetupRecord::kParity;
        case ComChoice::DataBits:
            return ComSetupRecord::kDataBits;
        case ComChoice::StopBits:
            return ComSetupRecord::kStopBits;
        case ComChoice::Handshake:
            return ComSetupRecord::kHandshake;
        case ComChoice::Protocol:
            return ComSetupRecord::kProtocol;
    }
    return ComSetupRecord::kProtocol;
}

// The choice of a record byte, -1 when it lies outside the list.
int ChoiceOf(ComChoice which, uint8_t byte) {
    int choice = byte;
    if (which == ComChoice::AttachedUnit) {
        choice = byte == 1 ? 0 : byte == 3 ? 1 : -1;
    } else if (which == ComChoice::DataBits) {
        choice = byte - 7;
    }
    const int size = static_cast<int>(ComChoiceTexts(which).size());
    return choice >= 0 && choice < size ? choice : -1;
}

uint8_t ByteOf(ComChoice which, int choice) {
    if (which == ComChoice::AttachedUnit) {
        return static_cast<uint8_t>(choice * 2 + 1);
    }
    if (which == ComChoice::DataBits) {
        return static_cast<uint8_t>(choice + 7);
    }
    return static_cast<uint8_t>(choice);
}

}  // namespace

int32_t ComSetupRecord::SerialNumber() const {
    return GetS32(bytes.data());
}

void ComSetupRecord::SetSerialNumber(int32_t serial) {
    PutS32(bytes.data(), serial);
}

std::array<uint8_t, kComRecordSize + 2> ComWriteFrame(const ComSetupRecord& record) {
    std::array<uint8_t, kComRecordSize + 2> frame{};
    frame[0] = kWriteComSetup;
    std::copy(record.bytes.begin(), record.bytes.end(), frame.begin() + 1);
    frame.back() = Checksum(frame.data(), frame.size() - 1);
    return frame;
}

bool CComLink::ReadComSetup(ComSetupRecord& record, bool quiet) {
    quiet = quiet || OpensQuietly();
    CSerialPort* port = Port();
    if (port == nullptr || !port->EnsureOpen()) {
        if (!quiet) {
            AppMessageBox("Failed to open communications port to the KVR Com device!",
                          MsgIcon::Warning);
        }
        return false;
    }
    for (int attempt = 0; attempt < kModuleReadAttempts; ++attempt) {
        BusyMessage busy("Reading KVR Com...");
        port->Purge();
        port->WriteByte(kReadComSetup);
        GetClock().SleepMs(kModuleReplyWaitMs);
        uint8_t reply[kComReadReply] = {};
        if (port->ReadBuffer(reply, sizeof reply) == sizeof reply) {
            std::copy(reply + 1, reply + 1 + kComRecordSize, record.bytes.begin());
            return true;
        }
    }
    if (!quiet) {
        AppMessageBox("Failed to Read KVR Com Parameters Correctly!", MsgIcon::Warning);
    }
    return false;
}

bool CComLink::WriteComSetup(const ComSetupRecord& record) {
    if (!Ready()) {
        return false;
    }
    const auto frame = ComWriteFrame(record);
    return SendFrame(frame);
}

const std::vector<std::string>& ComChoiceTexts(ComChoice which) {
    static const std::vector<std::string> kLists[kComChoiceLists] = {
        {"KVR 100", "KVR 300"},
        {"19200", "9600", "4800", "2400", "1200"},
        {"None", "Odd", "Even"},
        {"7", "8"},
        {"1.5", "1", "2"},
        {"None", "Hardware", "Software"},
        {"Modbus ASCII", "Modbus RTU", "Modbus Plus", "DNP 3.0"},
    };
    return kLists[static_cast<size_t>(which)];
}

uint8_t ComChoiceByte(const ComSetupRecord& record, ComChoice which) {
    return record.bytes[OffsetOf(which)];
}

ComFields ComFieldsFromRecord(const ComSetupRecord& record) {
    ComFields f;
    f.serialNumber = record.SerialNumber();
    f.slaveId = record.bytes[ComSetupRecord::kSlaveId];
    for (int i = 0; i < kComChoiceLists; ++i) {
        const auto which = static_cast<ComChoice>(i);
        f.Choice(which) = ChoiceOf(which, record.bytes[OffsetOf(which)]);
    }
    return f;
}

ComSetupRecord ComRecordFromFields(const ComFields& fields, const ComSetupRecord& original) {
    ComSetupRecord r = original;
    r.SetSerialNumber(fields.serialNumber);
    r.bytes[ComSetupRecord::kSlaveId] = static_cast<uint8_t>(std::clamp(fields.slaveId, 0, 255));
    for (int i = 0; i < kComChoiceLists; ++i) {
        const auto which = static_cast<ComChoice>(i);
        const int choice = fields.Choice(which);
        if (choice >= 0 && choice < static_cast<int>(ComChoiceTexts(which).size())) {
            r.bytes[OffsetOf(which)] = ByteOf(which, choice);
        }
    }
    return r;
}

bool ParseSlaveId(const std::string& text, int& value) {
    size_t b = text.find_first_not_of(" \t");
    size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos || e - b + 1 > 3) {
        return false;
    }
    int v = 0;
    for (size_t i = b; i <= e; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        v = v * 10 + (text[i] - '0');
    }
    if (v > 255) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace kvr
