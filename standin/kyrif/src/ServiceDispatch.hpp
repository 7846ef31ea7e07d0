#pragma once
// Runs one request of the middleware on a service implementation of KyrCmds
// (synchronous) or AsyncKyrCmds.
#include <string>

#include "tav/qel/BoostThread.hpp"
#include "tav/qel/rr/RrEntity.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace kyrif::detail {

// Both never throw: a failure of the command, an unknown command, a wrong argument
// or a service of another interface ends as an exceptional future, which the
// middleware sends back as the error reply.
boost::future<std::string> dispatchSync(tav::qel::rr::RrEntity& service,
                                        const tav::qel::rr::detail::Request& request);
boost::future<std::string> dispatchAsync(tav::qel::rr::RrEntity& service,
                                         const tav::qel::rr::detail::Request& request);

}  // namespace kyrif::detail
