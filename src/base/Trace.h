// The debug trace of every serial transfer. It goes nowhere unless switched on: by the
// environment variable KVR_TRACE ("1" or "stderr" for standard error, anything else is a
// file to append to) or by the program (kvrctl --trace). It never alters a result.
#pragma once

#include <functional>
#include <string>

namespace kvr {

using TraceSink = std::function<void(const std::string&)>;

// Replaces the sink; an empty function switches the trace off.
void SetTraceSink(TraceSink sink);
// A sink that writes to standard error.
TraceSink StderrTraceSink();
bool TraceEnabled();
void Trace(const std::string& text);

}  // namespace kvr
