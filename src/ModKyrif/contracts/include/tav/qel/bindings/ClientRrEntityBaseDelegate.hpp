#pragma once
#include <functional>
#include <memory>

#include "tav/qel/Qel.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"
#include "tav/qel/rr/ListenerRegistration.hpp"

namespace tav::qel::bindings::rr {

// Base of the Python-facing client delegates: the entity operations every client
// offers, whatever its interface.
class ClientRrEntityBaseDelegate {
public:
    virtual void close() = 0;
    virtual FutureDelegate<void, void> asyncConnect() = 0;
    virtual tav::qel::rr::ListenerRegistration registerConnectionListener(const std::function<void(bool)>& listener) = 0;
    virtual std::shared_ptr<tav::qel::Qel> getQel() const = 0;
    virtual ~ClientRrEntityBaseDelegate() = default;
};

}  // namespace tav::qel::bindings::rr
