#include "base/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kvr {

namespace {
std::mutex g_writeMutex;  // one text at a time into the sink; both threads trace
}  // namespace

TraceSink TraceSinkFromEnvironment() {
    const char* value = std::getenv("KVR_TRACE");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) {
        return {};
    }
    if (std::strcmp(value, "1") == 0 || std::strcmp(value, "stderr") == 0) {
        return StderrTraceSink();
    }
    std::string path = value;
    return [path](const std::string& text) {
        if (FILE* f = std::fopen(path.c_str(), "a")) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
    };
}

TraceSink StderrTraceSink() {
    return [](const std::string& text) { std::fputs(text.c_str(), stderr); };
}

bool TraceEnabled() {
    return static_cast<bool>(CurrentSeam(&Seams::trace));
}

void Trace(const std::string& text) {
    const TraceSink sink = CurrentSeam(&Seams::trace);
    if (sink) {
        std::lock_guard<std::mutex> lock(g_writeMutex);
        sink(text);
    }
}

}  // namespace kvr
