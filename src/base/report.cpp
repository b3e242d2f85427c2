#include "base/report.h"

namespace modMain {

namespace {

ShutDownHandler installed = nullptr;

}  // namespace

void SetShutDownHandler(ShutDownHandler handler) {
    installed = handler;
}

void ShutDown(vb::Long errNo, const std::string& errDescription, const std::string& procName) {
    if (installed) installed(errNo, errDescription, procName);
    throw vb::Error(errNo, errDescription);
}

void Report(const vb::Error& e, const std::string& procName) {
    ShutDown(e.number, e.description, procName);
}

}  // namespace modMain
