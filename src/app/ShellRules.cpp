#include "app/ShellRules.h"

#include <cstdio>

#include "app/CommandTable.h"
#include "base/UserSeam.h"

namespace kvr::app {

namespace {

const FactoryItem kFactory[kFactoryItems] = {
    {kCmdFactoryChannel1, 0, "Factory settings not restored for KVR 100 #1",
     "the KVR 100 / KVR 300 channel 1"},
    {kCmdFactoryChannel2, 1, "Factory settings not restored for KVR 100 #2",
     "the KVR 300 channel 2"},
    {kCmdFactoryChannel3, 2, "Factory settings not restored for KVR 100 #3",
     "the KVR 300 channel 3"},
    {kCmdFactoryMainBoard, 3, "Factory settings not restored for KVR 300 mainboard",
     "the KVR 300 main board"},
    {kCmdFactoryCom, kComAddress, "Factory settings not restored for KVR-COMM", "the KVR Com"},
    {kCmdFactoryDisplay, kDisplayAddress, "Factory settings not restored for KVR-DISPLAY",
     "the KVR Display"},
};

}  // namespace

std::string DocumentTypeField(DocTypeField field) {
    const std::string all = kDocumentType;
    size_t start = 0;
    for (int i = 0; i < static_cast<int>(field); ++i) {
        start = all.find('\n', start) + 1;
    }
    const size_t end = all.find('\n', start);
    return all.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string FrameTitle(const std::string& pathName, const std::string& systemName) {
    std::string name = pathName.substr(pathName.find_last_of('/') + 1);
    if (name.empty()) {
        name = kUntitled;
    }
    return systemName.empty() ? name : name + " - " + systemName;
}

std::string ProposedFileName(const CQRLDoc& doc) {
    if (!doc.PathName().empty()) {
        return doc.PathName();
    }
    std::string name;
    for (char c : doc.Description()) {
        if (c == '\n' || c == '\r') {
            break;  // the first line says enough
        }
        const bool unsafe = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                            c == '<' || c == '>' || c == '|' ||
                            static_cast<unsigned char>(c) < 0x20;
        name += unsafe ? '_' : c;
        if (name.size() >= 60) {
            break;
        }
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) {
        name.pop_back();
    }
    while (!name.empty() && (name.front() == ' ' || name.front() == '.')) {
        name.erase(name.begin());
    }
    return (name.empty() ? std::string(kUntitled) : name) + ".kvr";
}

bool ConfirmExit() {
    return AppMessageBox(kConfirmExitText, MsgIcon::Question, MsgButtons::YesNo,
                         kConfirmExitTitle) == MsgAnswer::Yes;
}

WindowPlacement ExitPlacement(int left, int top, int right, int bottom, bool maximized,
                              bool minimized) {
    WindowPlacement p;
    p.flags = maximized ? kPlacementRestoreToMaximized : 0;
    p.showState = maximized ? kShowMaximized : minimized ? kShowMinimized : kShowNormal;
    p.left = left;
    p.top = top;
    p.right = right;
    p.bottom = bottom;
    return p;
}

std::string TalkSupportText() {
    char text[48];
    std::snprintf(text, sizeof text, "Supports KVR Talk V%d.%02d", talk::kTalkMajor,
                  talk::kTalkMinor);
    return text;
}

std::string BuildText(std::time_t modified) {
    std::tm local{};
    localtime_r(&modified, &local);
    char date[64];
    char time[32];
    if (std::strftime(date, sizeof date, "%d %b, %Y", &local) == 0 ||
        std::strftime(time, sizeof time, "%H:%M:%S", &local) == 0) {
        return "Build : ";
    }
    return std::string("Build : ") + date + "; " + time;
}

void TalkQuery(CQRLDoc& doc) {
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return;
    }
    BusyMessage busy(kTalkQueryText);
    doc.QueryDeviceCodes();
}

const FactoryItem* FindFactoryItem(int commandId) {
    for (const FactoryItem& item : kFactory) {
        if (item.commandId == commandId) {
            return &item;
        }
    }
    return nullptr;
}

std::string FactoryQuestion(const FactoryItem& item) {
    return std::string("Restore the factory settings of ") + item.board + " (unit address " +
           std::to_string(item.address) + ")?\nIts present settings in the unit are replaced.";
}

std::string FactoryDoneText(const FactoryItem& item) {
    return std::string("Factory settings restored for ") + item.board + ".";
}

bool RestoreFactoryDefaults(CQRLDoc& doc, const FactoryItem& item) {
    // Asked before the port is taken, so a question never holds up the reading.
    if (AppMessageBox(FactoryQuestion(item), MsgIcon::Question, MsgButtons::YesNo, kFactoryTitle) !=
        MsgAnswer::Yes) {
        return false;
    }
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    // Sent by address through the unit's own protocol object: channel objects 0 to 3,
    // then the KVR Com and KVR Display links.
    CTalkLink& link = item.address < kChannelObjects ? doc.Channel(item.address)
                      : item.address == kComAddress  ? doc.ComLink()
                                                     : doc.DisplayLink();
    if (link.RestoreFactorySettings(item.address)) {
        AppMessageBox(FactoryDoneText(item), MsgIcon::Information);
        return true;
    }
    AppMessageBox(item.failure);
    return false;
}

}  // namespace kvr::app
