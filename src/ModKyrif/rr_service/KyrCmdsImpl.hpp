#pragma once
#include <memory>
#include <string>

#include "kyrif/KyrCmds.hpp"
#include "rr_service/PythonServant.hpp"

namespace kyrif {

// Serves KyrCmds with a Python object: each command calls the object's method of the
// same name, on the server's thread with the interpreter lock, and answers with the
// text it returns. A Python ExceptionErr is answered as the native ExceptionErr.
class KyrCmdsImpl : public virtual KyrCmds {
public:
    // Needs the interpreter lock.
    explicit KyrCmdsImpl(pybind11::object target) : servant_(std::move(target)) {}
    ~KyrCmdsImpl() override = default;

    std::string Abort() override;
    std::string Execute(const std::shared_ptr<Method>& method) override;
    std::string GetConfig(const std::string& text) override;
    std::string GetDiagnostics() override;
    std::string GetSetup(const std::string& text) override;
    std::string Ping() override;
    std::string ReadPars(const std::string& text) override;
    std::string Recover() override;
    std::string Scan() override;
    std::string SetConfig(const std::string& text) override;
    std::string Setup(const std::string& text) override;
    std::string Start(const std::shared_ptr<StartProperties>& properties) override;
    std::string WritePars(const std::string& text) override;

private:
    modkyrif::PythonServant servant_;
};

}  // namespace kyrif
