#pragma once
#include <memory>
#include <utility>

#include "tav/qel/QelException.hpp"
#include "tav/qel/rr/da/DataAccess.hpp"

namespace pyqelcpp {

// Owns one data-access client for Python; ref() hands out the client itself, which
// the structure classes read and write through.
class DataAccessClient {
public:
    explicit DataAccessClient(std::unique_ptr<tav::qel::rr::da::DataAccessSync> client) : client_(std::move(client)) {
        if (!client_) {
            throw tav::qel::QelException("the middleware created no data-access client");
        }
    }
    tav::qel::rr::da::DataAccessSync& ref() { return *client_; }
    void close() { static_cast<tav::qel::rr::da::DataAccess&>(*client_).close(); }

private:
    std::unique_ptr<tav::qel::rr::da::DataAccessSync> client_;
};

}  // namespace pyqelcpp
