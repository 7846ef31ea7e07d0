// Servers and clients of request/reply between processes.
#include "RrTransport.hpp"

#include <exception>
#include <map>
#include <vector>

#include "../../embedded/EmbeddedQel.hpp"
#include "../../rr/ClientState.hpp"
#include "../../rr/EngineState.hpp"
#include "../../rr/Handles.hpp"
#include "../../rr/ServerCore.hpp"
#include "../../rr/Settings.hpp"
#include "../Domain.hpp"
#include "ClientLink.hpp"
#include "RrEndpoint.hpp"
#include "ServiceCarrier.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace tav::qel::dds {

using embedded::reqrep::ClientState;
using embedded::reqrep::EngineState;
using embedded::reqrep::ServerCore;

struct RrTransport::State {
    const std::shared_ptr<EngineState> engine = std::make_shared<EngineState>();

    std::mutex mutex;
    bool shutDown = false;
    // The links of this process's client endpoints, by canonical endpoint.
    std::map<std::string, std::weak_ptr<ClientLink>> links;
    std::vector<std::weak_ptr<ServiceCarrier>> carriers;

    std::shared_ptr<ClientLink> link(const ServiceTopics& topics, const std::shared_ptr<Domain>& domain,
                                     const std::shared_ptr<const RrWireType>& wire) {
        std::lock_guard<std::mutex> lock(mutex);
        if (shutDown) {
            throw ClosedException("the middleware has shut down");
        }
        auto& slot = links[topics.canonical];
        if (auto existing = slot.lock()) {
            return existing;
        }
        for (auto it = links.begin(); it != links.end();) {
            it = it->second.expired() && it->first != topics.canonical ? links.erase(it) : std::next(it);
        }
        auto made = ClientLink::create(engine, domain, wire, topics);
        slot = made;
        return made;
    }

    void track(const std::shared_ptr<ServiceCarrier>& carrier) {
        std::lock_guard<std::mutex> lock(mutex);
        if (shutDown) {
            throw ClosedException("the middleware has shut down");
        }
        for (auto it = carriers.begin(); it != carriers.end();) {
            it = it->expired() ? carriers.erase(it) : it + 1;
        }
        carriers.push_back(carrier);
    }
};

namespace {

// Checks every request before it reaches the link, so that a request the wire cannot
// carry fails at its caller with the reason and never waits at the port.
class Client final : public rr::detail::ClientCore {
public:
    Client(std::unique_ptr<rr::detail::ClientCore> inner, std::shared_ptr<const RrWireType> wire)
        : inner_(std::move(inner)), wire_(std::move(wire)) {}

    std::shared_ptr<Qel> getQel() const override { return inner_->getQel(); }
    void close() override { inner_->close(); }
    boost::future<void> asyncConnect() override { return inner_->asyncConnect(); }
    rr::ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) override {
        return inner_->registerConnectionListener(std::move(listener));
    }
    boost::future<std::string> call(rr::detail::Request request) override {
        check(request);
        return inner_->call(std::move(request));
    }
    std::string callSync(rr::detail::Request request) override {
        check(request);
        return inner_->callSync(std::move(request));
    }

private:
    void check(const rr::detail::Request& request) const {
        ensureOwningProcess("this client");
        if (request.command.empty()) {
            throw QelException("a request needs a command");
        }
        alignas(std::max_align_t) unsigned char stack[512];
        std::vector<std::max_align_t> heap;
        void* wire = stack;
        if (wire_->requestSize() > sizeof(stack)) {
            heap.resize(wire_->requestSize() / sizeof(std::max_align_t) + 1);
            wire = heap.data();
        }
        wire_->requestToWire(RrHeader{}, request, wire);
    }

    std::unique_ptr<rr::detail::ClientCore> inner_;
    std::shared_ptr<const RrWireType> wire_;
};

class Server final : public rr::Server {
public:
    Server(std::shared_ptr<RrTransport::State> transport, std::weak_ptr<Qel> qel, std::shared_ptr<ServerCore> core,
           std::string endpoint, std::uint32_t domainId, std::string path, std::shared_ptr<Domain> domain,
           std::chrono::milliseconds ackWait)
        : transport_(std::move(transport)),
          qel_(std::move(qel)),
          core_(std::move(core)),
          endpoint_(std::move(endpoint)),
          domainId_(domainId),
          path_(std::move(path)),
          domain_(std::move(domain)),
          ackWait_(ackWait) {}

    ~Server() override {
        if (abandonedInForkedProcess(core_)) {
            // The engine's entities and threads are the parent's.
            abandonState(std::move(transport_));
            abandonState(std::make_shared<std::map<std::string, std::shared_ptr<ServiceCarrier>>>(
                std::move(carriers_)));
            return;
        }
        try {
            close();
        } catch (...) {
        }
    }

