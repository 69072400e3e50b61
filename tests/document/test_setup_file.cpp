// Setup files: the byte layout, the refusals and end-of-file rules, the atomic save, the
// template commands and the description preview.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <tuple>

#include "base/Bytes.h"
#include "base/Seams.h"
#include "document/SetupFile.h"
#include "link/PortSetup.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using Bytes = std::vector<uint8_t>;

// Everything of the document a setup file reaches, to prove "unchanged".
struct DocState {
    SetupImage image;
    std::array<ParameterRecord, kChannelObjects> saved;
    uint16_t savedCount;
    uint16_t savedColumns;
    std::array<uint8_t, kMaxMonitors> savedEntities;
    std::array<uint8_t, kMaxMonitors> savedChannels;
    std::string path;
    bool modified;
    bool operator==(const DocState&) const = default;
};

DocState StateOf(const CQRLDoc& doc) {
    DocState s{CaptureSetup(doc),
               {},
               doc.SavedMonitors().count,
               doc.SavedMonitors().columns,
               doc.SavedMonitors().entities,
               doc.SavedMonitors().channels,
               doc.PathName(),
               doc.IsModified()};
    for (int i = 0; i < kChannelObjects; ++i) {
        s.saved[static_cast<size_t>(i)] = doc.Channel(i).savedRecord;
    }
    return s;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// A header by hand: signature, a one-byte-prefixed description, the counts, the columns.
Bytes Header(uint16_t signature, const std::string& description, uint16_t channels,
             uint16_t monitors, std::optional<uint16_t> columns) {
    Bytes b;
    Append16(b, signature);
    b.push_back(static_cast<uint8_t>(description.size()));
    b.insert(b.end(), description.begin(), description.end());
    Append16(b, channels);
    Append16(b, monitors);
    if (columns) {
        Append16(b, *columns);
    }
    return b;
}

class SetupFileTest : public ::testing::Test {
  protected:
    void SetUp() override { doc.OnNewDocument(); }

    // A configuration unlike a new document's in every part a file holds.
    void FillDocument(CQRLDoc& d, const std::string& description, uint16_t monitors) {
        d.SetDescription(description);
        d.SetChannels(4);
        d.Monitors().count = monitors;
        d.Monitors().columns = 4;
        for (uint16_t i = 0; i < monitors; ++i) {
            d.Monitors().entities[i] = static_cast<uint8_t>(1 + i % 14);
            d.Monitors().channels[i] = static_cast<uint8_t>(i % 4);
        }
        for (int b = 0; b < kChannelObjects; ++b) {
            ParameterRecord& r = d.Channel(b).record;
            r.SetName("Feeder " + std::to_string(b + 1));
            r.SetSerialNumber(500000u + static_cast<uint32_t>(b));
            r.SetDirect(InputKind::Voltage, false);
            r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000.0 * (b + 1));
            r.SetOutputEntity(b, EntityFromCode(3));
        }
    }

    std::string Path(const std::string& name) const { return dir.File(name); }

    test::IsolatedSettings isolated;
    test::TempDir dir;
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    CQRLDoc doc;
};

TEST_F(SetupFileTest, FourBoardsWithoutMonitorsIs469Bytes) {
    FillDocument(doc, "", 0);
    const Bytes b = StoreSetup(doc);
    ASSERT_EQ(b.size(), 469u);
    EXPECT_EQ((Bytes{b.begin(), b.begin() + 9}),
              (Bytes{0x77, 0x27, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00}));  // 10103, "", 4, 0, 4
    for (int i = 0; i < 4; ++i) {
        const auto& rec = doc.Channel(i).record.Bytes();
        EXPECT_TRUE(std::equal(rec.begin(), rec.end(), b.begin() + 9 + 115 * i)) << "board " << i;
    }

    // Monitors: the entity bytes first, then the channel bytes.
    FillDocument(doc, "ab", 3);
    const Bytes m = StoreSetup(doc);
    ASSERT_EQ(m.size(), 2u + 3 + 6 + 6 + 460);
    EXPECT_EQ((Bytes{m.begin() + 11, m.begin() + 17}), (Bytes{1, 2, 3, 0, 1, 2}));
}

