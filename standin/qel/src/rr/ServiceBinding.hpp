#pragma once
#include <memory>
#include <string>

#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace tav::qel::embedded::reqrep {

class RequestSink;
class ServicePort;

// A service registered on a server: the implementation and how to run requests on it.
// The last reference may release an object of an embedding interpreter, so every
// holder drops its reference outside the engine's locks.
struct ServiceBinding {
    std::string name;
    std::shared_ptr<tav::qel::rr::RrEntity> impl;
    std::shared_ptr<const tav::qel::ServiceTypeSupport> support;
    std::weak_ptr<RequestSink> server;
    std::shared_ptr<ServicePort> port;
};

}  // namespace tav::qel::embedded::reqrep
