// What every calibration and diagnostics form shares while it is open: the document's
// device lock (so the monitor reading thread stays off the line), the Attention kept up by
// a 5000 ms timer, and output test mode switched on and off for the boards under test.
#pragma once

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr unsigned kKeepAliveMs = 5000;
inline constexpr unsigned kErrorBeepHz = 1000;
inline constexpr unsigned kErrorBeepMs = 1000;
inline constexpr const char* kCalibrationCommsFailedText =
    "The calibration failed due to an error while communicating with the KVR!";

// Attention without its pause, for a form's 5000 ms timer. It never raises a message of its
// own (a closed port would otherwise repeat one every 5 seconds); the user's next action
// reports it.
void SendKeepAlive(CQRLDoc& doc);

class DeviceSession {
  public:
    explicit DeviceSession(CQRLDoc& doc) : doc_(doc), lock_(doc) {}
    virtual ~DeviceSession() = default;
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    CQRLDoc& Doc() { return doc_; }
    // Takes the device lock for the form's lifetime; false (the form does not open) when
    // another thread keeps it.
    bool Lock() { return lock_.IsLocked() || lock_.Lock(); }
    bool Locked() const { return lock_.IsLocked(); }
    // The form's 5000 ms timer (SendKeepAlive).
    void KeepAlive() { SendKeepAlive(doc_); }

  protected:
    // Output test on for a measuring channel object and, when the document has more than
    // one channel, for the main board; false when a command could not be sent.
    bool OutputTestOn(int channel);
    // Output test off for channel objects 0 to GetChannels() - 1.
    void OutputTestOffAll();

    CQRLDoc& doc_;

  private:
    DeviceLock lock_;
};

}  // namespace kvr
