// CQRLDoc: the program's one document. It holds the configuration of the attached
// installation (up to three measuring channels and the KVR 300 main board, or one
// KVR 100), the monitor list, the download preferences and the branding texts, and it
// owns the serial port and the protocol object of every unit on the line.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "document/Branding.h"
#include "document/DownloadPreferences.h"
#include "document/MonitorList.h"
#include "link/ChannelLink.h"
#include "link/SerialPort.h"
#include "link/TalkLink.h"

namespace kvr {

inline constexpr int kChannelObjects = 4;  // index 0-2 measuring channels, 3 main board
inline constexpr int kMainBoard = talk::kMainBoardAddress;  // at its own address
inline constexpr uint8_t kComAddress = 4;
inline constexpr uint8_t kDisplayAddress = 5;
inline constexpr unsigned kDeviceLockTimeoutMs = 4000;

// The kind of attached unit; the document keeps only the matching channel count.
enum class DeviceType { Kvr100 = 0, Kvr300 = 1, KvrCom = 2, KvrDisplay = 3 };

// The files the document was last read from or written to, beside its own path.
struct FilePaths {
    std::string displaySetupPath;   // the KVR Display's setup file
    std::string setupFilePath;      // the setup file of the template commands
    std::string suggestedFileName;  // the template form's first file name
};

class CQRLDoc {
  public:
    CQRLDoc();
    ~CQRLDoc();
    CQRLDoc(const CQRLDoc&) = delete;
    CQRLDoc& operator=(const CQRLDoc&) = delete;

    // --- framework-like operations -----------------------------------------------------
    // Reset: monitors and channel count to 0, every record to its defaults, the unit
    // addresses of channel objects 0 to 2 from kvr100Address.
    bool OnNewDocument();
    bool IsModified() const;
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // Always true: the exit confirmation takes the place of a question to save.
    bool SaveModified() { return true; }
    const std::string& PathName() const { return pathName_; }
    void SetPathName(const std::string& path) { pathName_ = path; }

    uint16_t GetChannels() const { return channelCount_; }
    // KVR 100: 1, KVR 300: 4, KVR Com and KVR Display: 0; other values change nothing.
    void SetDeviceType(int type);
    // The boards an upload or a loaded file left in the document (0 to 4).
    void SetChannels(uint16_t count);
    // QueryDevice to channel objects 0 to channelCount - 1, then to addresses 4 and 5.
    void QueryDeviceCodes();

    // --- the document's values ----------------------------------------------------------
    // The monitor list; changed only by the monitor form, a loaded file or the store.
    MonitorList& Monitors() { return monitors_; }
    const MonitorList& Monitors() const { return monitors_; }
    // The list as last saved with the configuration.
    const MonitorList& SavedMonitors() const { return savedMonitors_; }
    // Makes the saved monitor copies equal to the live ones.
    void SnapshotMonitors() { savedMonitors_ = monitors_; }

    DownloadPreferences& Preferences() { return preferences_; }
    const DownloadPreferences& Preferences() const { return preferences_; }
    FilePaths& Paths() { return paths_; }
    const FilePaths& Paths() const { return paths_; }
    Branding& Brand() { return brand_; }
    const Branding& Brand() const { return brand_; }

    // The configuration's own description, kept in its setup file.
    const std::string& Description() const { return description_; }
    void SetDescription(const std::string& text) { description_ = text; }
    // The name given in the Options form.
    const std::string& OperatorName() const { return operatorName_; }
    void SetOperatorName(const std::string& name) { operatorName_ = name; }
    // The address (0 to 2) a single KVR 100 answers at; a new document addresses channel
    // objects 0 to 2 by it.
    uint8_t Kvr100Address() const { return kvr100Address_; }
    void SetKvr100Address(uint8_t address) { kvr100Address_ = address; }
    // Upload and download stop at the first board that fails ("Upload until first fail").
    bool StopAtFirstFailure() const { return stopAtFirstFailure_; }
    void SetStopAtFirstFailure(bool stop) { stopAtFirstFailure_ = stop; }
    // An upload or a template load has put a configuration in the document.
    bool ConfigurationPresent() const { return configurationPresent_; }
    void SetConfigurationPresent(bool present) { configurationPresent_ = present; }
    // Bit i: channel object i was read by the last upload.
    uint8_t LastUploadMask() const { return lastUploadMask_; }
    void SetLastUploadMask(uint8_t mask) { lastUploadMask_ = mask; }