TEST_F(SetupFileTest, ArchiveStringsUseTheirThreePrefixForms) {
    const struct {
        size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0x2C, 0x01}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'x');
        Bytes out;
        PutArchiveString(out, text);
        ASSERT_EQ(out.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(c.prefix.size())), c.prefix);
        size_t pos = 0;
        std::string back;
        ASSERT_TRUE(GetArchiveString(out.data(), out.size(), pos, back)) << c.length;
        EXPECT_EQ(back, text);
        EXPECT_EQ(pos, out.size());
        // One byte short anywhere (prefix or text) is refused without moving on.
        pos = 0;
        back = "kept";
        EXPECT_FALSE(GetArchiveString(out.data(), out.size() - 1, pos, back)) << c.length;
        EXPECT_EQ(pos, 0u);
        EXPECT_EQ(back, "kept");
    }

    doc.SetDescription(std::string(300, 'd'));
    const Bytes file = StoreSetup(doc);
    EXPECT_EQ((Bytes{file[2], file[3], file[4]}), (Bytes{0xFF, 0x2C, 0x01}));
    EXPECT_EQ(file.size(), 2u + 3 + 300 + 6);
}

TEST_F(SetupFileTest, ReadsTheLongPrefixFormsOfOtherWriters) {
    // 10102, "hello" in the 32-bit form, no boards, no monitors, 2 columns.
    const Bytes b = {0x76, 0x27, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0, 'h',
                     'e',  'l',  'l',  'o',  0,    0, 0, 0, 2, 0};
    ASSERT_EQ(LoadSetup(doc, b.data(), b.size()), SetupStatus::Loaded);
    EXPECT_EQ(doc.Description(), "hello");
    EXPECT_EQ(doc.Monitors().columns, 2);
}

TEST_F(SetupFileTest, Signature10101ReadsThreeColumnsAndIsSavedAs10103) {
    ParameterRecord board;
    board.ResetToDefaults(0);
    board.SetName("Old style");
    Bytes b = Header(10101, "x", 1, 2, std::nullopt);
    b.insert(b.end(), {7, 2, 0, 3});  // entities 7, 2; channels 0, 3
    b.insert(b.end(), board.Bytes().begin(), board.Bytes().end());
    doc.Monitors().columns = 5;
    const std::string path = Path("old.kvr");
    WriteFile(path, b);
    ASSERT_TRUE(OpenDocumentFile(doc, path, false));
    const auto& m = doc.Monitors();
    EXPECT_EQ((std::vector<int>{m.columns, m.count, m.entities[0], m.entities[1], m.channels[0],
                                m.channels[1]}),
              (std::vector<int>{3, 2, 7, 2, 0, 3}));
    EXPECT_EQ(doc.Channel(0).record.GetName(), "Old style");
    EXPECT_TRUE(user.messages.empty());

    ASSERT_TRUE(SaveDocumentFile(doc, path, false));
    const Bytes saved = ReadFile(path);
    ASSERT_EQ(saved.size(), b.size() + 2);  // the columns field is written
    EXPECT_EQ(GetU16(saved.data()), 10103);
    EXPECT_EQ(GetU16(saved.data() + 2 + 2 + 4), 3);
}

