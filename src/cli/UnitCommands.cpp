// kvrctl commands about the units' addressing.
#include <cstdio>
#include <string>
#include <vector>

#include "base/Registry.h"
#include "cli/CliCommon.h"
#include "document/QRLDoc.h"
#include "document/UnitAddressing.h"

namespace kvr::cli {

int Address(const Options& options, const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '2') {
        return UsageError("address", "the address of a single KVR 100 is 0, 1 or 2");
    }
    const int address = args[0][0] - '0';
    if (!StoreKvr100Address(address)) {
        return Fail("the address could not be stored in " + UserSettingsPath());
    }
    CQRLDoc doc;
    ApplyKvr100Address(doc, address);
    std::printf("KVR 100 address %d stored: a single KVR 100 is asked at address %d\n", address,
                address);
    if (options.settings.device.empty() && !options.portGiven) {
        return 0;  // nothing attached to ask
    }
    if (!OpenPort(options, doc.Port())) {
        return kExitFailed;
    }
    CChannelLink& kvr100 = doc.Channel(0);
    if (!kvr100.ReadParameters()) {
        if (!doc.Port().IsOpen() && !doc.Port().LastError().empty()) {
            return Fail(doc.Port().LastError());
        }
        return Fail("no KVR 100 answers at address " + std::to_string(address) + " on " +
                    PortName(doc.Port()));
    }
    std::printf("A KVR 100 answers at address %d: serial number %u, name \"%s\"\n", address,
                kvr100.record.GetSerialNumber(), TerminalText(kvr100.record.GetName()).c_str());
    return 0;
}

CommandRows UnitCommandRows() {
    static const CommandRow kRows[] = {
        {"address", 120, Address, "store the address of a single KVR 100; check that it answers",
         "usage: kvrctl [PORT OPTIONS] address 0|1|2\n"
         "\n"
         "Stores the address (0, 1 or 2) that a single KVR 100 answers on; upload, values and\n"
         "query use it when --kvr100-address is not given (a KVR 300 always keeps its boards at\n"
         "addresses 0 to 3). With port options, also checks that a KVR 100 answers there.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
