// The rules of the "KVR Output Configuration" form: twelve output ports, four per
// measuring channel, each with a card type list and a "Configure" button. A pick in a
// list is written into the channel's record at once.
#pragma once

#include <array>
#include <string>

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr const char* kOutputOverviewTitle = "KVR Output Configuration";
inline constexpr int kOutputPorts = 12;
inline constexpr int kPortsPerChannel = 4;
inline constexpr int kCardTypeEntries = 6;  // card types 0 to 2, each with and without Plus
inline constexpr unsigned kConfigureBeepHz = 2000;
inline constexpr unsigned kConfigureBeepMs = 100;

inline constexpr int OutputChannel(int output) {
    return output / kPortsPerChannel;
}
inline constexpr int OutputPort(int output) {
    return output % kPortsPerChannel;
}
// "Output 1" to "Output 12" for output 0 to 11.
std::string OutputCaption(int output);
// The list entries: "Not Available", "Not Available (Plus)", "Analog Output", ...; entry
// k is card type k / 2 with the Plus flag k mod 2. Null outside 0 to 5.
const char* CardTypeEntry(int entry);
// The entry of a stored card type and Plus flag; -1 for a type the list does not offer
// (3, RS485).
int CardTypeEntryOf(int cardType, bool plus);

enum class OutputForm { None, Analog, Relay };

class OutputOverview {
  public:
    struct Row {
        bool enabled = false;           // the caption and the list
        int selection = -1;             // the list entry, -1 for none
        bool configureEnabled = false;  // "Configure"
    };

    explicit OutputOverview(CQRLDoc& doc) : doc_(doc) {}

    // On opening and after a template is loaded: rows of channels the unit has select
    // their stored entry; the others are disabled. Filling writes nothing: a port keeps
    // its stored type, flag and other bits (a port holding RS485 shows no entry).
    void Fill();
    // A pick in output n's list: card type and Plus flag are written into the port at once.
    // False for a disabled row or an entry outside the list.
    bool Select(int output, int entry);
    // "Configure": the form to open for the selected card type, or None after a beep.
    OutputForm Configure(int output) const;

    const Row& RowAt(int output) const { return rows_.at(static_cast<size_t>(output)); }

  private:
    CQRLDoc& doc_;
    std::array<Row, kOutputPorts> rows_{};
};

}  // namespace kvr
