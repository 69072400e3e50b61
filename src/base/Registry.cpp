// The settings store.
//
// File format (the per-user file and the read-only system file alike), a text file in the
// style of a registry export:
//
//   ; KVR View settings
//   [Software\Corvane\KVR View\Preferences]
//   "Baud Rate"="9600"
//   "COM Port"=dword:00000003
//   "Window Position"=hex:2c,00,00,00,02,00,00,00,...
//   @="the key's default value"
//
// - "[key path]" starts a key. Key paths and value names compare without regard to case
//   (ASCII letters), as in the registry. A key's parents are keys of their own, written as
//   (possibly empty) sections. A key that appears twice is one key.
// - "Name"=... is a value of the current key; @=... is the key's default value (name "").
// - A string is written between double quotes. Its escapes are \\ \" \n \r \t and \xHH
//   (exactly two hex digits); every other byte stands for itself, so UTF-8 passes through.
//   The writer escapes every control character and DEL, so any text, including newlines
//   and an empty text, round-trips on one line.
// - dword: exactly eight hex digits. hex: bytes of two hex digits separated by commas;
//   "hex:" alone is an empty block.
// - Lines starting with ';' or '#' are comments. Blank lines are not kept (the writer puts
//   one before every key); a CRLF line end and a byte-order mark are.
// - Reading is lenient and never trusts the file: a line that is not understood is skipped,
//   a value of an unknown type or with a bad encoding reads as missing, and when a name
//   appears twice in a key the last one counts. A rewrite keeps every line it did not
//   change (unknown keys, values, comments, even lines it could not read) in their order.
//
// The machine root and the classes root share the system file's key space; their keys
// ("Software\Microsoft\...", "wrifile\...") do not overlap.
//
// Security: keys written here are not open to everybody. The store holds the configuration
// password in plain text, so the file is the user's alone (mode 0600) and a folder made
// for it is 0700; a store found open to others while it holds a password is tightened, with
// a warning. Writes replace the file atomically through base/Files; writers are serialised
// within the process by a mutex and between processes by flock on "<store>.lock" (opened
// without following a link). A FIFO, device or folder in place of a store, or a store
// beyond 16 MiB, reads as empty and is never written over. Each user action writes its
// values in one read-modify-write (CRegistryBatch).
#include "base/Registry.h"
#include "base/Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Files.h"
#include "base/Settings.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

constexpr const char* kSystemSettingsDefault = "/etc/kvr-view/system.reg";
// A settings file is a few kilobytes; anything beyond this is not ours to load whole.
constexpr size_t kMaxStoreBytes = 16u << 20;

// --- text helpers ----------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Two hex digits at s[pos]; -1 when they are not there.
int HexByte(std::string_view s, size_t pos) {
    if (pos + 2 > s.size()) {
        return -1;
    }
    int hi = HexDigit(s[pos]);
    int lo = HexDigit(s[pos + 1]);
    return (hi < 0 || lo < 0) ? -1 : hi * 16 + lo;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// A key path the store can hold: components separated by single backslashes, none empty,
// no control characters (a section header is one line).
bool ValidKey(std::string_view key) {
    if (key.empty() || key.front() == '\\' || key.back() == '\\' ||
        key.find("\\\\") != std::string_view::npos) {
        return false;
    }
    for (unsigned char c : key) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

// The escapes of quoted texts: the character and the letter after the backslash.
constexpr std::pair<char, char> kEscapes[] = {
    {'\\', '\\'}, {'"', '"'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}};

// A quoted text starting at s[pos]; pos ends after the closing quote. False on a missing
// quote, an unknown escape or the end of the input before the closing quote.
bool Unquote(std::string_view s, size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') {
        return false;
    }
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') {
            return true;
        }
        if (c != '\\') {
            out += c;
        } else if (pos >= s.size()) {
            return false;
        } else if (char letter = s[pos++]; letter == 'x') {
            int b = HexByte(s, pos);
            if (b < 0) {
                return false;
            }
            out += static_cast<char>(b);
            pos += 2;
        } else {
            auto e = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                  [letter](const auto& p) { return p.second == letter; });
            if (e == std::end(kEscapes)) {
                return false;
            }
            out += e->first;
        }
    }
    return false;
}

