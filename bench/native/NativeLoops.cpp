// The ceiling of the benchmarks: the work the Python benchmarks do, driven natively
// against the same embedded middleware. Each loop runs with the interpreter lock
// released and returns the seconds its timed part took.
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "kyrif/kyrif.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace py = pybind11;
using Clock = std::chrono::steady_clock;
using tav::qel::bindings::withoutGil;

namespace {

double seconds(Clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

// Publishes count samples on endpoint, batch by batch, with one subscriber whose
// queue holds a whole batch; only the publishing is timed, the draining is not.
double publishLoop(const std::string& endpoint, std::size_t count, std::size_t batch) {
    auto& factory = tav::qel::WexFactory::getInstance();
    tav::qel::ps::qos::QoSList qos{std::make_shared<tav::qel::ps::qos::QueueDepth>(batch)};
    auto subscriber = factory.getSubscriber<kyrif::Method>(endpoint, qos, {});
    auto publisher = factory.getPublisher<kyrif::Method>(endpoint, {}, {});
    auto sample = publisher->createDataEntity();
    sample->setName("bench");
    sample->setParameters("x=1");
    const std::chrono::milliseconds timeout(1000);
    Clock::duration timed{};
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(batch, count - done);
        const auto start = Clock::now();
        for (std::size_t i = 0; i < n; ++i) {
            publisher->publish(*sample, timeout);
        }
        timed += Clock::now() - start;
        subscriber->read(0);
        done += n;
    }
    publisher->close();
    subscriber->close();
    return seconds(timed);
}

// A service that answers Ping at once; the other commands are not benchmarked.
class PingService : public kyrif::KyrCmds {
public:
    std::string Abort() override { return {}; }
    std::string Execute(const std::shared_ptr<kyrif::Method>&) override { return {}; }
    std::string GetConfig(const std::string&) override { return {}; }
    std::string GetDiagnostics() override { return {}; }
    std::string GetSetup(const std::string&) override { return {}; }
    std::string Ping() override { return "pong"; }
    std::string ReadPars(const std::string&) override { return {}; }
    std::string Recover() override { return {}; }
    std::string Scan() override { return {}; }
    std::string SetConfig(const std::string&) override { return {}; }
    std::string Setup(const std::string&) override { return {}; }
    std::string Start(const std::shared_ptr<kyrif::StartProperties>&) override { return {}; }
    std::string WritePars(const std::string&) override { return {}; }
};

// Native client to native service: count synchronous Pings, timed after a warm-up.
double pingLoop(const std::string& serverEndpoint, std::size_t count) {
    auto& factory = tav::qel::WexFactory::getInstance();
    auto server = factory.createServer(serverEndpoint, {}, {});
    using Traits = tav::qel::QelTypeTraits<kyrif::KyrCmds, true>;
    server->registerService("bench", std::make_shared<PingService>(), Traits::libraryName, Traits::name);
    auto client = factory.getClient<kyrif::KyrCmdsSync>(serverEndpoint + "/bench", {}, {});
    for (int i = 0; i < 100; ++i) {
        client->Ping();
    }
    const auto start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        if (client->Ping().size() != 4) {
            throw std::runtime_error("unexpected Ping reply");
        }
    }
    const auto elapsed = Clock::now() - start;
    client->close();
    server->close();
    return seconds(elapsed);
}

}  // namespace

PYBIND11_MODULE(modkyrif_bench_native, m) {
    m.doc() = "Benchmark ceiling: native loops over the embedded middleware";
    m.def(
        "publish_loop",
        [](const std::string& endpoint, std::size_t count, std::size_t batch) {
            return withoutGil([&] { return publishLoop(endpoint, count, batch); });
        },
        "Seconds to publish count Method samples natively, in batches drained untimed");
    m.def(
        "ping_loop",
        [](const std::string& serverEndpoint, std::size_t count) {
            return withoutGil([&] { return pingLoop(serverEndpoint, count); });
        },
        "Seconds for count synchronous Pings, native client to native service");
}
