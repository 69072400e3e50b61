// The two reports: the configuration of the document (template KVRPrnTemplate.rtf) and a
// display setup (template DispPrnTemplate.rtf), each filled bookmark by bookmark.
#pragma once

#include <ctime>
#include <string>

#include "modules/DisplayFile.h"
#include "report/RtfTemplate.h"

namespace kvr {

class CQRLDoc;

inline constexpr const char* kConfigurationTemplate = "KVRPrnTemplate.rtf";
inline constexpr const char* kDisplayTemplate = "DispPrnTemplate.rtf";
inline constexpr int kReportOutputs = 12;
inline constexpr int kEntitySplitLength = 30;

// "05 Dec, 2026.  14:03:09" (with the time) or "05 Dec, 2026", English month names
// whatever the locale.
std::string ReportDate(std::time_t when, bool withTime);

// The phase name of a report: "NotConnected", "Independent", "A - N", ... "C - A" for
// codes 0 to 7, "<not valid>" for any other.
const char* ReportPhaseName(int code);

// The two texts of an output's entity (bookmarks Entity%02d and Entity%02da) from its
// label: energies renamed to "(Pos)"/"(Neg)", and a label longer than 30 characters split
// into the channel name (first) and the entity name with the phase (second). A label with
// no " / " to split at (the 3 Phase channel) gives the channel part and the entity name.
void EntityTexts(std::string label, std::string& first, std::string& second);

// Fills every bookmark of the configuration report in order; true only when each one was
// found. Every fill is attempted.
bool FillConfigurationReport(const CQRLDoc& doc, CRtfTemplate& report, std::time_t now);

// Fills the display report: date, operator, description and 8 bookmarks for each of the
// 24 lines (195 in all): channel, value name, decimals, units, nominal, low, high and
// whether the line is blank (Blank%02d, "Yes" or "No"). A missing bookmark does not stop the
// others; true when all were found.
bool FillDisplayReport(const DisplayFileImage& setup, const std::string& operatorName,
                       CRtfTemplate& report, std::time_t now);

}  // namespace kvr