// Impossible counts, an unknown signature and files that cannot be read: one message each,
// and nothing of the file, not even its name, is taken over. Only the unknown signature
// lets the open succeed.
TEST_F(SetupFileTest, RefusedFilesAreToldAndChangeNothing) {
    FillDocument(doc, "mine", 2);
    doc.SetPathName("/somewhere/mine.kvr");
    const DocState before = StateOf(doc);
    const auto counts = [](uint16_t channels, uint16_t monitors) {
        Bytes b = Header(10103, "theirs", channels, monitors, 1);
        b.resize(b.size() + 2000, 0x11);
        return b;
    };
    const struct {
        std::optional<Bytes> bytes;  // nullopt: no file
        bool opened;
        const char* text;
    } cases[] = {
        {counts(5, 0), false, "Not a valid KVR setup file - invalid data!"},
        {counts(0, 61), false, "Not a valid KVR setup file - invalid data!"},
        {counts(65535, 65535), false, "Not a valid KVR setup file - invalid data!"},
        {Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, true,
         "Not a valid KVR setup file - invalid signature!"},
        {std::nullopt, false, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = Path("refused.kvr");
        std::filesystem::remove(path);
        if (c.bytes) {
            WriteFile(path, *c.bytes);
        }
        user.messages.clear();
        EXPECT_EQ(OpenDocumentFile(doc, path), c.opened);
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_NE(user.messages[0].text.find(c.text), std::string::npos) << user.messages[0].text;
        EXPECT_EQ(user.messages[0].icon, MsgIcon::Error);
        EXPECT_TRUE(StateOf(doc) == before);
    }
    EXPECT_FALSE(OpenDocumentFile(doc, dir.Path()));
    EXPECT_NE(user.messages.back().text.find("Is a directory"), std::string::npos);
    EXPECT_TRUE(StateOf(doc) == before);
}

// Every length short of a whole file: the header must be whole, the blocks after it fill
// as far as the file goes and keep the rest.
TEST_F(SetupFileTest, TruncatedFilesFollowTheEndOfFileRules) {
    CQRLDoc source;
    source.OnNewDocument();
    FillDocument(source, "abc", 3);
    const Bytes full = StoreSetup(source);
    const size_t header = 2 + 4 + 6;  // signature, "abc", three counts
    const size_t monitorsAt = header;
    const size_t boardsAt = header + 6;

    for (size_t len = 0; len < full.size(); ++len) {
        CQRLDoc target;
        target.OnNewDocument();
        target.SetDescription("old");
        target.SetChannels(2);
        target.Monitors().count = 60;
        target.Monitors().entities.fill(0xEE);
        target.Monitors().channels.fill(0xEE);
        for (int b = 0; b < 4; ++b) {
            target.Channel(b).record.SetName("Old " + std::to_string(b));
        }
        const DocState before = StateOf(target);
        // Exactly len bytes on the heap, so a read past the end is a read past the block.
        std::unique_ptr<uint8_t[]> data(new uint8_t[len + 1]);
        std::copy(full.begin(), full.begin() + static_cast<long>(len), data.get());
        SetupReadInfo info;
        const SetupStatus status = LoadSetup(target, data.get(), len, &info);
        if (len < header) {
            ASSERT_EQ(status, SetupStatus::EndOfFile) << len;
            ASSERT_TRUE(StateOf(target) == before) << len;
            continue;
        }
        ASSERT_EQ(status, SetupStatus::Loaded) << len;
        EXPECT_EQ(info.truncated, true) << len;
        EXPECT_EQ(target.Description(), "abc");
        EXPECT_EQ(target.GetChannels(), 4);
        EXPECT_EQ(target.Monitors().count, 3);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(target.Monitors().entities[i],
                      monitorsAt + i < len ? full[monitorsAt + i] : 0);
            EXPECT_EQ(target.Monitors().channels[i],
                      monitorsAt + 3 + i < len ? full[monitorsAt + 3 + i] : 0);
        }
        EXPECT_EQ(target.Monitors().entities[3], 0);  // the arrays are cleared first
        for (size_t b = 0; b < 4; ++b) {
            const auto& now = target.Channel(static_cast<int>(b)).record.Bytes();
            const auto& old = before.image.records[b].Bytes();
            for (size_t k = 0; k < 115; ++k) {
                const size_t at = boardsAt + 115 * b + k;
                ASSERT_EQ(now[k], at < len ? full[at] : old[k]) << len << " board " << b;
            }
            EXPECT_EQ(target.Channel(static_cast<int>(b)).savedRecord,
                      target.Channel(static_cast<int>(b)).record);
        }
    }

    // Through the open: a cut header fails with an end-of-file message.
    const std::string path = Path("cut.kvr");
    WriteFile(path, Bytes(full.begin(), full.begin() + 7));
    FillDocument(doc, "mine", 1);
    const DocState before = StateOf(doc);
    EXPECT_FALSE(OpenDocumentFile(doc, path, false));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_NE(user.messages[0].text.find("ends unexpectedly"), std::string::npos);
    EXPECT_TRUE(StateOf(doc) == before);
    // A whole file has nothing left over.
    SetupReadInfo info;
    ASSERT_EQ(LoadSetup(doc, full.data(), full.size(), &info), SetupStatus::Loaded);
    EXPECT_FALSE(info.truncated);
    EXPECT_EQ(info.trailingBytes, 0u);
}

TEST_F(SetupFileTest, LoadAndStoreMakeTheSavedCopiesEqual) {
    FillDocument(doc, "x", 2);
    doc.SetChannels(2);
    const ParameterRecord untouched = doc.Channel(3).savedRecord;
    ASSERT_NE(doc.Channel(0).record, doc.Channel(0).savedRecord);
    ASSERT_TRUE(doc.IsModified());  // the monitors differ from their saved copies
    const Bytes b = StoreSetup(doc);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.SavedMonitors().count, 2);
    EXPECT_EQ(doc.SavedMonitors().columns, 4);
    EXPECT_EQ(doc.Channel(1).savedRecord, doc.Channel(1).record);
    EXPECT_EQ(doc.Channel(3).savedRecord, untouched);  // not part of the file

    CQRLDoc other;
    other.OnNewDocument();
    other.SetModifiedFlag(true);
    const std::string path = Path("two.kvr");
    WriteFile(path, b);
    ASSERT_TRUE(OpenDocumentFile(other, path, false));
    EXPECT_FALSE(other.IsModified());
    EXPECT_EQ(other.PathName(), path);
    EXPECT_EQ(other.SavedMonitors().entities, doc.Monitors().entities);
    EXPECT_EQ(other.Channel(1).record, doc.Channel(1).record);
    EXPECT_EQ(other.Channel(1).savedRecord, doc.Channel(1).record);
}

