// The application shell's own rules, without any window: the document type, the frame's
// caption, the exit question, the window placement written at exit, the About box texts
// and the "Restore Factory Defaults" commands. The Qt classes call these.
#pragma once

#include <ctime>
#include <string>

#include "base/Settings.h"
#include "document/QRLDoc.h"

namespace kvr::app {

// The one document type, seven fields separated by "\n": window title, document name,
// new-file base name, open-form filter name, extension, type id, type name.
inline constexpr const char* kDocumentType =
    "Corvane Velquist\n\nQRL\nKVR 100/300 Files (*.kvr)\n.KVR\nQRL.Document\nQRL Document";
enum class DocTypeField {
    WindowTitle = 0,
    DocName,
    FileNewName,
    FilterName,
    FilterExt,
    RegFileTypeId,
    RegFileTypeName
};
std::string DocumentTypeField(DocTypeField field);

// The name of a document without a file.
inline constexpr const char* kUntitled = "Untitled";
// The caption: the document's file name (or "Untitled"), " - ", then the system name;
// without a system name (no branding) the document's name alone.
std::string FrameTitle(const std::string& pathName, const std::string& systemName);

// The name Save As proposes: the document's own file, else one made from its
// description (characters a file name should not hold become "_"), else "Untitled.kvr".
std::string ProposedFileName(const CQRLDoc& doc);

inline constexpr const char* kConfirmExitText =
    "Have you saved all templates and downloaded to the attached unit ?\nSelect Yes to exit or "
    "No to return to KVR View";
inline constexpr const char* kConfirmExitTitle = "Confirm Exit";
// Asks whether the program may end; true for Yes.
bool ConfirmExit();

// The placement written at exit: the normal rectangle, the show state, and the flag
// restore-to-maximised while the window is maximised.
WindowPlacement ExitPlacement(int left, int top, int right, int bottom, bool maximized,
                              bool minimized);

// About box texts.
std::string TalkSupportText();  // "Supports KVR Talk V1.73"
// "Build : " with the local date "%d %b, %Y", "; " and the time "%H:%M:%S".
std::string BuildText(std::time_t modified);

// The progress text of the Talk pane's double-click.
inline constexpr const char* kTalkQueryText = "Querying Talk version...";
// Under the device lock (nothing at all when it is not obtained), the device codes of
// every unit with the progress text shown.
void TalkQuery(CQRLDoc& doc);

// "Restore Factory Defaults": one item per unit address 0 to 5.
struct FactoryItem {
    int commandId;
    uint8_t address;
    const char* failure;  // the message when the command could not be sent
    const char* board;    // the board as the question and the success message name it
};
inline constexpr const char* kFactoryTitle = "Restore Factory Defaults";
std::string FactoryQuestion(const FactoryItem& item);
std::string FactoryDoneText(const FactoryItem& item);
inline constexpr int kFactoryItems = 6;
const FactoryItem* FindFactoryItem(int commandId);
// Asks first, naming the board (No: nothing happens); then sends the command through the
// unit's protocol object under the device lock (nothing at all when it is not obtained);
// says that it was done, or gives the failure message.
bool RestoreFactoryDefaults(CQRLDoc& doc, const FactoryItem& item);

}  // namespace kvr::app
