// The debug trace of every serial transfer. It goes nowhere unless switched on: by the
// environment variable KVR_TRACE ("1" or "stderr" for standard error, anything else is a
// file to append to) or by the program (kvrctl --trace), through the trace slot of the
// seams (base/Seams.h). It never alters a result.
#pragma once

#include <string>

#include "base/Seams.h"

namespace kvr {

// The sink KVR_TRACE asks for; empty when it asks for none.
TraceSink TraceSinkFromEnvironment();
// A sink that writes to standard error.
TraceSink StderrTraceSink();
bool TraceEnabled();
void Trace(const std::string& text);

}  // namespace kvr
