#include "document/SetupFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/Bytes.h"
#include "base/UserSeam.h"
#include "document/SetupJson.h"
#include "link/PortSetup.h"

namespace kvr {

namespace {

constexpr uint8_t kLongPrefix = 0xFF;
constexpr uint16_t kWidePrefix = 0xFFFF;
constexpr uint16_t kLongest16 = 0xFFFE;  // lengths from here on take the 32-bit form
// The preview shows at most this much of a description; the form holds far less.
constexpr size_t kPreviewMaxText = size_t{64} << 10;
constexpr size_t kMaxDialogDescription = 1023;

// The length prefix of an archive string at pos; pos moves past it.
bool GetArchivePrefix(const uint8_t* data, size_t size, size_t& pos, uint64_t& length) {
    size_t p = pos;
    if (p >= size) {
        return false;
    }
    length = data[p++];
    if (length == kLongPrefix) {
        if (size - p < 2) {
            return false;
        }
        length = GetU16(data + p);
        p += 2;
        if (length == kWidePrefix) {
            if (size - p < 4) {
                return false;
            }
            length = GetU32(data + p);
            p += 4;
        }
    }
    pos = p;
    return true;
}

// Reads the file's fields in order without ever looking past its end.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool U16(uint16_t& value) {
        if (size_ - pos_ < 2) {
            return false;
        }
        value = GetU16(data_ + pos_);
        pos_ += 2;
        return true;
    }
    bool String(std::string& text) { return GetArchiveString(data_, size_, pos_, text); }
    // Copies as much of want bytes as the file still holds; gives the count copied.
    size_t Fill(uint8_t* out, size_t want) {
        const size_t n = std::min(want, size_ - pos_);
        if (n > 0) {
            std::memcpy(out, data_ + pos_, n);
        }
        pos_ += n;
        return n;
    }
    size_t Left() const { return size_ - pos_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void PutU16To(std::vector<uint8_t>& out, uint16_t v) {
    uint8_t b[2];
    PutU16(b, v);
    // Byte by byte: GCC 12 at -O3 takes a two-byte range insert into a fresh vector for
    // an overflow (-Wstringop-overflow).
    out.push_back(b[0]);
    out.push_back(b[1]);
}

std::string NotValidText(const std::string& path) {
    const std::string tail = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    if (tail == "kvr") {
        return "Not a valid KVR file";
    }
    if (tail == "dsp") {
        return "Not a valid DSP file";
    }
    return "Not a valid KVR View file";
}

bool EndsWithKvr(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return tail == ".KVR";
}

}  // namespace

bool IsSetupSignature(uint16_t signature) {
    return signature == kSetupSignature10101 || signature == kSetupSignature10102 ||
           signature == kSetupSignature;
}

void PutArchiveString(std::vector<uint8_t>& out, const std::string& text) {
    const size_t n = text.size();
    if (n < kLongPrefix) {
        out.push_back(static_cast<uint8_t>(n));
    } else if (n < kLongest16) {
        out.push_back(kLongPrefix);
        PutU16To(out, static_cast<uint16_t>(n));
    } else {
        out.push_back(kLongPrefix);
        PutU16To(out, kWidePrefix);
        uint8_t b[4];
        PutU32(b, static_cast<uint32_t>(n));
        out.insert(out.end(), b, b + 4);
    }
    out.insert(out.end(), text.begin(), text.end());
}

bool GetArchiveString(const uint8_t* data, size_t size, size_t& pos, std::string& text) {
    size_t p = pos;
    uint64_t length = 0;
    if (!GetArchivePrefix(data, size, p, length) || size - p < length) {
        return false;
    }
    text.assign(reinterpret_cast<const char*>(data + p), static_cast<size_t>(length));
    pos = p + static_cast<size_t>(length);
    return true;
}

SetupImage CaptureSetup(const CQRLDoc& doc, uint16_t signature) {
    SetupImage image;
    image.signature = signature;
    image.description = doc.Description();
    image.channelCount = doc.GetChannels();
    image.monitors = doc.Monitors();
    for (int i = 0; i < kChannelObjects; ++i) {
        image.records[static_cast<size_t>(i)] = doc.Channel(i).record;
    }
    return image;
}

std::vector<uint8_t> EncodeSetup(const SetupImage& image) {
    const uint16_t signature =
        IsSetupSignature(image.signature) ? image.signature : kSetupSignature;
    const uint16_t channels = std::min(image.channelCount, kSetupMaxChannels);
    const uint16_t monitors = static_cast<uint16_t>(image.monitors.Size());
    std::vector<uint8_t> out;
    out.reserve(16 + image.description.size() + size_t{2} * monitors +
                size_t{ParameterRecord::kSize} * channels);
    PutU16To(out, signature);
    PutArchiveString(out, image.description);
    PutU16To(out, channels);
    PutU16To(out, monitors);
    if (signature != kSetupSignature10101) {
        PutU16To(out, image.monitors.columns);
    }
    const auto& entities = image.monitors.entities;
    const auto& channelBytes = image.monitors.channels;
    out.insert(out.end(), entities.begin(), entities.begin() + monitors);
    out.insert(out.end(), channelBytes.begin(), channelBytes.begin() + monitors);
    for (size_t i = 0; i < channels; ++i) {
        const auto& bytes = image.records[i].Bytes();
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

SetupStatus DecodeSetup(const uint8_t* data, size_t size, SetupImage& image, SetupReadInfo* info) {
    SetupReadInfo local;
    SetupReadInfo& found = info != nullptr ? *info : local;
    found = SetupReadInfo{};
    Reader in(data, size);
    uint16_t signature = 0;
    if (!in.U16(signature)) {
        return SetupStatus::EndOfFile;
    }
    found.signature = signature;
    if (!IsSetupSignature(signature)) {
        return SetupStatus::InvalidSignature;
    }
    std::string description;
    uint16_t channels = 0;
    uint16_t monitors = 0;
    uint16_t columns = kSetupDefaultColumns;
    if (!in.String(description) || !in.U16(channels) || !in.U16(monitors)) {
        return SetupStatus::EndOfFile;
    }
    if (signature != kSetupSignature10101 && !in.U16(columns)) {
        return SetupStatus::EndOfFile;
    }
    if (channels > kSetupMaxChannels || monitors > kMaxMonitors) {
        return SetupStatus::InvalidData;
    }
    image.signature = signature;
    image.description = std::move(description);
    image.channelCount = channels;
    image.monitors.count = monitors;
    image.monitors.columns = columns;
    image.monitors.entities.fill(0);
    image.monitors.channels.fill(0);
    // From here a short file fills what it holds and keeps the rest of the block.
    auto fill = [&](uint8_t* out, size_t want, const std::string& where) {
        if (in.Fill(out, want) < want && !found.truncated) {
            found.truncated = true;
            found.truncatedIn = where;
        }
    };
    fill(image.monitors.entities.data(), monitors, "the monitor entities");
    fill(image.monitors.channels.data(), monitors, "the monitor channels");
    for (size_t i = 0; i < channels; ++i) {
        fill(image.records[i].Data(), ParameterRecord::kSize, "board " + std::to_string(i));
    }
    found.trailingBytes = in.Left();
    return SetupStatus::Loaded;
}

void ApplySetup(CQRLDoc& doc, const SetupImage& image) {
    doc.CheckDeviceLockHeld();
    doc.SetDescription(image.description);
    doc.SetChannels(image.channelCount);
    // A file without monitors (as a headless upload saves one) says nothing about them:
    // the monitors being watched and logged stay.
    doc.Monitors().TakeFromFile(image.monitors);
    const int channels = std::min<int>(image.channelCount, kChannelObjects);
    for (int i = 0; i < channels; ++i) {
        doc.Channel(i).record = image.records[static_cast<size_t>(i)];
    }
    MarkSetupSaved(doc);
}

void MarkSetupSaved(CQRLDoc& doc) {
    doc.SnapshotMonitors();
    const int channels = std::min<int>(doc.GetChannels(), kChannelObjects);
    for (int i = 0; i < channels; ++i) {
        doc.Channel(i).savedRecord = doc.Channel(i).record;
    }
}

std::vector<uint8_t> StoreSetup(CQRLDoc& doc) {
    std::vector<uint8_t> bytes = EncodeSetup(CaptureSetup(doc, kSetupSignature));
    MarkSetupSaved(doc);
    return bytes;
}

SetupStatus LoadSetup(CQRLDoc& doc, const uint8_t* data, size_t size, SetupReadInfo* info) {
    // Parsed into a copy, so a refused file leaves nothing of itself in the document.
    SetupImage staged = CaptureSetup(doc);
    const SetupStatus status = DecodeSetup(data, size, staged, info);
    if (status == SetupStatus::Loaded) {
        ApplySetup(doc, staged);
    }
    return status;
}

SetupStatus OpenSetupFile(CQRLDoc& doc, const std::string& path, bool reopenPort,
                          SetupReadInfo* info) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error)) {
        AppMessageBox("Cannot open the setup file \"" + path + "\": " + error + ".",
                      MsgIcon::Error);
        return SetupStatus::ReadError;
    }
    SetupStatus status = SetupStatus::ReadError;
    {
        // The file replaces what the reading thread reads, and the port is reopened under
        // it: both only while it is kept off the line. Messages come after the release.
        DeviceLock lock(doc);
        if (!lock.Lock()) {
            return SetupStatus::ReadError;
        }
        status = LoadSetup(doc, bytes.data(), bytes.size(), info);
        if (status == SetupStatus::Loaded) {
            doc.SetPathName(path);
            doc.SetModifiedFlag(false);
            if (reopenPort) {
                // A setup file carries no port settings: the stored ones apply again.
                StoreOrLoadSettings(doc.Port(), false);
            }
        }
    }
    switch (status) {
        case SetupStatus::InvalidSignature:
            AppMessageBox(kInvalidSignatureText, MsgIcon::Error);
            break;
        case SetupStatus::InvalidData:
            AppMessageBox(kInvalidDataText, MsgIcon::Error);
            break;
        case SetupStatus::EndOfFile:
            AppMessageBox("Cannot open the setup file \"" + path +
                              "\": the file ends unexpectedly (it is incomplete or damaged).",
                          MsgIcon::Error);
            break;
        case SetupStatus::Loaded:
        case SetupStatus::ReadError:
            break;
    }
    return status;
}

