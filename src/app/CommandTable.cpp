#include "app/CommandTable.h"

#include <algorithm>

#include "app/QRLView.h"
#include "calibration/forms/CalibrationCommands.h"
#include "calibration/forms/OutputCalibrationCommands.h"
#include "measure/forms/MeasureCommands.h"
#include "modules/forms/ModuleCommands.h"
#include "modules/forms/TraceCommands.h"
#include "monitor/forms/MonitorCommands.h"
#include "monitor/forms/TrendsCommands.h"
#include "report/forms/ReportCommands.h"

namespace kvr::app {

namespace {

template <class Host>
void Gather(std::vector<ViewCommand>& out, CommandRows<Host> rows) {
    for (const CommandRow<Host>& row : rows) {
        ViewCommand bound{row.command, row.place, {}, {}, {}};
        if (row.run != nullptr) {
            bound.run = [run = row.run](CQRLView& view) { run(view); };
        }
        if (row.enabled != nullptr) {
            bound.enabled = [enabled = row.enabled](CQRLView& view) { return enabled(view); };
        }
        if (row.checked != nullptr) {
            bound.checked = [checked = row.checked](CQRLView& view) { return checked(view); };
        }
        out.push_back(std::move(bound));
    }
}

// A popup's index in the menu; the commands outside the menu come after every popup.
size_t PopupIndex(const Command& c) {
    const std::vector<std::string>& popups = Popups();
    return static_cast<size_t>(std::find(popups.begin(), popups.end(), c.popup) - popups.begin());
}

}  // namespace

const std::vector<ViewCommand>& ViewCommands() {
    static const std::vector<ViewCommand> kCommands = [] {
        std::vector<ViewCommand> all;
        // Every file of command rows; a new subsystem adds its line here.
        Gather(all, ShellCommandRows());
        Gather(all, DocumentCommandRows());
        Gather(all, MonitorCommandRows());
        Gather(all, TrendsCommandRows());
        Gather(all, MeasureCommandRows());
        Gather(all, CalibrationCommandRows());
        Gather(all, OutputCalibrationCommandRows());
        Gather(all, ModuleCommandRows());
        Gather(all, TraceCommandRows());
        Gather(all, ReportCommandRows());
        std::stable_sort(all.begin(), all.end(), [](const ViewCommand& a, const ViewCommand& b) {
            const size_t pa = PopupIndex(a.command);
            const size_t pb = PopupIndex(b.command);
            return pa != pb ? pa < pb : a.place.menu < b.place.menu;
        });
        return all;
    }();
    return kCommands;
}

const ViewCommand* FindViewCommand(int id) {
    for (const ViewCommand& c : ViewCommands()) {
        if (c.command.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> kCommands = [] {
        std::vector<Command> texts;
        for (const ViewCommand& c : ViewCommands()) {
            texts.push_back(c.command);
        }
        return texts;
    }();
    return kCommands;
}

const Command* FindCommand(int id) {
    const ViewCommand* c = FindViewCommand(id);
    return c != nullptr ? &c->command : nullptr;
}

const std::vector<std::string>& Popups() {
    static const std::vector<std::string> kPopups = {kPopupFile, kPopupConfigure, kPopupKvr,
                                                     kPopupView, kPopupHelp,      kPopupCalibrate};
    return kPopups;
}

const std::vector<int>& ToolbarLayout() {
    static const std::vector<int> kLayout = [] {
        std::vector<const ViewCommand*> onBar;
        for (const ViewCommand& c : ViewCommands()) {
            if (c.place.toolbar > 0) {
                onBar.push_back(&c);
            }
        }
        std::stable_sort(onBar.begin(), onBar.end(),
                         [](const ViewCommand* a, const ViewCommand* b) {
                             return a->place.toolbar < b->place.toolbar;
                         });
        std::vector<int> layout;
        for (size_t i = 0; i < onBar.size(); ++i) {
            if (i > 0 && onBar[i]->place.toolbar / 10 != onBar[i - 1]->place.toolbar / 10) {
                layout.push_back(kCmdSeparator);
            }
            layout.push_back(onBar[i]->command.id);
        }
        return layout;
    }();
    return kLayout;
}

std::string PromptText(const Command& c) {
    std::string p = c.prompt;
    return p.substr(0, p.find('\n'));
}

std::string ToolTipText(const Command& c) {
    std::string p = c.prompt;
    size_t nl = p.find('\n');
    return nl == std::string::npos ? p : p.substr(nl + 1);
}

}  // namespace kvr::app
