// The reply decoders of the link: the first byte picks the exchange, the rest is what
// the "unit" answers. A record is only taken when it is whole and checked; every value of
// a values reply decodes to a finite number or to nothing.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "FuzzLine.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "link/ChannelLink.h"
#include "measure/RecordText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    if (size < 1) {
        return 0;
    }
    const uint8_t mode = data[0];
    static VirtualClock clock;  // the pauses of a write pass at once
    ScopedSeams virtualTime(Seams{.clock = &clock});
    CSerialPort port;
    if (!fuzz::OpenOnFuzzLine(port, data + 1, size - 1)) {
        std::abort();
    }
    CChannelLink board(&port, 0);
    board.record.SetUnitAddress(mode & 3);
    switch (mode >> 6) {
        case 0: {
            const ParameterRecord before = board.record;
            if (board.ReadParameters()) {
                if (!board.record.IsValid()) {
                    std::abort();  // a record was taken that is not one
                }
                board.UpdateExtendedFromFirmware();
                (void)DescribeRecord(board.record);
            } else if (!(board.record == before)) {
                std::abort();  // a failed read changed the record in hand
            }
            break;
        }
        case 1:
        case 2:
            board.SetDeviceCode(mode >> 6 == 2 ? 1u : 0u);
            if (board.ReadValues()) {
                for (int code = 0; code <= 15; ++code) {
                    const MeasuredEntity e = EntityFromCode(code);
                    for (Winding winding : {Winding::Primary, Winding::Secondary}) {
                        double v = 0;
                        if (board.GetValue(e, winding, v) && !std::isfinite(v)) {
                            std::abort();
                        }
                    }
                    double raw = 0;
                    (void)DecodeRawValue(std::span(board.values.data(), board.valuesLength), e,
                                         (mode >> 2) & 3, raw);
                }
            }
            break;
        default:
            (void)board.QueryDevice();
            (void)board.WriteParameters();
            break;
    }
    return 0;
}
