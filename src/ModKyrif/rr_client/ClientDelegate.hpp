#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include "tav/qel/bindings/ClientRrEntityBaseDelegate.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"
#include "tav/qel/bindings/InterpreterLifetime.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace kyrif {

// What every Python client delegate shares, whatever its interface: it owns one
// middleware client (never null), refers to it, and forwards the entity operations.
// asyncConnect releases the interpreter lock itself; the others run with it held.
template <class Client>
class ClientDelegate : public virtual tav::qel::bindings::rr::ClientRrEntityBaseDelegate {
public:
    explicit ClientDelegate(std::unique_ptr<Client>&& client)
        : owned_(requireClient(std::move(client))), client_(*owned_) {}
    ClientDelegate(const ClientDelegate&) = delete;
    ClientDelegate& operator=(const ClientDelegate&) = delete;
    ~ClientDelegate() override = default;

    void close() override { client_.close(); }
    tav::qel::bindings::FutureDelegate<void, void> asyncConnect() override {
        return tav::qel::bindings::withoutGil(
            [this] { return tav::qel::bindings::FutureDelegate<void, void>(client_.asyncConnect()); });
    }
    // The middleware may drop its copy of the listener on any of its threads: one that
    // holds a Python callable is handed over as AnyThreadHeld. An empty listener, or a
    // plain native function, holds no Python reference and goes as it is.
    tav::qel::rr::ListenerRegistration registerConnectionListener(const std::function<void(bool)>& listener) override {
        using Listener = std::function<void(bool)>;
        if (!listener || listener.target<void (*)(bool)>() != nullptr) {
            return client_.registerConnectionListener(listener);
        }
        return client_.registerConnectionListener(
            [held = tav::qel::bindings::AnyThreadHeld<Listener>(listener)](bool connected) { held.get()(connected); });
    }
    std::shared_ptr<tav::qel::Qel> getQel() const override { return client_.getQel(); }

protected:
    Client& client() { return client_; }

private:
    static std::unique_ptr<Client> requireClient(std::unique_ptr<Client>&& client) {
        if (!client) {
            throw std::invalid_argument("a client delegate needs a client");
        }
        return std::move(client);
    }

    std::unique_ptr<Client> owned_;
    Client& client_;
};

}  // namespace kyrif
