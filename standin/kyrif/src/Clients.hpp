#pragma once
// The typed clients of KyrCmds that the middleware builds on a client core.
#include <memory>

#include "tav/qel/rr/detail/ClientCore.hpp"

namespace kyrif::detail {

// Each returns the new client as a pointer to its client interface (KyrCmdsSync* or
// KyrCmdsAsync*) converted to void*, owned by the caller.
void* makeSyncClient(std::unique_ptr<tav::qel::rr::detail::ClientCore> core);
void* makeAsyncClient(std::unique_ptr<tav::qel::rr::detail::ClientCore> core);

}  // namespace kyrif::detail
