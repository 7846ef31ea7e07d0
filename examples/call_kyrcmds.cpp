// A native client program on the middleware and the interface library alone: it
// calls a KyrCmds service in another process (a Python one through ModKyrif, or
// serve_kyrcmds).
//
//   call_kyrcmds CLIENT_ENDPOINT COUNT
//     e.g. call_kyrcmds dds.rr://0/lab/svc 10
//
// It calls Ping COUNT times, GetConfig("native") and Recover once each, and prints
// one line per call: the reply, or the error's class and text (an ExceptionErr with
// its description and code). The last line gives the Ping calls per second.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

#include "kyrif/kyrif.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/WexFactory.hpp"

namespace {

template <class Call>
void show(Call&& call) {
    try {
        std::cout << call() << "\n";
    } catch (const kyrif::ExceptionErr& error) {
        std::cout << "ExceptionErr " << error.getDesc() << " " << error.getCode() << "\n";
    } catch (const tav::qel::TimeoutException& error) {
        std::cout << "TimeoutException " << error.what() << "\n";
    } catch (const tav::qel::QelException& error) {
        std::cout << "QelException " << error.what() << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: call_kyrcmds CLIENT_ENDPOINT COUNT\n";
        return 2;
    }
    const int count = std::atoi(argv[2]);
    auto& factory = tav::qel::WexFactory::getInstance();
    try {
        tav::qel::rr::qos::QoSList qos{std::make_shared<tav::qel::rr::qos::ReplyTime>(std::chrono::seconds(30))};
        auto client = factory.getClient<kyrif::KyrCmdsSync>(argv[1], qos, {});
        const auto started = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            show([&] { return client->Ping(); });
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        show([&] { return client->GetConfig("native"); });
        show([&] { return client->Recover(); });
        std::cout << "calls/s " << (took.count() > 0 ? count / took.count() : 0.0) << std::endl;
        client->close();
        factory.shutdown();
    } catch (const tav::qel::QelException& error) {
        std::cerr << "call_kyrcmds: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
