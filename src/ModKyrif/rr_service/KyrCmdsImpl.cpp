#include "rr_service/KyrCmdsImpl.hpp"

namespace kyrif {
namespace {

// The reply: a str (sent as UTF-8) or bytes; anything else is a cast error.
std::string toText(pybind11::object result) { return result.cast<std::string>(); }

}  // namespace

std::string KyrCmdsImpl::Abort() { return servant_.call("Abort", toText); }
std::string KyrCmdsImpl::Execute(const std::shared_ptr<Method>& method) {
    return servant_.call("Execute", toText, method);
}
std::string KyrCmdsImpl::GetConfig(const std::string& text) { return servant_.call("GetConfig", toText, text); }
std::string KyrCmdsImpl::GetDiagnostics() { return servant_.call("GetDiagnostics", toText); }
std::string KyrCmdsImpl::GetSetup(const std::string& text) { return servant_.call("GetSetup", toText, text); }
std::string KyrCmdsImpl::Ping() { return servant_.call("Ping", toText); }
std::string KyrCmdsImpl::ReadPars(const std::string& text) { return servant_.call("ReadPars", toText, text); }
std::string KyrCmdsImpl::Recover() { return servant_.call("Recover", toText); }
std::string KyrCmdsImpl::Scan() { return servant_.call("Scan", toText); }
std::string KyrCmdsImpl::SetConfig(const std::string& text) { return servant_.call("SetConfig", toText, text); }
std::string KyrCmdsImpl::Setup(const std::string& text) { return servant_.call("Setup", toText, text); }
std::string KyrCmdsImpl::Start(const std::shared_ptr<StartProperties>& properties) {
    return servant_.call("Start", toText, properties);
}
std::string KyrCmdsImpl::WritePars(const std::string& text) { return servant_.call("WritePars", toText, text); }

}  // namespace kyrif