TEST_F(SetupFileTest, AFailedWriteKeepsThePreviousFileAndTheModifiedState) {
    FillDocument(doc, "first", 1);
    const std::string path = Path("unit.kvr");
    ASSERT_TRUE(SaveDocumentFile(doc, path, false));
    const Bytes previous = ReadFile(path);
    doc.SetDescription(std::string(4000, 'z'));
    doc.Monitors().count = 2;  // differs from its saved copy until a save succeeds

    // The disk "fills up" part-way through the new file.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveDocumentFile(doc, path, false);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_NE(user.messages[0].text.find("Cannot save the setup file"), std::string::npos);
    EXPECT_NE(user.messages[0].text.find("File too large"), std::string::npos);
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(SetupFileTest, PortSettingsFollowTheFlags) {
    PortSettings stored;
    stored.port = 7;
    stored.baud = "19200";
    ASSERT_TRUE(SavePortSettings(stored));
    const std::string path = Path("p.kvr");
    ASSERT_TRUE(SaveDocumentFile(doc, path, false));
    ASSERT_TRUE(OpenDocumentFile(doc, path, false));
    EXPECT_EQ(doc.Port().Settings().baud, "9600");  // left alone
    OpenDocumentFile(doc, path, true);
    EXPECT_EQ(doc.Port().Settings().baud, "19200");  // reloaded from the store

    doc.Port().Settings().baud = "4800";
    ASSERT_TRUE(SaveDocumentFile(doc, path, true));
    PortSettings back;
    ASSERT_TRUE(LoadPortSettings(back));
    EXPECT_EQ(back.baud, "4800");
}

TEST_F(SetupFileTest, PreviewShowsTheDescriptionOrWhyNot) {
    CQRLDoc source;
    source.OnNewDocument();
    source.SetDescription("Substation 4\r\nfeeders");
    WriteFile(Path("good.KVR"), StoreSetup(source));
    TemplatePreviewResult p = TemplatePreview(Path("good.KVR"));
    EXPECT_TRUE(p.changed);
    EXPECT_EQ(p.text, "Substation 4\r\nfeeders");
    EXPECT_TRUE(p.okEnabled);
    WriteFile(Path("old.kvr"), Header(10101, "from 10101", 0, 0, std::nullopt));
    EXPECT_EQ(TemplatePreview(Path("old.kvr")).text, "from 10101");

    const struct {
        const char* name;
        const char* text;
    } invalid[] = {{"notes.dsp", "Not a valid DSP file"},
                   {"notes.kvr", "Not a valid KVR file"},
                   {"notes.KVR", "Not a valid KVR View file"},
                   {"notes.txt", "Not a valid KVR View file"}};
    for (const auto& c : invalid) {
        WriteFile(Path(c.name), {'t', 'e', 'x', 't'});
        p = TemplatePreview(Path(c.name));
        EXPECT_TRUE(p.changed) << c.name;
        EXPECT_EQ(p.text, c.text) << c.name;
        EXPECT_FALSE(p.okEnabled) << c.name;
    }
    WriteFile(Path("one.kvr"), {0x77});
    EXPECT_EQ(TemplatePreview(Path("one.kvr")).text, "Not a valid KVR file");
    // A good signature with a description cut short is no setup file either.
    WriteFile(Path("cut.kvr"), {0x77, 0x27, 10, 'a', 'b'});
    EXPECT_FALSE(TemplatePreview(Path("cut.kvr")).okEnabled);

    p = TemplatePreview(Path("missing.kvr"));
    EXPECT_FALSE(p.changed);
    EXPECT_TRUE(p.okEnabled);
    EXPECT_FALSE(TemplatePreview(dir.Path()).changed);  // a folder cannot be read
}

// The template form as a script: each entry answers one form (nullopt = Cancel).
class TemplateTest : public SetupFileTest {
  protected:
    struct Call {
        bool open;
        std::string filter, path, description;
    };
    std::deque<std::optional<std::pair<std::string, std::string>>> answers;
    std::vector<Call> calls;
    ScopedSeams dialog{
        Seams{.templateFileDialog = [this](bool open, const std::string& filter, std::string& path,
                                           std::string& description) {
            calls.push_back({open, filter, path, description});
            const auto answer = answers.empty() ? std::nullopt : answers.front();
            if (!answers.empty()) {
                answers.pop_front();
            }
            if (answer) {
                std::tie(path, description) = *answer;
            }
            return answer.has_value();
        }}};
};

TEST_F(TemplateTest, LoadOpensTheChosenFileAndEnablesDownload) {
    CQRLDoc source;
    source.OnNewDocument();
    FillDocument(source, "template", 2);
    const std::string path = Path("t.kvr");
    WriteFile(path, StoreSetup(source));

    doc.Paths().suggestedFileName = "previous.kvr";
    answers.push_back(std::nullopt);
    EXPECT_FALSE(LoadSetupFile(doc));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].open);
    EXPECT_EQ(calls[0].filter, "KVR 100/300 files (*.kvr)|*.kvr||");
    EXPECT_EQ(calls[0].path, "");  // the suggested name is cleared first
    EXPECT_FALSE(doc.ConfigurationPresent());

    answers.push_back(std::make_pair(path, std::string()));
    EXPECT_TRUE(LoadSetupFile(doc));
    EXPECT_EQ(doc.Description(), "template");
    EXPECT_EQ(doc.Paths().setupFilePath, path);
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_TRUE(doc.ConfigurationPresent());

    // A file refused for its signature loads nothing and enables nothing.
    CQRLDoc fresh;
    fresh.OnNewDocument();
    WriteFile(Path("bad.kvr"), {1, 2, 3});
    answers.push_back(std::make_pair(Path("bad.kvr"), std::string()));
    EXPECT_FALSE(LoadSetupFile(fresh));
    EXPECT_FALSE(fresh.ConfigurationPresent());
    EXPECT_EQ(fresh.Paths().setupFilePath, "");
}