// --- the store in memory ---------------------------------------------------------------

struct Value {
    std::string name;
    StoredType type = StoredType::Invalid;
    std::string text;
    uint32_t dword = 0;
    std::vector<uint8_t> bytes;
};

bool ParseValueLine(std::string_view line, Value& v);

// A line without the CR of a CRLF ending (kept in the line, so a rewrite gives it back).
std::string_view WithoutCr(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

// One line of a key's body. Every line keeps its text, so that a rewrite gives back
// exactly what it did not change; its value is parsed only when its key is used, so a
// read costs little more than finding the line ends.
struct Line {
    std::string_view raw;                  // into the store's text or its own lines
    mutable int8_t parsed = -1;            // -1 not yet, 0 not a value, 1 a value
    mutable std::unique_ptr<Value> value;  // when a value

    bool IsValue() const {
        if (parsed < 0) {
            const std::string_view t = Trim(WithoutCr(raw));
            auto v = std::make_unique<Value>();
            const bool isValue =
                !t.empty() && t.front() != ';' && t.front() != '#' && ParseValueLine(t, *v);
            parsed = isValue ? 1 : 0;
            if (parsed == 1) {
                value = std::move(v);
            }
        }
        return parsed == 1;
    }
};

struct Section {
    bool usable = false;  // false: the preamble, or a header that could not be read
    std::string_view key;
    std::string_view header;  // the header line as read or written
    std::vector<Line> lines;
};

// Key paths compare without regard to the case of ASCII letters.
char Folded(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
struct NoCaseHash {
    size_t operator()(std::string_view s) const {
        uint64_t h = 1469598103934665603ull;  // FNV-1a
        for (char c : s) {
            h = (h ^ static_cast<unsigned char>(Folded(c))) * 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};
struct NoCaseEqual {
    bool operator()(std::string_view a, std::string_view b) const { return EqualNoCase(a, b); }
};

// The store in memory: views into the file's text, and the lines the program adds. It
// stays where it was made, as the views point into it.
struct Store {
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    std::string text;               // the file as read
    bool byteOrderMark = false;     // the text started with one
    std::deque<std::string> owned;  // lines and keys added since (a deque never moves them)
    std::vector<Section> sections;  // [0] is the preamble before the first key
    // Usable sections by key, so that finding one does not walk them all (a store of many
    // keys would otherwise take quadratic time to read).
    std::unordered_map<std::string_view, size_t, NoCaseHash, NoCaseEqual> index;

    std::string_view Own(std::string s) { return owned.emplace_back(std::move(s)); }
    Section* Find(std::string_view key) {
        auto it = index.find(key);
        return it == index.end() ? nullptr : &sections[it->second];
    }
    void Add(Section s) {
        if (s.usable) {
            index.emplace(s.key, sections.size());
        }
        sections.push_back(std::move(s));
    }
};

std::string FormatValue(const Value& v) {
    std::string out = v.name.empty() ? "@" : QuoteText(v.name);
    out += '=';
    switch (v.type) {
        case StoredType::String:
            out += QuoteText(v.text);
            break;
        case StoredType::Dword: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(v.dword));
            out += hex;
            break;
        }
        case StoredType::Bytes:
            out += "hex:";
            for (size_t i = 0; i < v.bytes.size(); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ",%02x", v.bytes[i]);
                out += hex;
            }
            break;
        case StoredType::Invalid:
            break;
    }
    return out;
}

// The data of a value after "=". An unknown type or a bad encoding gives Invalid.
void ParseData(std::string_view d, Value& v) {
    v.type = StoredType::Invalid;
    if (!d.empty() && d.front() == '"') {
        size_t pos = 0;
        std::string text;
        if (Unquote(d, pos, text) && pos == d.size()) {
            v.text = std::move(text);
            v.type = StoredType::String;
        }
        return;
    }
    if (StartsWithNoCase(d, "dword:")) {
        std::string_view digits = d.substr(6);
        if (digits.size() != 8) {
            return;  // also what a cut-off number looks like
        }
        uint32_t n = 0;
        for (char c : digits) {
            int h = HexDigit(c);
            if (h < 0) {
                return;
            }
            n = (n << 4) | static_cast<uint32_t>(h);
        }
        v.dword = n;
        v.type = StoredType::Dword;
        return;
    }
    if (StartsWithNoCase(d, "hex:")) {
        std::string_view rest = Trim(d.substr(4));
        std::vector<uint8_t> bytes;
        while (!rest.empty()) {
            size_t comma = rest.find(',');
            std::string_view item = Trim(rest.substr(0, comma));
            if (item.size() != 2 || HexByte(item, 0) < 0) {
                return;
            }
            bytes.push_back(static_cast<uint8_t>(HexByte(item, 0)));
            if (comma == std::string_view::npos) {
                break;
            }
            rest = rest.substr(comma + 1);
            if (Trim(rest).empty()) {
                return;  // a trailing comma: the block was cut off
            }
        }
        v.bytes = std::move(bytes);
        v.type = StoredType::Bytes;
    }
}

// A value line: false when the line does not even have a name and "=".
bool ParseValueLine(std::string_view line, Value& v) {
    size_t pos = 0;
    if (line.empty()) {
        return false;
    }
    if (line.front() == '@') {
        pos = 1;
    } else if (!Unquote(line, pos, v.name)) {
        return false;
    }
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
    if (pos >= line.size() || line[pos] != '=') {
        return false;
    }
    ParseData(Trim(line.substr(pos + 1)), v);
    return true;
}

// Takes the text over and reads its keys; values are read when asked for.
void Parse(Store& store, std::string text) {
    store.text = std::move(text);
    store.sections.emplace_back();
    size_t current = 0;
    std::string_view data = store.text;
    if (data.substr(0, 3) == "\xEF\xBB\xBF") {
        data.remove_prefix(3);  // a byte-order mark from an editor, given back by a rewrite
        store.byteOrderMark = true;
    }
    while (!data.empty()) {
        size_t nl = data.find('\n');
        std::string_view raw = data.substr(0, nl);
        data.remove_prefix(nl == std::string_view::npos ? data.size() : nl + 1);
        std::string_view t = Trim(WithoutCr(raw));
        if (t.empty()) {
            continue;
        }
        if (t.front() == '[') {
            std::string_view key;
            bool usable = t.size() >= 2 && t.back() == ']';
            if (usable) {
                key = t.substr(1, t.size() - 2);
                usable = ValidKey(key);
            }
            Section* same = usable ? store.Find(key) : nullptr;
            if (same != nullptr) {
                current = static_cast<size_t>(same - store.sections.data());
                continue;
            }
            Section s;
            s.usable = usable;
            s.key = key;
            s.header = raw;
            store.Add(std::move(s));
            current = store.sections.size() - 1;
            continue;
        }
        Line line;
        line.raw = raw;
        store.sections[current].lines.push_back(std::move(line));
    }
}

std::string Serialise(const Store& store) {
    size_t size = 0;
    for (const Section& s : store.sections) {
        size += s.header.size() + 2;
        for (const Line& line : s.lines) {
            size += line.raw.size() + 1;
        }
    }
    std::string out;
    out.reserve(size + 3);
    if (store.byteOrderMark) {
        out = "\xEF\xBB\xBF";
    }
    for (const Section& s : store.sections) {
        if (&s != &store.sections.front()) {
            if (!out.empty()) {
                out += '\n';
            }
            out.append(s.header);
            out += '\n';
        }
        for (const Line& line : s.lines) {
            out.append(line.raw);
            out += '\n';
        }
    }
    return out;
}

Section* FindSection(Store& store, std::string_view key) {
    return store.Find(key);
}

// The value a read sees: the last one of that name. Null when missing.
const Value* FindValue(Store& store, const std::string& key, const std::string& name) {
    Section* s = FindSection(store, key);
    if (s == nullptr) {
        return nullptr;
    }
    const Value* found = nullptr;
    for (const Line& line : s->lines) {
        if (line.IsValue() && EqualNoCase(line.value->name, name)) {
            found = line.value.get();
        }
    }
    return found;
}

// Creates the key and its parents as sections; true when something was added.
bool EnsureKey(Store& store, const std::string& key) {
    bool added = false;
    size_t end = 0;
    do {
        end = key.find('\\', end + 1);
        const std::string prefix = key.substr(0, end);
        if (FindSection(store, prefix) == nullptr) {
            Section s;
            s.usable = true;
            s.key = store.Own(prefix);
            s.header = store.Own("[" + prefix + "]");
            store.Add(std::move(s));
            added = true;
        }
    } while (end != std::string::npos);
    return added;
}

// Puts the value in place of the first of its name (dropping later ones, which would
// otherwise win), or appends it.
void SetValue(Store& store, const std::string& key, Value v) {
    EnsureKey(store, key);
    Section& s = *FindSection(store, key);
    Line line;
    line.raw = store.Own(FormatValue(v));
    line.parsed = 1;
    const std::string name = v.name;
    line.value = std::make_unique<Value>(std::move(v));
    const auto named = [&name](const Line& l) {
        return l.IsValue() && EqualNoCase(l.value->name, name);
    };
    const auto first = std::find_if(s.lines.begin(), s.lines.end(), named);
    if (first == s.lines.end()) {
        s.lines.push_back(std::move(line));
        return;
    }
    *first = std::move(line);
    s.lines.erase(std::remove_if(std::next(first), s.lines.end(), named), s.lines.end());
}

// --- files -----------------------------------------------------------------------------

std::mutex g_warnMutex;    // guards g_warnedPath
std::string g_warnedPath;  // the store whose loose permissions were told already

// A store that holds the configuration password but can be read by others (made by hand,
// or by an old version) is made the user's alone, and the user is told once.
void TightenIfPasswordShown(const std::string& path, Store& store) {
    if (FindValue(store, kKeyConfiguration, kValPassword) == nullptr || IsBackgroundThread()) {
        return;  // a background thread leaves it to the user-interface thread
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || (st.st_mode & 077) == 0) {
        return;
    }
    const bool tightened = ::chmod(path.c_str(), 0600) == 0;
    {
        std::lock_guard<std::mutex> guard(g_warnMutex);
        if (!tightened && g_warnedPath == path) {
            return;
        }
        g_warnedPath = path;
    }
    AppMessageBox(tightened ? "The settings file " + path +
                                  " holds the configuration password and could be read by "
                                  "other users; it is now readable by you only."
                            : "The settings file " + path +
                                  " holds the configuration password and can be read by other "
                                  "users, and its permissions cannot be changed.",
                  MsgIcon::Warning);
}

ReadOptions StoreReadOptions() {
    ReadOptions options;
    options.maxBytes = kMaxStoreBytes;
    return options;
}

void LoadForReading(RegRoot root, Store& store) {
    const std::string path =
        root == RegRoot::CurrentUser ? UserSettingsPath() : SystemSettingsPath();
    std::string data;
    std::string error;
    // Anything unreadable (missing, not a regular file, oversized) reads as empty.
    if (path.empty() || !ReadWholeFile(path, data, error, StoreReadOptions())) {
        data.clear();
    }
    Parse(store, std::move(data));
    if (root == RegRoot::CurrentUser) {
        TightenIfPasswordShown(path, store);
    }
}

// Serialises writers: threads of this process through the mutex, processes through an
// advisory lock on a file next to the store. Readers need neither: a rename replaces the
// store in one step.
std::mutex g_writeMutex;  // guards the read-modify-write of the per-user store

// Read-modify-write of the per-user store. change gives false when it changed nothing,
// and the file is then left alone. Gives kRegOk or kRegRefused.
int Modify(const std::function<bool(Store&)>& change) {
    std::lock_guard<std::mutex> guard(g_writeMutex);
    const std::string path = UserSettingsPath();
    if (path.empty() || !MakePrivateFolders(ParentFolder(path))) {
        return kRegRefused;
    }
    FileLock lock(path + ".lock");
    if (!lock.Held()) {
        return kRegRefused;
    }
    std::string data;
    std::string error;
    bool missing = false;
    if (!ReadWholeFile(path, data, error, StoreReadOptions(), &missing) && !missing) {
        return kRegRefused;  // rewriting what could not be read whole would lose values
    }
    Store store;
    Parse(store, std::move(data));
    if (missing) {
        Line comment;
        comment.raw = store.Own("; KVR View settings of this user (written by the program)");
        store.sections[0].lines.push_back(std::move(comment));
    }
    if (!change(store)) {
        return kRegOk;
    }
    // The store holds the password in plain text: the user's alone, whatever the umask.
    WriteOptions options;
    options.newFileMode = 0600;
    options.forceMode = true;
    return WriteFileAtomically(path, Serialise(store), error, options) ? kRegOk : kRegRefused;
}

int WriteValue(RegRoot root, const std::string& key, Value v) {
    // The machine-wide values come from a system file that the program never writes.
    if (root != RegRoot::CurrentUser) {
        return kRegRefused;
    }
    if (!ValidKey(key)) {
        return kRegMissing;  // the key cannot be created
    }
    return Modify([&](Store& store) {
        SetValue(store, key, std::move(v));
        return true;
    });
}

}  // namespace

