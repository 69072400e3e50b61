#include "measure/OutputOverview.h"

#include "base/UserSeam.h"

namespace kvr {

namespace {

constexpr std::array<const char*, kCardTypeEntries> kEntries = {
    "Not Available",        "Not Available (Plus)", "Analog Output",
    "Analog Output (Plus)", "Relay Output",         "Relay Output (Plus)",
};

constexpr int kAnalogCard = 1;
constexpr int kRelayCard = 2;

}  // namespace

std::string OutputCaption(int output) {
    return "Output " + std::to_string(output + 1);
}

const char* CardTypeEntry(int entry) {
    return entry >= 0 && entry < kCardTypeEntries ? kEntries[static_cast<size_t>(entry)] : nullptr;
}

int CardTypeEntryOf(int cardType, bool plus) {
    if (cardType < 0 || cardType > kRelayCard) {
        return -1;
    }
    return cardType * 2 + (plus ? 1 : 0);
}

void OutputOverview::Fill() {
    for (int n = 0; n < kOutputPorts; ++n) {
        Row& row = rows_[static_cast<size_t>(n)];
        if (OutputChannel(n) >= doc_.GetChannels()) {
            row = Row{};
            continue;
        }
        const ParameterRecord& r = doc_.Channel(OutputChannel(n)).record;
        const int port = OutputPort(n);
        row.enabled = true;
        row.selection = CardTypeEntryOf(r.GetCardType(port), r.IsPlusCard(port));
        // Applying the stored selection would only rewrite what is there (and clear bits
        // 2 and 3 of the card byte), so filling leaves the record alone.
        row.configureEnabled = row.selection / 2 >= kAnalogCard;
    }
}

bool OutputOverview::Select(int output, int entry) {
    if (output < 0 || output >= kOutputPorts || !rows_[static_cast<size_t>(output)].enabled ||
        CardTypeEntry(entry) == nullptr) {
        return false;
    }
    Row& row = rows_[static_cast<size_t>(output)];
    ParameterRecord& r = doc_.Channel(OutputChannel(output)).record;
    r.SetCardType(OutputPort(output), entry / 2);
    r.SetPlusCard(OutputPort(output), entry % 2 != 0);
    row.selection = entry;
    row.configureEnabled = entry / 2 >= kAnalogCard;
    return true;
}

OutputForm OutputOverview::Configure(int output) const {
    const int type =
        output >= 0 && output < kOutputPorts && rows_[static_cast<size_t>(output)].enabled
            ? rows_[static_cast<size_t>(output)].selection / 2
            : -1;
    if (type == kAnalogCard) {
        return OutputForm::Analog;
    }
    if (type == kRelayCard) {
        return OutputForm::Relay;
    }
    AppBeep(kConfigureBeepHz, kConfigureBeepMs);
    return OutputForm::None;
}

}  // namespace kvr
