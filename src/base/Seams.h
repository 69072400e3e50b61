// The seams of the program in one place: everything through which the core reaches the
// person at the keyboard, the time, the debug trace and the forms of the desktop program.
// The desktop program, kvrctl and the tests install theirs one way: a Seams value with
// the slots they fill, put in place for a scope by ScopedSeams (or for good by
// InstallSeams at start-up). A slot left empty in that value keeps what was in place.
//
// Adding a slot: one member below and its line in ForEachSlot beside it.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace kvr {

class IUserSeam;
class IClock;
struct PortSettings;  // the value the port settings form edits (link/SerialPort.h)

// The debug trace's output; see base/Trace.h.
using TraceSink = std::function<void(const std::string&)>;
// The "Select Serial Port" form: edits the settings in place on OK; false on Cancel.
using PortSettingsEditor = std::function<bool(PortSettings& settings)>;
// The template open/save form: open flag, filter, path (in: the initial file name; out:
// the chosen one), description (in: the initial text of the description box; out: its
// text on OK). True for OK.
using TemplateFileDialog = std::function<bool(bool open, const std::string& filter,
                                              std::string& path, std::string& description)>;
// Shows the user guide at an anchor (the contents for an empty one).
using HelpWindow = std::function<void(const std::string& anchor)>;

struct Seams {
    // Messages, the wait cursor, password prompts and the status bar. None: messages go
    // to stderr and questions get their cautious answer.
    IUserSeam* user = nullptr;
    // Every wait. None: the steady clock of the machine.
    IClock* clock = nullptr;
    // The debug trace. None: off, unless the environment switched it on at start.
    TraceSink trace{};
    // None: the settings cannot be edited (the command is cancelled).
    PortSettingsEditor portSettingsEditor{};
    // None: the template form is always cancelled.
    TemplateFileDialog templateFileDialog{};
    // None: help is not shown.
    HelpWindow helpWindow{};
    // The configuration password entered in this run (document/Password.h); empty when
    // none was entered. Never stored by itself.
    std::optional<std::string> runPassword{};
    // Slots to come: the printer choice and the open/save file pickers. Every slot has an
    // initialiser, so that a Seams{.slot = ...} names only the slots it fills.

    // Calls f(the slot of each given Seams) for every slot, in the order above.
    template <class F, class... S>
    static void ForEachSlot(F&& f, S&... seams) {
        f(seams.user...);
        f(seams.clock...);
        f(seams.trace...);
        f(seams.portSettingsEditor...);
        f(seams.templateFileDialog...);
        f(seams.helpWindow...);
        f(seams.runPassword...);
    }
};

// A copy of the seams in place. Thread-safe.
Seams CurrentSeams();
namespace detail {
std::mutex& SeamsMutex();
const Seams& SeamsInPlace();  // read under SeamsMutex()
}  // namespace detail
// One slot of the seams in place, e.g. CurrentSeam(&Seams::helpWindow). Thread-safe.
template <class T>
T CurrentSeam(T Seams::*slot) {
    std::lock_guard<std::mutex> lock(detail::SeamsMutex());
    return detail::SeamsInPlace().*slot;
}
// Puts the filled slots of `seams` in place for good (start-up of a program).
void InstallSeams(const Seams& seams);
// Sets one slot, filled or empty, for good: the program's own changes of a slot that is
// state rather than a form (the run password).
void SetSeam(std::optional<std::string> Seams::*slot, std::optional<std::string> value);

// Puts the filled slots of `seams` in place for its lifetime; after, exactly those slots
// get back what they held before. Scopes nest.
class ScopedSeams {
  public:
    explicit ScopedSeams(Seams seams);
    ~ScopedSeams();
    ScopedSeams(const ScopedSeams&) = delete;
    ScopedSeams& operator=(const ScopedSeams&) = delete;

  private:
    Seams previous_;   // what the filled slots held before
    unsigned filled_;  // bit i: slot i of ForEachSlot was filled
};

}  // namespace kvr