std::string UserSettingsPath() {
    const char* file = std::getenv("KVR_SETTINGS_FILE");
    if (file != nullptr && *file != '\0') {
        return file;
    }
    const std::string folder = UserConfigFolder();
    return folder.empty() ? std::string() : folder + "/settings.reg";
}

std::string SystemSettingsPath() {
    const char* file = std::getenv("KVR_SYSTEM_SETTINGS_FILE");
    if (file != nullptr && *file != '\0') {
        return file;
    }
    return kSystemSettingsDefault;
}

int CRegistry::ReadString(RegRoot root, const std::string& key, const std::string& name,
                          std::string& out) {
    Store store;
    LoadForReading(root, store);
    const Value* v = FindValue(store, key, name);
    if (v == nullptr || v->type != StoredType::String) {
        return kRegMissing;
    }
    out = v->text;
    return kRegOk;
}

int CRegistry::ReadDword(RegRoot root, const std::string& key, const std::string& name,
                         uint32_t& out) {
    Store store;
    LoadForReading(root, store);
    const Value* v = FindValue(store, key, name);
    if (v == nullptr || v->type != StoredType::Dword) {
        return kRegMissing;
    }
    out = v->dword;
    return kRegOk;
}

int CRegistry::ReadBytes(RegRoot root, const std::string& key, const std::string& name,
                         uint8_t* buffer, size_t& size) {
    Store store;
    LoadForReading(root, store);
    const Value* v = FindValue(store, key, name);
    if (v == nullptr || v->type != StoredType::Bytes) {
        return kRegMissing;
    }
    if (v->bytes.size() > size) {
        size = v->bytes.size();  // what the caller would need
        return kRegTooLarge;
    }
    if (!v->bytes.empty()) {
        std::memcpy(buffer, v->bytes.data(), v->bytes.size());
    }
    size = v->bytes.size();
    return kRegOk;
}

