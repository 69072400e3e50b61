// kvrctl commands about the units' addressing.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "document/QRLDoc.h"
#include "document/UnitAddressing.h"

namespace kvr::cli {

int Address(const Options& options, const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '2') {
        return Fail("usage: kvrctl address 0|1|2 (the address of a single KVR 100)");
    }
    const int address = args[0][0] - '0';
    CQRLDoc doc;
    ApplyKvr100Address(doc, address);
    std::printf("KVR 100 address %d: channel objects 0, 1, 2 use addresses %d, %d, %d\n", address,
                doc.Channel(0).record.GetUnitAddress(), doc.Channel(1).record.GetUnitAddress(),
                doc.Channel(2).record.GetUnitAddress());
    if (options.settings.device.empty() && !options.portGiven) {
        return 0;  // nothing attached to ask
    }
    if (!OpenPort(options, doc.Port())) {
        return 1;
    }
    CChannelLink& kvr100 = doc.Channel(0);
    if (!kvr100.ReadParameters()) {
        if (!doc.Port().IsOpen() && !doc.Port().LastError().empty()) {
            return Fail(doc.Port().LastError());
        }
        return Fail("no KVR 100 answers at address " + std::to_string(address));
    }
    std::printf("A KVR 100 answers at address %d: serial number %u, name \"%s\"\n", address,
                kvr100.record.GetSerialNumber(), kvr100.record.GetName().c_str());
    return 0;
}

}  // namespace kvr::cli