TEST_F(TemplateTest, SaveAsTakesTheDescriptionAndThePath) {
    FillDocument(doc, "kept", 1);
    doc.Paths().suggestedFileName = Path("suggested.kvr");
    answers.push_back(std::nullopt);
    EXPECT_FALSE(SaveSetupFileAs(doc));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].open);
    EXPECT_EQ(calls[0].path, Path("suggested.kvr"));
    EXPECT_EQ(calls[0].description, "kept");  // the box starts with the description
    EXPECT_FALSE(std::filesystem::exists(Path("suggested.kvr")));

    const std::string path = Path("new.kvr");
    answers.push_back(std::make_pair(path, std::string("typed in the form")));
    ASSERT_TRUE(SaveSetupFileAs(doc));
    EXPECT_EQ(doc.Description(), "typed in the form");
    EXPECT_EQ(doc.Paths().setupFilePath, path);
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(ReadFile(path), EncodeSetup(CaptureSetup(doc)));
    EXPECT_FALSE(doc.IsModified());

    // The form gives at most 1023 characters of description.
    answers.push_back(std::make_pair(path, std::string(2000, 'd')));
    ASSERT_TRUE(SaveSetupFileAs(doc));
    EXPECT_EQ(doc.Description().size(), 1023u);
    std::string accents;
    for (int i = 0; i < 600; ++i) {
        accents += "\xC3\xA9";  // two bytes each: byte 1023 would split one
    }
    answers.push_back(std::make_pair(path, accents));
    ASSERT_TRUE(SaveSetupFileAs(doc));
    EXPECT_EQ(doc.Description(), accents.substr(0, 1022));
}

TEST_F(TemplateTest, SaveWritesInPlaceOnlyForAKvrTemplatePath) {
    FillDocument(doc, "one", 1);
    const std::string path = Path("in-place.kvr");
    answers.push_back(std::make_pair(path, std::string("one")));
    ASSERT_TRUE(SaveSetupFileAs(doc));
    calls.clear();

    doc.SetDescription("two");
    doc.Paths().setupFilePath = path.substr(0, path.size() - 3) + "KvR";  // case does not matter
    ASSERT_TRUE(SaveSetupFile(doc));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(ReadFile(path), EncodeSetup(CaptureSetup(doc)));

    doc.Paths().setupFilePath = Path("display.dsp");
    answers.push_back(std::nullopt);
    EXPECT_FALSE(SaveSetupFile(doc));
    EXPECT_EQ(calls.size(), 1u);  // asks, as Save As
    doc.Paths().setupFilePath = "";
    answers.push_back(std::nullopt);
    EXPECT_FALSE(SaveSetupFile(doc));
    EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace kvr