    CSerialPort& Port() { return *port_; }
    CChannelLink& Channel(int index) { return *channels_.at(static_cast<size_t>(index)); }
    const CChannelLink& Channel(int index) const {
        return *channels_.at(static_cast<size_t>(index));
    }
    CTalkLink& ComLink() { return *comLink_; }
    CTalkLink& DisplayLink() { return *displayLink_; }

    // --- the device lock between the two threads ----------------------------------------
    // The monitor reading thread says when it runs; while it does, the channel count, the
    // monitor list, the records and the port change only under DeviceLock.
    void NoteReaderRunning(bool running);
    bool ReaderRunning() const { return readersRunning_.load() > 0; }
    // Debug builds: stops the program when the calling thread changes what the reading
    // thread reads without holding DeviceLock while the reading thread runs.
    void CheckDeviceLockHeld() const;
    // True while a thread waits in DeviceLock::Lock for the mutex somebody else holds:
    // the reading thread then hands the port over at its next exchange boundary.
    bool CommandWaiting() const { return lockWaiters_.load() > 0; }

  private:
    friend class DeviceLock;

    std::unique_ptr<CSerialPort> port_;
    std::array<std::unique_ptr<CChannelLink>, kChannelObjects> channels_;
    std::unique_ptr<CTalkLink> comLink_;
    std::unique_ptr<CTalkLink> displayLink_;
    // Serialises all device traffic of the user-interface and the reading thread; taken
    // only through DeviceLock. Its timed wait is DeviceLock's own (woken by every
    // release), not the mutex's: a timed lock is invisible to ThreadSanitizer here.
    std::recursive_mutex deviceMutex_;
    std::mutex releaseMutex_;  // protects nothing; pairs with released_
    std::condition_variable released_;
    std::atomic<std::thread::id> lockOwner_{};
    // Threads waiting in DeviceLock::Lock for a mutex another thread holds.
    std::atomic<int> lockWaiters_{0};
    std::atomic<int> readersRunning_{0};
    bool modified_ = false;
    std::string pathName_;

    uint16_t channelCount_ = 0;
    MonitorList monitors_;
    MonitorList savedMonitors_;
    DownloadPreferences preferences_;
    FilePaths paths_;
    Branding brand_;
    std::string description_;
    std::string operatorName_;
    uint8_t kvr100Address_ = 0;
    bool stopAtFirstFailure_ = true;
    bool configurationPresent_ = false;
    uint8_t lastUploadMask_ = 0;
};

// The one document of the program; null before one exists. The program (or a test) puts
// its document in place with ScopedActiveDocument.
CQRLDoc* GetActiveDocument();
class ScopedActiveDocument {
  public:
    explicit ScopedActiveDocument(CQRLDoc& doc);
    ~ScopedActiveDocument();
    ScopedActiveDocument(const ScopedActiveDocument&) = delete;
    ScopedActiveDocument& operator=(const ScopedActiveDocument&) = delete;

  private:
    CQRLDoc* previous_;
};

// Scoped guard over the document's device mutex. Construction binds it to the active
// document and holds nothing yet; Lock waits at most 4000 ms; destruction releases only
// this guard's own hold.
class DeviceLock {
  public:
    DeviceLock();
    explicit DeviceLock(CQRLDoc& doc);
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    bool Lock();
    bool IsLocked() const { return held_; }
    // The thread holding the device mutex, or a default id when it is free.
    static std::thread::id Owner(const CQRLDoc& doc) { return doc.lockOwner_.load(); }

  private:
    CQRLDoc* doc_;
    bool held_ = false;
    std::thread::id previousOwner_{};
};

}  // namespace kvr
