// Upload and download against simulated units on an in-process line; every wait (the
// Attention pause, the download delay, line timeouts) passes on the virtual clock. A tap
// under the port records each write and can switch a fault on for a chosen command, so a
// single board can be made to fail.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/Registry.h"
#include "document/Password.h"
#include "document/Transfer.h"
#include "support/SimDocument.h"

namespace kvr::test {

constexpr unsigned kDelayMs = 250;  // a download delay distinct from every other wait

struct Sent {
    uint8_t command;
    size_t size;
    uint64_t atMs;
};

// Records every write and lets a hook switch simulator faults before the bytes arrive.
class TapLine final : public ISerialLine {
  public:
    using Hook = std::function<void(const uint8_t* data, size_t n)>;
    TapLine(std::unique_ptr<ISerialLine> inner, std::vector<Sent>& log, Hook& hook)
        : inner_(std::move(inner)), log_(log), hook_(hook) {}
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        return inner_->Read(buffer, n, intervalMs, totalMs);
    }
    long Write(const uint8_t* data, size_t n, unsigned totalMs) override {
        if (n > 0) {
            log_.push_back({data[0], n, GetClock().NowMs()});
            if (hook_) {
                hook_(data, n);
            }
        }
        return inner_->Write(data, n, totalMs);
    }
    bool Purge() override { return inner_->Purge(); }
    bool SetDtr(bool on) override { return inner_->SetDtr(on); }
    bool HungUp() const override { return inner_->HungUp(); }

  private:
    std::unique_ptr<ISerialLine> inner_;
    std::vector<Sent>& log_;
    Hook& hook_;
};

class TransferTest : public SimDocumentTest {
  protected:
    void SetUp() override {
        std::ofstream(isolated.dir.File("QRL.ini"))
            << "[KVR View]\nKVR Download Delay=" << kDelayMs << "\n";
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "secret"),
            kRegOk);
        SetRunPassword("secret");  // authorised unless a test says otherwise
        doc.OnNewDocument();       // channel objects at addresses 0 to 3, as at start-up
        Start(sim::UnitKind::Kvr300);
    }
    void TearDown() override { SetRunPassword(""); }

    void Start(sim::UnitKind kind, uint8_t firmware = 189) {
        sim::SimOptions options;
        options.kind = kind;
        options.firmware = firmware;
        StartUnits(options);
        doc.Port().SetLineOpener([this](const std::string& device, const LineSettings& settings,
                                        std::string& error) -> std::unique_ptr<ISerialLine> {
            auto inner = sim::SimLineOpener(*units)(device, settings, error);
            return std::make_unique<TapLine>(std::move(inner), sent, hook);
        });
    }
    ParameterRecord UnitRecord(int address) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        return units->Board(address)->record;
    }
    void EditUnit(int address, const std::function<void(ParameterRecord&)>& edit) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        edit(units->Board(address)->record);
    }
    // Forgets what was shown, asked and sent so far.
    void Forget() {
        user.messages.clear();
        user.paneHistory.clear();
        user.lamp.clear();
        user.busyTexts.clear();
        user.passwordPrompts.clear();
        sent.clear();
    }
    // Upload, then forget what the upload showed and sent.
    void Uploaded() {
        ASSERT_TRUE(UploadCommand(doc));
        Forget();
    }
    // Fails every exchange that starts with the given command byte.
    void SilenceCommand(uint8_t command) {
        hook = [this, command](const uint8_t* data, size_t) {
            units->GetFaults().silent = data[0] == command;
        };
    }
    bool Sends(uint8_t command, size_t size = 1) const {
        return std::any_of(sent.begin(), sent.end(),
                           [&](const Sent& s) { return s.command == command && s.size == size; });
    }
    size_t RecordWrites() const {
        return static_cast<size_t>(std::count_if(
            sent.begin(), sent.end(), [](const Sent& s) { return (s.command & 0xF8) == 0xA0; }));
    }
    // Every message shown, each as "text | title | icon | buttons".
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const auto& m : user.messages) {
            out.push_back(Msg(m.text, m.title, m.icon, m.buttons));
        }
        return out;
    }
    static std::string Msg(const std::string& text, const std::string& title = "KVR View",
                           MsgIcon icon = MsgIcon::Error, MsgButtons buttons = MsgButtons::Ok) {
        return text + " | " + title + " | " + std::to_string(static_cast<int>(icon)) + " | " +
               std::to_string(static_cast<int>(buttons));
    }
    static std::string Info(const std::string& text, const std::string& title = "KVR View") {
        return Msg(text, title, MsgIcon::Information);
    }
    using Texts = std::vector<std::string>;

    std::vector<Sent> sent;
    TapLine::Hook hook;
};

}  // namespace kvr::test
