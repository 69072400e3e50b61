#include "report/RtfTemplate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/Files.h"

namespace kvr {

namespace {

constexpr const char* kStartGroup = "{\\*\\bkmkstart ";
constexpr const char* kEndGroup = "{\\*\\bkmkend ";

// The code point of the UTF-8 sequence at text[i] and its length; a byte that starts no
// valid sequence stands for itself (Latin-1), length 1.
char32_t NextCharacter(std::string_view text, size_t i, size_t& length) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    length = 1;
    size_t need = 0;
    char32_t cp = b0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
    }
    if (need == 0 || i + need >= text.size()) {
        return b0;
    }
    for (size_t k = 1; k <= need; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return b0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms and surrogates are no characters of UTF-8.
    const char32_t minimum = need == 1 ? 0x80 : need == 2 ? 0x800 : 0x10000;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return b0;
    }
    length = need + 1;
    return cp;
}

void AppendUnicode(std::string& out, unsigned unit) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\u%d?", static_cast<int>(static_cast<int16_t>(unit)));
    out += buf;
}

}  // namespace

std::string RtfEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length = 1;
        const char32_t c = NextCharacter(text, i, length);
        i += length;
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\line ";
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c < 0x20 || c == 0x7F) {
            continue;  // a control character prints as nothing
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            AppendUnicode(out, static_cast<unsigned>(c));
        } else {
            const char32_t v = c - 0x10000;
            AppendUnicode(out, static_cast<unsigned>(0xD800 + (v >> 10)));
            AppendUnicode(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        }
    }
    return out;
}

bool CRtfTemplate::LoadTemplate(const std::string& templatePath, const std::string& temporaryName) {
    std::string base = temporaryName.substr(temporaryName.find_last_of('/') + 1);
    base = base.substr(0, base.find_last_of('.'));
    outputName_ = base + ".rtf";
    std::string error;
    content_.clear();
    if (!ReadWholeFile(templatePath, content_, error)) {
        content_.clear();
        return false;
    }
    return !content_.empty();
}

bool CRtfTemplate::FillBookmark(const std::string& name, const std::string& text) {
    const std::string start = kStartGroup + name + "}";
    const std::string end = kEndGroup + name + "}";
    const size_t s = content_.find(start);
    if (s == std::string::npos) {
        return false;
    }
    const size_t e = content_.find(end);
    if (e == std::string::npos) {
        return false;
    }
    const size_t from = s + start.size();
    if (e < from) {
        return false;  // an end group before its start: nothing sensible to replace
    }
    content_.replace(from, e - from, RtfEscape(text));
    return true;
}

bool CRtfTemplate::FillNumbered(const char* nameFormat, long number, const std::string& text) {
    char name[64];
    std::snprintf(name, sizeof name, nameFormat, number);
    return FillBookmark(name, text);
}

bool CRtfTemplate::WriteTemporary(std::string& path, std::string& error) const {
    const std::string folder = ReportFolder(error);
    if (folder.empty()) {
        return false;
    }
    path = folder + "/" + outputName_;
    return WriteFileAtomically(path, content_, error, WriteOptions{.newFileMode = 0600});
}

std::string ReportFolder(std::string& error) {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::string(runtime) + "/kvr-view";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        folder = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/kvr-view-" +
                 std::to_string(getuid());
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create the folder " + folder;
        return "";
    }
    // A folder planted by somebody else, or one others may write in, could have the report
    // replaced between writing and printing.
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 0077) != 0) {
        error = folder + " is not a private folder of this user";
        return "";
    }
    return folder;
}

}  // namespace kvr
