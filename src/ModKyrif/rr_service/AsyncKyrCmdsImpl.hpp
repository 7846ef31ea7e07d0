#pragma once
#include <memory>
#include <string>

#include "kyrif/KyrCmds.hpp"
#include "rr_service/PythonServant.hpp"

namespace kyrif {

// Serves AsyncKyrCmds with a Python object whose methods return Python futures of a
// text (anything with add_done_callback and result). A command holds the
// interpreter lock only until the future's callback is attached; the reply goes out
// when the Python future completes, on whatever thread completes it.
class AsyncKyrCmdsImpl : public virtual AsyncKyrCmds {
public:
    // Needs the interpreter lock.
    explicit AsyncKyrCmdsImpl(pybind11::object target) : servant_(std::move(target)) {}
    ~AsyncKyrCmdsImpl() override = default;

    boost::future<std::string> Abort() override;
    boost::future<std::string> Execute(const std::shared_ptr<Method>& method) override;
    boost::future<std::string> GetConfig(const std::string& text) override;
    boost::future<std::string> GetDiagnostics() override;
    boost::future<std::string> GetSetup(const std::string& text) override;
    boost::future<std::string> Ping() override;
    boost::future<std::string> ReadPars(const std::string& text) override;
    boost::future<std::string> Recover() override;
    boost::future<std::string> Scan() override;
    boost::future<std::string> SetConfig(const std::string& text) override;
    boost::future<std::string> Setup(const std::string& text) override;
    boost::future<std::string> Start(const std::shared_ptr<StartProperties>& properties) override;
    boost::future<std::string> WritePars(const std::string& text) override;

private:
    modkyrif::PythonServant servant_;
};

}  // namespace kyrif
