// CRtfTemplate: a report template in RTF whose blanks are bookmarks. The whole template is
// read as text; a bookmark N runs from the group {\*\bkmkstart N} to {\*\bkmkend N}, and
// filling it replaces what lies between the two groups, which stay, so a bookmark can be
// filled again. Only the first bookmark of a name is ever filled.
#pragma once

#include <string>
#include <string_view>

namespace kvr {

inline constexpr const char* kTemporaryReportName = "QrlTemp.xyz";  // written as QrlTemp.rtf

// Plain text as RTF text that prints as typed: \ { } escaped, a line break as \line, a tab
// as \tab, other control characters dropped, and every character outside ASCII as a
// \uN? escape (N a signed 16-bit number; surrogate pairs beyond the first 65536). Bytes that
// are not UTF-8 are read as Latin-1, as the unit's and the old files' texts are.
std::string RtfEscape(std::string_view text);

class CRtfTemplate {
  public:
    // Reads the whole template; the output name becomes the temporary name's base name
    // with ".rtf". False for a file that cannot be read or is empty.
    bool LoadTemplate(const std::string& templatePath, const std::string& temporaryName);
    // Replaces the contents of bookmark `name` by the text, escaped. False, with the content
    // unchanged, when the start or the end group of the bookmark is missing.
    bool FillBookmark(const std::string& name, const std::string& text);
    // The bookmark named by printf of the format with the number ("Entity%02d", 3 gives
    // Entity03), filled as FillBookmark does.
    bool FillNumbered(const char* nameFormat, long number, const std::string& text);

    const std::string& OutputName() const { return outputName_; }
    const std::string& Content() const { return content_; }
    void SetContent(std::string content) { content_ = std::move(content); }

    // Writes the content as the output name into the user's private report folder (see
    // ReportFolder). False with the reason; path gets the file written.
    bool WriteTemporary(std::string& path, std::string& error) const;

  private:
    std::string outputName_;
    std::string content_;
};

// The folder of the filled report files: $XDG_RUNTIME_DIR/kvr-view when that is set, else
// the temporary folder's kvr-view-<uid>; created for the user only (0700), and refused when
// it belongs to somebody else or others may write in it. Empty with the reason on failure.
std::string ReportFolder(std::string& error);

}  // namespace kvr
