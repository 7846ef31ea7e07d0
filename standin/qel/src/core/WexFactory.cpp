// The process-wide factory: finds the middleware of an endpoint's scheme.
#include "tav/qel/WexFactory.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "../dds/DdsQel.hpp"
#include "../embedded/EmbeddedQel.hpp"
#include "network/uri.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

struct WexFactory::State {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Qel>> middlewares;
};

WexFactory::WexFactory() : state_(std::make_shared<State>()) {
    noteMiddlewareStarted();
    state_->middlewares["inproc"] = embedded::EmbeddedQel::create();
    // One middleware between processes carries both roads, each on its own scheme.
    auto dds = dds::DdsQel::create();
    state_->middlewares["dds.ps"] = dds;
    state_->middlewares["dds.rr"] = std::move(dds);
}

WexFactory& WexFactory::getInstance() {
    // Never destroyed: middleware threads may still use it while the process ends.
    static WexFactory* factory = new WexFactory();
    return *factory;
}

std::shared_ptr<Qel> WexFactory::getQel(const std::string& endpoint) {
    ensureOwningProcess("the middleware");
    std::string scheme;
    try {
        scheme = lowerCase(network::uri(endpoint).scheme());
    } catch (const network::uri_syntax_error& error) {
        throw QelException("invalid endpoint '" + endpoint + "': " + error.what());
    }
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->middlewares.find(scheme);
    if (it == state_->middlewares.end()) {
        throw QelException("no middleware serves the scheme '" + scheme + "' of endpoint '" + endpoint + "'");
    }
    return it->second;
}

void WexFactory::registerQel(const std::string& scheme, std::shared_ptr<Qel> qel) {
    ensureOwningProcess("the middleware");
    if (!qel) {
        throw QelException("cannot register an empty middleware for scheme '" + scheme + "'");
    }
    std::shared_ptr<Qel> previous;
    std::lock_guard<std::mutex> lock(state_->mutex);
    previous = std::exchange(state_->middlewares[lowerCase(scheme)], std::move(qel));
}

std::shared_ptr<rr::Server> WexFactory::createServer(const std::string& endpoint, const rr::qos::QoSList& qos,
                                                     const Properties& properties) {
    auto qel = getQel(endpoint);
    return qel->createServer(endpoint, qos, merged(*qel, properties));
}

std::unique_ptr<rr::da::DataAccessSync> WexFactory::getDataAccess(const std::string& endpoint,
                                                                  const rr::qos::QoSList& qos,
                                                                  const Properties& properties) {
    auto qel = getQel(endpoint);
    return qel->createDataAccess(endpoint, qos, merged(*qel, properties));
}

void WexFactory::shutdown() {
    if (inForkedProcess()) {
        return;  // the middlewares run in the parent, which shuts them down
    }
    std::vector<std::shared_ptr<Qel>> middlewares;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (const auto& [scheme, qel] : state_->middlewares) {
            middlewares.push_back(qel);
        }
    }
    for (const auto& qel : middlewares) {
        qel->shutdown();
    }
}

}  // namespace tav::qel