bool OpenDocumentFile(CQRLDoc& doc, const std::string& path, bool reopenPort) {
    const SetupStatus status = OpenSetupFile(doc, path, reopenPort);
    return status == SetupStatus::Loaded || status == SetupStatus::InvalidSignature;
}

bool SaveDocumentFile(CQRLDoc& doc, const std::string& path, bool storePortSettings) {
    const std::vector<uint8_t> bytes = EncodeSetup(CaptureSetup(doc, kSetupSignature));
    std::string error;
    if (!WriteFileAtomically(path, bytes, error)) {
        AppMessageBox("Cannot save the setup file \"" + path + "\": " + error + ".",
                      MsgIcon::Error);
        return false;
    }
    // Only a save that reached the disk counts as saved.
    MarkSetupSaved(doc);
    doc.SetPathName(path);
    doc.SetModifiedFlag(false);
    if (storePortSettings) {
        StoreOrLoadSettings(doc.Port(), true);
    }
    return true;
}

bool RunTemplateFileDialog(bool open, const std::string& filter, std::string& path,
                           std::string& description) {
    const TemplateFileDialog dialog = CurrentSeam(&Seams::templateFileDialog);
    if (!dialog || !dialog(open, filter, path, description)) {
        return false;
    }
    if (description.size() > kMaxDialogDescription) {
        // A UTF-8 text is cut before the character that would be split, not inside it.
        size_t cut = kMaxDialogDescription;
        if (IsValidUtf8(description)) {
            while (cut > 0 && (static_cast<unsigned char>(description[cut]) & 0xC0) == 0x80) {
                --cut;
            }
        }
        description.resize(cut);
    }
    return true;
}

