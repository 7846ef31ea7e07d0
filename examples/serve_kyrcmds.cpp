// A native service program on the middleware and the interface library alone: it
// serves the thirteen KyrCmds commands as service "svc" of a server, for clients in
// other processes (Python ones through ModKyrif, native ones such as call_kyrcmds,
// or any DDS program with KyrCmds.idl).
//
//   serve_kyrcmds SERVER_ENDPOINT
//     e.g. serve_kyrcmds dds.rr://0/lab    (clients call dds.rr://0/lab/svc)
//
// It prints "ready" once the service is registered and serves until its standard
// input ends; then it closes the server and prints "closed".
//
// Ping answers "pong PID"; Recover fails with ExceptionErr("bad", 3); Scan with a
// TimeoutException and GetDiagnostics with a ClosedException (which reach the caller
// as those classes); Abort with a standard exception (a QelException with its text
// at the caller); ReadPars("sleep S") sleeps S seconds; every other command answers
// with its name and argument, e.g. "GetConfig(text)" or "Execute(name, parameters)".
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "kyrif/kyrif.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/WexFactory.hpp"

namespace {

class Service final : public kyrif::KyrCmds {
public:
    std::string Abort() override { throw std::runtime_error("the abort failed"); }
    std::string Execute(const std::shared_ptr<kyrif::Method>& method) override {
        return "Execute(" + method->getName() + ", " + method->getParameters() + ")";
    }
    std::string GetConfig(const std::string& text) override { return "GetConfig(" + text + ")"; }
    std::string GetDiagnostics() override { throw tav::qel::ClosedException("the device is closed"); }
    std::string GetSetup(const std::string& text) override { return "GetSetup(" + text + ")"; }
    std::string Ping() override { return "pong " + std::to_string(::getpid()); }
    std::string ReadPars(const std::string& text) override {
        if (text.rfind("sleep ", 0) == 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(text.c_str() + 6)));
            return "slept";
        }
        return "ReadPars(" + text + ")";
    }
    std::string Recover() override { throw kyrif::ExceptionErr("bad", 3); }
    std::string Scan() override { throw tav::qel::TimeoutException("the scan timed out"); }
    std::string SetConfig(const std::string& text) override { return "SetConfig(" + text + ")"; }
    std::string Setup(const std::string& text) override { return "Setup(" + text + ")"; }
    std::string Start(const std::shared_ptr<kyrif::StartProperties>& properties) override {
        return "Start(" + properties->getInfo() + ", " + std::to_string(static_cast<int>(properties->getTrigger())) +
               ")";
    }
    std::string WritePars(const std::string& text) override { return "WritePars(" + text + ")"; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: serve_kyrcmds SERVER_ENDPOINT\n";
        return 2;
    }
    auto& factory = tav::qel::WexFactory::getInstance();
    try {
        auto server = factory.createServer(argv[1], {}, {});
        server->registerService("svc", std::make_shared<Service>(), tav::qel::QelTypeTraits<kyrif::KyrCmds>::libraryName,
                                tav::qel::QelTypeTraits<kyrif::KyrCmds>::name);
        std::cout << "ready" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        server->close();
        factory.shutdown();
    } catch (const tav::qel::QelException& error) {
        std::cerr << "serve_kyrcmds: " << error.what() << "\n";
        return 1;
    }
    std::cout << "closed" << std::endl;
    return 0;
}
