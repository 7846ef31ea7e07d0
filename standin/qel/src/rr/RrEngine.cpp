#include "RrEngine.hpp"

#include "EngineState.hpp"
#include "Handles.hpp"
#include "ServicePort.hpp"
#include "Settings.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

struct RrEngine::State : reqrep::EngineState {};

RrEngine::RrEngine() : state_(std::make_shared<State>()) {}

RrEngine::~RrEngine() {
    try {
        state_->shutdown();
    } catch (...) {
    }
}

std::shared_ptr<tav::qel::rr::Server> RrEngine::makeServer(const std::weak_ptr<Qel>& /*qel*/,
                                                           const std::string& endpoint,
                                                           const tav::qel::rr::qos::QoSList& /*qos*/,
                                                           const Properties& properties) {
    auto core = std::make_shared<reqrep::ServerCore>(state_, endpoint, reqrep::workerThreadsOf(properties));
    core->start();
    state_->adopt(core);
    return std::make_shared<reqrep::ServerHandle>(std::move(core));
}

std::unique_ptr<tav::qel::rr::detail::ClientCore> RrEngine::makeClient(const std::weak_ptr<Qel>& qel,
                                                                       const std::string& endpoint,
                                                                       const tav::qel::rr::qos::QoSList& qos,
                                                                       const Properties& properties) {
    const auto replyTime = reqrep::replyTimeOf(qos, properties);
    auto client = std::make_shared<reqrep::ClientState>(state_, qel, state_->port(endpoint), replyTime);
    state_->adopt(client);
    return std::make_unique<reqrep::ClientHandle>(std::move(client));
}

void RrEngine::shutdown() { state_->shutdown(); }

}  // namespace tav::qel::embedded