bool LoadSetupFile(CQRLDoc& doc) {
    doc.Paths().suggestedFileName.clear();
    std::string path = doc.Paths().suggestedFileName;
    std::string description;
    if (!RunTemplateFileDialog(true, kSetupFilter, path, description)) {
        return false;
    }
    // A file refused for its signature was not loaded: the document keeps its state and
    // gains no template path, so Download and Save stay as they were.
    if (OpenSetupFile(doc, path, true) != SetupStatus::Loaded) {
        return false;
    }
    doc.Paths().setupFilePath = path;
    doc.SetConfigurationPresent(true);
    return true;
}

bool SaveSetupFile(CQRLDoc& doc) {
    if (!EndsWithKvr(doc.Paths().setupFilePath) || doc.PathName().empty()) {
        return SaveSetupFileAs(doc);
    }
    return SaveDocumentFile(doc, doc.PathName(), true);
}

bool SaveSetupFileAs(CQRLDoc& doc) {
    std::string path = doc.Paths().suggestedFileName;
    // The box starts with the document's description, so Save As keeps it unless the
    // user changes it.
    std::string description = doc.Description();
    if (!RunTemplateFileDialog(false, kSetupFilter, path, description)) {
        return false;
    }
    doc.SetDescription(description);
    if (!SaveDocumentFile(doc, path, true)) {
        return false;
    }
    if (OpenSetupFile(doc, path, true) != SetupStatus::Loaded) {
        return false;
    }
    doc.Paths().setupFilePath = path;
    return true;
}

TemplatePreviewResult TemplatePreview(const std::string& path) {
    TemplatePreviewResult result;
    result.okEnabled = true;
    struct stat st {};
    // Only a regular file is read: a pipe or device could block the form.
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return result;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return result;
    }
    std::vector<uint8_t> head(2 + 7 + kPreviewMaxText);
    size_t got = 0;
    while (got < head.size()) {
        ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    head.resize(got);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    result.changed = true;
    if (got >= 2 && IsSetupSignature(GetU16(head.data()))) {
        size_t pos = 2;
        uint64_t length = 0;
        // The description must be there in full; a cut-short one is no setup file.
        if (GetArchivePrefix(head.data(), head.size(), pos, length) && pos + length <= fileSize) {
            const size_t shown = std::min<size_t>(static_cast<size_t>(length), got - pos);
            result.text.assign(reinterpret_cast<const char*>(head.data() + pos), shown);
            return result;
        }
    }
    result.text = NotValidText(path);
    result.okEnabled = false;
    return result;
}

}  // namespace kvr
