// The trends command: shows or hides the trends view beside the monitor display. The main
// view is its host and the main window gathers its row (app/CommandTable.h).
#pragma once

#include "base/Commands.h"

namespace kvr {

class TrendsCommandHost {
  public:
    virtual ~TrendsCommandHost() = default;
    virtual bool TrendsShown() = 0;
    // Shows or hides the view and remembers the choice for the next run.
    virtual void ShowTrends(bool shown) = 0;
};

CommandRows<TrendsCommandHost> TrendsCommandRows();

}  // namespace kvr