    void registerService(const std::string& name, std::shared_ptr<rr::RrEntity> impl, const std::string& libraryName,
                         const std::string& typeName) override {
        ensureOwningProcess("this server");
        const ServiceTopics topics = serviceTopics(domainId_, path_, name);
        auto wire = TypeRegistry::instance().findServiceWireType(libraryName, typeName);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                throw ClosedException("server " + endpoint_ + " is closed");
            }
        }
        core_->registerService(name, std::move(impl), libraryName, typeName);
        std::shared_ptr<ServiceCarrier> carrier;
        try {
            // Requests from the domain reach the service through its port in this
            // process, waiting for no deadline: their callers keep their own.
            auto bridge = std::make_shared<ClientState>(transport_->engine, qel_,
                                                        transport_->engine->port(core_->endpoint() + "/" + name),
                                                        std::chrono::milliseconds::max());
            transport_->engine->adopt(bridge);
            carrier = std::make_shared<ServiceCarrier>(domain_, wire, topics, std::move(bridge), ackWait_);
            transport_->track(carrier);
            carrier->open();
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                throw ClosedException("server " + endpoint_ + " is closed");
            }
            carriers_[name] = carrier;
        } catch (...) {
            try {
                withdraw(name, carrier);
            } catch (...) {
            }
            throw;
        }
    }

    void unregisterService(const std::string& name) override {
        ensureOwningProcess("this server");
        std::shared_ptr<ServiceCarrier> carrier;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = carriers_.find(name);
            if (it != carriers_.end()) {
                carrier = std::move(it->second);
                carriers_.erase(it);
            }
        }
        withdraw(name, carrier);
    }

    std::string getEndpoint() const override {
        ensureOwningProcess("this server");
        return endpoint_;
    }

    void close() override {
        if (inForkedProcess()) {
            return;
        }
        std::map<std::string, std::shared_ptr<ServiceCarrier>> carriers;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
            carriers.swap(carriers_);
        }
        for (auto& [name, carrier] : carriers) {
            carrier->stopReceiving();
        }
        // Fails the requests still pending; their callers hear ClosedException.
        core_->close();
        for (auto& [name, carrier] : carriers) {
            carrier->finish();
        }
    }

private:
    // Ends service name in this order: no more requests from the domain; the local
    // service goes, and its requests still queued fail with ClosedException, which
    // their callers hear; then the carrier (if any) sends what is left and ends. An
    // error of the local unregistration is thrown once the carrier has ended.
    void withdraw(const std::string& name, const std::shared_ptr<ServiceCarrier>& carrier) {
        if (carrier) {
            carrier->stopReceiving();
        }
        std::exception_ptr error;
        try {
            core_->unregisterService(name);
        } catch (...) {
            error = std::current_exception();
        }
        if (carrier) {
            carrier->finish();
        }
        if (error) {
            std::rethrow_exception(error);
        }
    }

    std::shared_ptr<RrTransport::State> transport_;
    const std::weak_ptr<Qel> qel_;
    std::shared_ptr<ServerCore> core_;
    const std::string endpoint_;
    const std::uint32_t domainId_;
    const std::string path_;
    const std::shared_ptr<Domain> domain_;
    const std::chrono::milliseconds ackWait_;

    std::mutex mutex_;
    bool closed_ = false;
    std::map<std::string, std::shared_ptr<ServiceCarrier>> carriers_;
};

}  // namespace

RrTransport::RrTransport() = default;

RrTransport::~RrTransport() {
    try {
        shutdown();
    } catch (...) {
    }
}

std::shared_ptr<RrTransport::State> RrTransport::state() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutDown_) {
        throw ClosedException("the middleware has shut down");
    }
    if (!state_) {
        state_ = std::make_shared<State>();
    }
    return state_;
}

std::unique_ptr<rr::detail::ClientCore> RrTransport::makeClient(const std::weak_ptr<Qel>& qel,
                                                                const std::string& libraryName,
                                                                const std::string& typeName,
                                                                const std::string& endpoint,
                                                                const rr::qos::QoSList& qos,
                                                                const Properties& properties) {
    const ServiceTopics topics = clientTopics(endpoint);
    const auto replyTime = embedded::reqrep::replyTimeOf(qos, properties);
    auto wire = TypeRegistry::instance().findServiceWireType(libraryName, typeName);
    auto domain = Domain::open(topics.domain, properties);
    auto transport = state();
    auto link = transport->link(topics, domain, wire);
    auto client = std::make_shared<ClientState>(transport->engine, qel, link->port(), replyTime);
    transport->engine->adopt(client);
    return std::make_unique<Client>(std::make_unique<embedded::reqrep::ClientHandle>(std::move(client)),
                                    std::move(wire));
}

std::shared_ptr<rr::Server> RrTransport::makeServer(const std::weak_ptr<Qel>& qel, const std::string& endpoint,
                                                    const rr::qos::QoSList&, const Properties& properties) {
    std::uint32_t domainId = 0;
    std::string path;
    const std::string canonical = canonicalServerEndpoint(endpoint, domainId, path);
    const std::size_t workers = embedded::reqrep::workerThreadsOf(properties);
    const std::size_t ackWaitMs = embedded::positiveProperty(properties, "dds.ackWaitMs", 3000);
    auto domain = Domain::open(domainId, properties);
    auto transport = state();
    auto core = std::make_shared<ServerCore>(transport->engine, canonical, workers);
    core->start();
    transport->engine->adopt(core);
    return std::make_shared<Server>(transport, qel, std::move(core), endpoint, domainId, std::move(path),
                                    std::move(domain), std::chrono::milliseconds(ackWaitMs));
}

void RrTransport::shutdown() {
    std::shared_ptr<State> state;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutDown_) {
            return;
        }
        shutDown_ = true;
        state = state_;
    }
    if (!state) {
        return;
    }
    std::vector<std::shared_ptr<ServiceCarrier>> carriers;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->shutDown = true;
        for (const auto& weak : state->carriers) {
            if (auto carrier = weak.lock()) {
                carriers.push_back(std::move(carrier));
            }
        }
    }
    for (const auto& carrier : carriers) {
        carrier->stopReceiving();
    }
    // Every pending request fails with ClosedException; those of the services are
    // answered so before their writers go.
    state->engine->shutdown();
    for (const auto& carrier : carriers) {
        carrier->finish();
    }
}

}  // namespace tav::qel::dds
