#pragma once
#include <memory>
#include <string>

#include <boost/thread/future.hpp>

#include "kyrif/Export.hpp"
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace kyrif {

// The request/reply interface, as a service implements it synchronously.
class KYRIF_API KyrCmds : public virtual tav::qel::rr::RrEntity {
public:
    ~KyrCmds() override;
    virtual std::string Abort() = 0;
    virtual std::string Execute(const std::shared_ptr<Method>& method) = 0;
    virtual std::string GetConfig(const std::string& text) = 0;
    virtual std::string GetDiagnostics() = 0;
    virtual std::string GetSetup(const std::string& text) = 0;
    virtual std::string Ping() = 0;
    virtual std::string ReadPars(const std::string& text) = 0;
    virtual std::string Recover() = 0;
    virtual std::string Scan() = 0;
    virtual std::string SetConfig(const std::string& text) = 0;
    virtual std::string Setup(const std::string& text) = 0;
    virtual std::string Start(const std::shared_ptr<StartProperties>& properties) = 0;
    virtual std::string WritePars(const std::string& text) = 0;

    // The interface description, as XML.
    static std::string serviceDescription();
};

// The same interface with every command answering through a future.
class KYRIF_API AsyncKyrCmds : public virtual tav::qel::rr::RrEntity {
public:
    ~AsyncKyrCmds() override;
    virtual boost::future<std::string> Abort() = 0;
    virtual boost::future<std::string> Execute(const std::shared_ptr<Method>& method) = 0;
    virtual boost::future<std::string> GetConfig(const std::string& text) = 0;
    virtual boost::future<std::string> GetDiagnostics() = 0;
    virtual boost::future<std::string> GetSetup(const std::string& text) = 0;
    virtual boost::future<std::string> Ping() = 0;
    virtual boost::future<std::string> ReadPars(const std::string& text) = 0;
    virtual boost::future<std::string> Recover() = 0;
    virtual boost::future<std::string> Scan() = 0;
    virtual boost::future<std::string> SetConfig(const std::string& text) = 0;
    virtual boost::future<std::string> Setup(const std::string& text) = 0;
    virtual boost::future<std::string> Start(const std::shared_ptr<StartProperties>& properties) = 0;
    virtual boost::future<std::string> WritePars(const std::string& text) = 0;

    static std::string serviceDescription();
};

}  // namespace kyrif
