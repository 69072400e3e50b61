#include "sim/SimStateFile.h"

#include <cstdio>
#include <vector>

#include "base/Text.h"
#include "link/ParameterRecord.h"
#include "sim/SimBoards.h"

namespace kvr::sim {

namespace {

// A state file holds four lines of about 240 characters; anything far larger is not one.
constexpr size_t kMaxStateFile = size_t{64} * 1024;

const char* KindName(UnitKind kind) {
    return kind == UnitKind::Kvr300 ? "kvr300" : "kvr100";
}

}  // namespace

bool ReadSmallFile(const std::string& path, std::string& text, bool& exists, std::string& error) {
    bool missing = false;
    ReadOptions options;
    options.maxBytes = kMaxStateFile;
    if (ReadWholeFile(path, text, error, options, &missing)) {
        exists = true;
        return true;
    }
    exists = !missing;
    error = exists ? path + ": " + error : std::string();
    return false;
}

bool ReadStateAtStart(const std::string& path, std::string& text, std::string& stateError,
                      bool& writable) {
    if (path.empty()) {
        return false;
    }
    bool exists = false;
    std::string error;
    if (ReadSmallFile(path, text, exists, error)) {
        return true;
    }
    if (exists) {
        stateError = "state file " + error;
        writable = false;
    }
    return false;
}

bool IsModuleStateKeyword(const std::string& word) {
    return word == "display" || word == "com";
}

namespace {

// Calls f(line, words) for each line of the text.
template <typename F>
void ForEachLine(const std::string& text, F f) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        f(line, SplitWords(line));
    }
}

}  // namespace

std::string FindStateLine(const std::string& text, const std::string& keyword) {
    std::string value;
    ForEachLine(text, [&](const std::string&, const std::vector<std::string>& words) {
        if (value.empty() && words.size() == 2 && words[0] == keyword) {
            value = words[1];
        }
    });
    return value;
}

std::string ModuleStateLines(const std::string& text) {
    std::string out;
    ForEachLine(text, [&](const std::string& line, const std::vector<std::string>& words) {
        if (!words.empty() && IsModuleStateKeyword(words[0])) {
            out += line + "\n";
        }
    });
    return out;
}

bool ReplaceStateLine(const std::string& path, const std::string& keyword, const std::string& value,
                      std::string& error) {
    std::string text;
    bool exists = false;
    if (!ReadSmallFile(path, text, exists, error) && exists) {
        return false;
    }
    std::string out;
    ForEachLine(text, [&](const std::string& line, const std::vector<std::string>& words) {
        if (words.empty() || words[0] != keyword) {
            out += line + "\n";
        }
    });
    out += keyword + " " + value + "\n";
    return WriteFileAtomically(path, out, error);
}

std::string SimBoards::FormatState(UnitKind kind, const std::vector<ParameterRecord>& records) {
    std::string text = "# kvr-sim state: the parameter record of each board, 115 bytes in hex\n";
    text += "kvr-sim-state 1 ";
    text += KindName(kind);
    text += "\n";
    for (size_t i = 0; i < records.size(); ++i) {
        char head[32];
        (void)std::snprintf(head, sizeof head, "board %zu ", i);
        text += head;
        text += ToHex(records[i].Data(), ParameterRecord::kSize);
        text += "\n";
    }
    return text;
}

bool SimBoards::ParseState(const std::string& text, UnitKind kind, size_t boards,
                           std::vector<ParameterRecord>& records, std::string& error) {
    records.assign(boards, ParameterRecord());
    std::vector<bool> seen(boards, false);
    bool header = false;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty() || words[0][0] == '#' || IsModuleStateKeyword(words[0])) {
            continue;  // a module's line is the module's own
        }
        char where[32];
        (void)std::snprintf(where, sizeof where, "line %zu: ", lineNo);
        if (!header) {
            if (words.size() != 3 || words[0] != "kvr-sim-state" || words[1] != "1") {
                error = std::string(where) + "not a kvr-sim state file";
                return false;
            }
            if (words[2] != KindName(kind)) {
                error = std::string(where) + "the state is of a " + words[2] + ", not a " +
                        KindName(kind);
                return false;
            }
            header = true;
            continue;
        }
        if (words.size() != 3 || words[0] != "board" || words[1].size() != 1 || words[1][0] < '0' ||
            static_cast<size_t>(words[1][0] - '0') >= boards) {
            error = std::string(where) + "expected \"board <index> <record in hex>\"";
            return false;
        }
        const size_t index = static_cast<size_t>(words[1][0] - '0');
        const std::string& hex = words[2];
        if (seen[index]) {
            error = std::string(where) + "board " + words[1] + " appears twice";
            return false;
        }
        if (hex.size() != 2 * ParameterRecord::kSize) {
            error = std::string(where) + "a record needs 230 hex digits";
            return false;
        }
        std::vector<uint8_t> bytes;
        if (!FromHex(hex, bytes)) {
            error = std::string(where) + "not a hex digit in the record";
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), records[index].Bytes().begin());
        if (!records[index].IsValid()) {
            error = std::string(where) + "the record's signature is not 7502";
            return false;
        }
        seen[index] = true;
    }
    if (!header) {
        error = "empty: not a kvr-sim state file";
        return false;
    }
    for (size_t i = 0; i < boards; ++i) {
        if (!seen[i]) {
            char what[48];
            (void)std::snprintf(what, sizeof what, "board %zu is missing", i);
            error = what;
            return false;
        }
    }
    return true;
}

}  // namespace kvr::sim
