#include "RrEngine.hpp"

#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

struct RrEngine::State {};

RrEngine::RrEngine() : state_(std::make_shared<State>()) {}
RrEngine::~RrEngine() = default;

std::shared_ptr<tav::qel::rr::Server> RrEngine::makeServer(const std::weak_ptr<Qel>&, const std::string&,
                                                           const tav::qel::rr::qos::QoSList&, const Properties&) {
    throw QelException("not implemented yet");
}

std::unique_ptr<tav::qel::rr::detail::ClientCore> RrEngine::makeClient(const std::weak_ptr<Qel>&,
                                                                       const std::string&,
                                                                       const tav::qel::rr::qos::QoSList&,
                                                                       const Properties&) {
    throw QelException("not implemented yet");
}

void RrEngine::shutdown() {}

}  // namespace tav::qel::embedded
