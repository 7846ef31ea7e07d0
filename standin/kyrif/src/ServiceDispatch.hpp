#pragma once
// Runs one request of the middleware on a service implementation of KyrCmds
// (synchronous) or AsyncKyrCmds.
#include <string>

#include <boost/thread/future.hpp>

#include "tav/qel/rr/RrEntity.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace kyrif::detail {

// A failure of a synchronous command, an unknown command, a wrong argument or a
// service of another interface is thrown to the middleware, which sends it back as
// the error reply: thrown exceptions keep their type (an ExceptionErr stays one),
// which storing them in a Boost future would not guarantee. An asynchronous
// command's own failures arrive in the future it returns.
boost::future<std::string> dispatchSync(tav::qel::rr::RrEntity& service,
                                        const tav::qel::rr::detail::Request& request);
boost::future<std::string> dispatchAsync(tav::qel::rr::RrEntity& service,
                                         const tav::qel::rr::detail::Request& request);

}  // namespace kyrif::detail