int CRegistry::WriteString(RegRoot root, const std::string& key, const std::string& name,
                           const std::string& text) {
    Value v;
    v.name = name;
    v.type = StoredType::String;
    v.text = text;
    return WriteValue(root, key, std::move(v));
}

int CRegistry::WriteDword(RegRoot root, const std::string& key, const std::string& name,
                          uint32_t value) {
    Value v;
    v.name = name;
    v.type = StoredType::Dword;
    v.dword = value;
    return WriteValue(root, key, std::move(v));
}

int CRegistry::WriteBytes(RegRoot root, const std::string& key, const std::string& name,
                          const uint8_t* data, size_t length) {
    Value v;
    v.name = name;
    v.type = StoredType::Bytes;
    if (length > 0) {
        v.bytes.assign(data, data + length);
    }
    return WriteValue(root, key, std::move(v));
}

bool CRegistry::CreateKey(RegRoot root, const std::string& key) {
    if (root != RegRoot::CurrentUser || !ValidKey(key)) {
        return false;
    }
    return Modify([&](Store& store) { return EnsureKey(store, key); }) == kRegOk;
}

namespace {

std::vector<StoredValue> ListValues(Store& store, const std::string& key) {
    std::vector<StoredValue> out;
    Section* s = FindSection(store, key);
    if (s == nullptr) {
        return out;
    }
    // a name (as the line holds it): its place in out
    std::unordered_map<std::string_view, size_t, NoCaseHash, NoCaseEqual> byName;
    for (const Line& line : s->lines) {
        if (!line.IsValue()) {
            continue;
        }
        const Value& v = *line.value;
        StoredValue sv{v.name, v.type, v.text, v.dword, v.bytes};
        auto [it, added] = byName.emplace(v.name, out.size());
        if (added) {
            out.push_back(std::move(sv));
        } else {
            out[it->second] = std::move(sv);  // the last of a name is the one that counts
        }
    }
    return out;
}

}  // namespace

