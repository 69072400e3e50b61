#include "app/ShellRules.h"

#include <cstdio>

#include "app/CommandTable.h"
#include "link/UserSeam.h"

namespace kvr::app {

namespace {

const FactoryItem kFactory[kFactoryItems] = {
    {kCmdFactoryChannel1, 0, "Factory settings not restored for KVR 100 #1"},
    {kCmdFactoryChannel2, 1, "Factory settings not restored for KVR 100 #2"},
    {kCmdFactoryChannel3, 2, "Factory settings not restored for KVR 100 #3"},
    {kCmdFactoryMainBoard, 3, "Factory settings not restored for KVR 300 mainboard"},
    {kCmdFactoryCom, kComAddress, "Factory settings not restored for KVR-COMM"},
    {kCmdFactoryDisplay, kDisplayAddress, "Factory settings not restored for KVR-DISPLAY"},
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
    std::snprintf(text, sizeof text, "Supports KVR Talk V%d.%02d", kSupportedTalkMajor,
                  kSupportedTalkMinor);
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

bool RestoreFactoryDefaults(CQRLDoc& doc, const FactoryItem& item) {
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
        return true;
    }
    AppMessageBox(item.failure);
    return false;
}

}  // namespace kvr::app
