#include "monitor/forms/TrendsCommands.h"

namespace kvr {

namespace {

void OnTrends(TrendsCommandHost& host) {
    host.ShowTrends(!host.TrendsShown());
}

bool TrendsChecked(TrendsCommandHost& host) {
    return host.TrendsShown();
}

}  // namespace

CommandRows<TrendsCommandHost> TrendsCommandRows() {
    static const CommandRow<TrendsCommandHost> kRows[] = {
        {{kCmdTrends, kPopupView, "", "T&rends",
          "Show or hide the monitored values as curves over time\nTrends", "", true},
         {70, 0},
         OnTrends,
         nullptr,
         TrendsChecked},
    };
    return kRows;
}

}  // namespace kvr
