// Shared pieces of the kvrctl commands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/EntityScale.h"
#include "link/SerialPort.h"

namespace kvr {
class CQRLDoc;
class DeviceSession;
}  // namespace kvr

namespace kvr::cli {

// Exit statuses (diff keeps its own: 0 equal, 1 different, 2 trouble).
constexpr int kExitFailed = 1;    // the line, the unit or a file failed
constexpr int kExitUsage = 2;     // the command line is wrong
constexpr int kExitQuestion = 3;  // a download stopped at a question no flag answered

struct Options {
    PortSettings settings;
    bool portGiven = false;
};

// Prints "kvrctl: reason" to standard error and gives the failure status 1.
int Fail(const std::string& reason);
// The same for a command line that is wrong: the reason, where the command's usage is
// found, and the status 2.
int UsageError(const std::string& command, const std::string& reason);
// Opens the port of the options; prints the reason and gives false when it will not open.
bool OpenPort(const Options& options, CSerialPort& port);
// "port N (/dev/ttyS0)" or the device path: where a command looked for the unit.
std::string PortName(const CSerialPort& port);

// Text from a file, a unit or the settings made safe for a terminal: non-UTF-8 bytes are
// read as Latin-1, and control characters (C0, DEL and C1, which could move the cursor,
// clear the screen or set the window title) are shown as \xHH or \u00HH. Line breaks stay
// when keepLineBreaks is set.
std::string TerminalText(const std::string& text, bool keepLineBreaks = false);
// A JSON document made safe the same way while staying the same document: DEL and the C1
// controls, which JSON allows raw in strings, become \u escapes (C0 ones are escaped by
// every JSON writer already).
std::string TerminalJson(const std::string& json);

// A one-line progress text on standard error, only when it is a terminal; each text
// replaces the one before and the line is cleared when the work ends or a message is
// printed.
// Bytes to a file, written atomically, or to standard output for "-"; false after the
// reason was printed.
bool WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes);
// Whether a file name ends in ext (".kvr", in lower case) in any case.
bool HasExtension(const std::string& path, const std::string& ext);
// Whether bytes start, after white space, with "{": none of the binary files does.
bool LooksLikeJson(const std::vector<uint8_t>& bytes);

void ShowProgress(const std::string& text);
void ClearProgress();

// Takes "--kvr100-address 0|1|2" out of args. address: the one given, else the one stored
// by 'kvrctl address', else 0. False (with the reason) on a wrong value.
bool TakeKvr100Address(std::vector<std::string>& args, int& address, std::string& error);
// The value of --board: 0 to 2 the measuring channels, 3 the main board.
bool ParseBoardNumber(const std::string& text, int& board, std::string& error);
// The address stored by 'kvrctl address N' (0 when none is stored).
int StoredKvr100Address();
bool StoreKvr100Address(int address);

// The unit read into a document under a form's session, as the desktop program has it
// before the form opens. Prints the reason and gives false when the port or the unit
// failed.
bool ReadUnitInto(const Options& options, CQRLDoc& doc, DeviceSession& session, int kvr100Address);

// An entity as the monitor command takes it: a code 1 to 14 or a name such as voltage,
// pf or active-energy (any case).
bool ParseEntityWord(const std::string& word, MeasuredEntity& entity);
// The outputs of a loaded setup file decoded as the output forms show them ('show').
void PrintOutputs(CQRLDoc& doc);
// One command of kvrctl, as the file that implements it contributes it.
struct CommandRow {
    const char* name;
    int place;  // its place in the list of commands, ascending: 10, 20, ...
    int (*run)(const Options&, const std::vector<std::string>&);
    const char* summary;  // one line for the list of commands
    const char* usage;    // the command's own help
};
using CommandRows = std::span<const CommandRow>;

// The rows of each file of commands; kvrctl.cpp gathers them.
CommandRows PortCommandRows();
CommandRows DeviceCommandRows();
CommandRows TransferCommandRows();
CommandRows MonitorCommandRows();
CommandRows FileCommandRows();
CommandRows SettingsCommandRows();
CommandRows UnitCommandRows();
CommandRows SetCommandRows();
CommandRows ModuleCommandRows();
CommandRows DiagCommandRows();
CommandRows CalibrateOutputCommandRows();
CommandRows ReportCommandRows();

// The commands: each gets the global options and the words after its name.
int Upload(const Options& options, const std::vector<std::string>& args);
int Values(const Options& options, const std::vector<std::string>& args);
int Settings(const Options& options, const std::vector<std::string>& args);
int Password(const Options& options, const std::vector<std::string>& args);
int Query(const Options& options, const std::vector<std::string>& args);
int Download(const Options& options, const std::vector<std::string>& args);
int Show(const Options& options, const std::vector<std::string>& args);
int Convert(const Options& options, const std::vector<std::string>& args);
int Diff(const Options& options, const std::vector<std::string>& args);
int Monitor(const Options& options, const std::vector<std::string>& args);
int Address(const Options& options, const std::vector<std::string>& args);
int Ports(const Options& options, const std::vector<std::string>& args);
int Set(const Options& options, const std::vector<std::string>& args);
// 'calibrate output', with the words after "output".
int CalibrateOutput(const Options& options, const std::vector<std::string>& args);

}  // namespace kvr::cli