std::vector<StoredValue> ListStoredValues(RegRoot root, const std::string& key) {
    Store store;
    LoadForReading(root, store);
    return ListValues(store, key);
}

std::vector<StoredValue> ListStoredValuesInText(std::string_view text, const std::string& key) {
    Store store;
    Parse(store, std::string(text));
    return ListValues(store, key);
}

std::string SetDwordInText(std::string_view text, const std::string& key, const std::string& name,
                           uint32_t value) {
    Store store;
    Parse(store, std::string(text));
    if (ValidKey(key)) {
        Value v;
        v.name = name;
        v.type = StoredType::Dword;
        v.dword = value;
        SetValue(store, key, std::move(v));
    }
    return Serialise(store);
}

void CRegistryBatch::WriteString(const std::string& key, const std::string& name,
                                 const std::string& text) {
    Write w{key, name, 's', text, 0, {}};
    writes_.push_back(std::move(w));
}

void CRegistryBatch::WriteDword(const std::string& key, const std::string& name, uint32_t value) {
    writes_.push_back(Write{key, name, 'd', {}, value, {}});
}

void CRegistryBatch::WriteBytes(const std::string& key, const std::string& name,
                                const uint8_t* data, size_t length) {
    Write w{key, name, 'b', {}, 0, {}};
    if (length > 0) {
        w.bytes.assign(data, data + length);
    }
    writes_.push_back(std::move(w));
}

int CRegistryBatch::Commit() {
    std::vector<Write> writes = std::move(writes_);
    writes_.clear();
    for (const Write& w : writes) {
        if (!ValidKey(w.key)) {
            return kRegMissing;  // the key cannot be created: nothing of the action is stored
        }
    }
    if (writes.empty()) {
        return kRegOk;
    }
    return Modify([&](Store& store) {
        for (Write& w : writes) {
            Value v;
            v.name = w.name;
            v.type = w.type == 's'   ? StoredType::String
                     : w.type == 'd' ? StoredType::Dword
                                     : StoredType::Bytes;
            v.text = std::move(w.text);
            v.dword = w.dword;
            v.bytes = std::move(w.bytes);
            SetValue(store, w.key, std::move(v));
        }
        return true;
    });
}

bool StoredKeyExists(RegRoot root, const std::string& key) {
    Store store;
    LoadForReading(root, store);
    return FindSection(store, key) != nullptr;
}

}  // namespace kvr
