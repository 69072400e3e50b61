// Calibration and diagnostics against simulated units on an in-process line, on the
// virtual clock. A tap under the port records every write and can fail the n-th write of
// a chosen command byte, or silence the units for one.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Registry.h"
#include "document/Password.h"
#include "document/Transfer.h"
#include "support/SimDocument.h"

namespace kvr::test {

class CalTapLine final : public ISerialLine {
  public:
    using Hook = std::function<bool(const uint8_t* data, size_t n)>;  // false fails the write
    CalTapLine(std::unique_ptr<ISerialLine> inner, std::vector<uint8_t>& log, Hook& hook)
        : inner_(std::move(inner)), log_(log), hook_(hook) {}
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        return inner_->Read(buffer, n, intervalMs, totalMs);
    }
    long Write(const uint8_t* data, size_t n, unsigned totalMs) override {
        if (hook_ && n > 0 && !hook_(data, n)) {
            return -1;
        }
        log_.insert(log_.end(), data, data + n);
        return inner_->Write(data, n, totalMs);
    }
    bool Purge() override { return inner_->Purge(); }
    bool SetDtr(bool on) override { return inner_->SetDtr(on); }
    bool HungUp() const override { return inner_->HungUp(); }

  private:
    std::unique_ptr<ISerialLine> inner_;
    std::vector<uint8_t>& log_;
    Hook& hook_;
};

class CalibrationTest : public SimDocumentTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
            kRegOk);
        SetRunPassword("pw");
        Start(sim::UnitKind::Kvr300);
    }
    void TearDown() override { SetRunPassword(""); }

    // Fresh units, their gains exactly unity, uploaded into the document.
    void Start(sim::UnitKind kind) {
        doc.OnNewDocument();
        sim::SimOptions options;
        options.kind = kind;
        StartUnits(options);
        doc.Port().SetLineOpener([this](const std::string& device, const LineSettings& settings,
                                        std::string& error) -> std::unique_ptr<ISerialLine> {
            return std::make_unique<CalTapLine>(sim::SimLineOpener(*units)(device, settings, error),
                                                written, hook);
        });
        for (int a : units->Addresses()) {
            Unit(a).record.ApplyGainFactor(4096.0 / Unit(a).record.GetVoltageGain(),
                                           InputKind::Voltage);
            Unit(a).record.ApplyGainFactor(4096.0 / Unit(a).record.GetCurrentGain(),
                                           InputKind::Current);
        }
        ASSERT_TRUE(UploadAll(doc));
        user.messages.clear();
        written.clear();
    }
    // A simulated board (the tests touch it only between exchanges, on this thread).
    sim::BoardState& Unit(int address) { return *units->Board(address); }
    // Fails the n-th write (1 = the first) that starts with the command byte.
    void FailWrite(uint8_t command, int n) {
        hook = [command, n, seen = 0](const uint8_t* data, size_t) mutable {
            return data[0] != command || ++seen != n;
        };
    }
    // The units hear nothing while a write starting with the command byte is answered.
    void Silence(uint8_t command) {
        hook = [this, command](const uint8_t* data, size_t) {
            units->GetFaults().silent = data[0] == command;
            return true;
        };
    }
    // The bytes appear in this order somewhere on the line (frames may go byte by byte).
    bool Wrote(const std::vector<uint8_t>& frame) const {
        return std::search(written.begin(), written.end(), frame.begin(), frame.end()) !=
               written.end();
    }
    std::vector<std::string> Texts() const { return user.Texts(); }

    std::vector<uint8_t> written;  // every byte written, in order
    CalTapLine::Hook hook;
};

}  // namespace kvr::test
