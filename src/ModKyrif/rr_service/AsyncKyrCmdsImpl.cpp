#include "rr_service/AsyncKyrCmdsImpl.hpp"

#include "rr_service/PyFutToQel.hpp"

namespace kyrif {
namespace {

boost::future<std::string> toFuture(pybind11::object result) { return modkyrif::pyFutToQel<std::string>(result); }

}  // namespace

boost::future<std::string> AsyncKyrCmdsImpl::Abort() { return servant_.call("Abort", toFuture); }
boost::future<std::string> AsyncKyrCmdsImpl::Execute(const std::shared_ptr<Method>& method) {
    return servant_.call("Execute", toFuture, method);
}
boost::future<std::string> AsyncKyrCmdsImpl::GetConfig(const std::string& text) {
    return servant_.call("GetConfig", toFuture, text);
}
boost::future<std::string> AsyncKyrCmdsImpl::GetDiagnostics() { return servant_.call("GetDiagnostics", toFuture); }
boost::future<std::string> AsyncKyrCmdsImpl::GetSetup(const std::string& text) {
    return servant_.call("GetSetup", toFuture, text);
}
boost::future<std::string> AsyncKyrCmdsImpl::Ping() { return servant_.call("Ping", toFuture); }
boost::future<std::string> AsyncKyrCmdsImpl::ReadPars(const std::string& text) {
    return servant_.call("ReadPars", toFuture, text);
}
boost::future<std::string> AsyncKyrCmdsImpl::Recover() { return servant_.call("Recover", toFuture); }
boost::future<std::string> AsyncKyrCmdsImpl::Scan() { return servant_.call("Scan", toFuture); }
boost::future<std::string> AsyncKyrCmdsImpl::SetConfig(const std::string& text) {
    return servant_.call("SetConfig", toFuture, text);
}
boost::future<std::string> AsyncKyrCmdsImpl::Setup(const std::string& text) {
    return servant_.call("Setup", toFuture, text);
}
boost::future<std::string> AsyncKyrCmdsImpl::Start(const std::shared_ptr<StartProperties>& properties) {
    return servant_.call("Start", toFuture, properties);
}
boost::future<std::string> AsyncKyrCmdsImpl::WritePars(const std::string& text) {
    return servant_.call("WritePars", toFuture, text);
}

}  // namespace kyrif
