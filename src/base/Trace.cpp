#include "base/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace kvr {

namespace {

std::mutex g_traceMutex;  // protects g_sink and g_initialised; both threads trace
TraceSink g_sink;
bool g_initialised = false;

TraceSink SinkFromEnvironment() {
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

void InitialiseLocked() {
    if (!g_initialised) {
        g_sink = SinkFromEnvironment();
        g_initialised = true;
    }
}

}  // namespace

void SetTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_sink = std::move(sink);
    g_initialised = true;
}

TraceSink StderrTraceSink() {
    return [](const std::string& text) { std::fputs(text.c_str(), stderr); };
}

bool TraceEnabled() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    InitialiseLocked();
    return static_cast<bool>(g_sink);
}

void Trace(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    InitialiseLocked();
    if (g_sink) {
        g_sink(text);
    }
}

}  // namespace kvr
