#pragma once
#include <memory>
#include <string>

#include "tav/qel/Export.hpp"
#include "tav/qel/Properties.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/QelTypeTraits.hpp"
#include "tav/qel/ps/MrvSubscriber.hpp"
#include "tav/qel/ps/Publisher.hpp"
#include "tav/qel/ps/Subscriber.hpp"
#include "tav/qel/ps/qos/QoS.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel {

// The process-wide entry point: finds the middleware that serves an endpoint's
// URI scheme and creates entities through it.
class QEL_API WexFactory {
public:
    static WexFactory& getInstance();

    // The middleware for the endpoint's scheme; never empty. An endpoint that is not
    // a URI, or whose scheme has no middleware, is a QelException.
    std::shared_ptr<Qel> getQel(const std::string& endpoint);
    void registerQel(const std::string& scheme, std::shared_ptr<Qel> qel);

    std::shared_ptr<rr::Server> createServer(const std::string& endpoint, const rr::qos::QoSList& qos,
                                             const Properties& properties);
    std::unique_ptr<rr::da::DataAccessSync> getDataAccess(const std::string& endpoint,
                                                          const rr::qos::QoSList& qos,
                                                          const Properties& properties);
    // Shuts every registered middleware down (see Qel::shutdown).
    void shutdown();

    template <class T>
    std::unique_ptr<ps::Publisher<T>> getPublisher(const std::string& endpoint, const ps::qos::QoSList& qos,
                                                   const Properties& properties) {
        auto qel = getQel(endpoint);
        return std::unique_ptr<ps::Publisher<T>>(static_cast<ps::Publisher<T>*>(qel->createPublisher(
            QelTypeTraits<T>::libraryName, QelTypeTraits<T>::name, endpoint, qos, merged(*qel, properties))));
    }

    template <class T>
    std::unique_ptr<ps::Subscriber<T>> getSubscriber(const std::string& endpoint, const ps::qos::QoSList& qos,
                                                     const Properties& properties) {
        auto qel = getQel(endpoint);
        return std::unique_ptr<ps::Subscriber<T>>(static_cast<ps::Subscriber<T>*>(qel->createSubscriber(
            QelTypeTraits<T>::libraryName, QelTypeTraits<T>::name, endpoint, qos, merged(*qel, properties))));
    }

    template <class T>
    std::unique_ptr<ps::MrvSubscriber<T>> getMrvSubscriber(const std::string& endpoint,
                                                           const ps::qos::QoSList& qos,
                                                           const Properties& properties) {
        auto qel = getQel(endpoint);
        return std::unique_ptr<ps::MrvSubscriber<T>>(static_cast<ps::MrvSubscriber<T>*>(qel->createMrvSubscriber(
            QelTypeTraits<T>::libraryName, QelTypeTraits<T>::name, endpoint, qos, merged(*qel, properties))));
    }

    template <class T>
    std::unique_ptr<T> getClient(const std::string& endpoint, const rr::qos::QoSList& qos,
                                 const Properties& properties) {
        auto qel = getQel(endpoint);
        return std::unique_ptr<T>(static_cast<T*>(qel->createClient(
            std::string(QelTypeTraits<T>::libraryName), std::string(QelTypeTraits<T>::name), std::string(endpoint),
            qos, merged(*qel, properties))));
    }

    // The middleware's defaults with every entry of properties set over them.
    static Properties merged(const Qel& qel, const Properties& properties) {
        Properties result = qel.getDefaultProperties();
        for (const auto& [key, value] : properties) {
            result[key] = value;
        }
        return result;
    }

private:
    WexFactory();
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace tav::qel
