#pragma once
// The entity cores of publish/subscribe between processes. Each wraps the embedded
// middleware's core of the same topic, so that entities of this process reach each
// other exactly as inproc ones do, and adds the engine's writer or reader for the
// other processes.
#include <chrono>
#include <memory>

#include "../ps/MrvState.hpp"
#include "../ps/SubscriberState.hpp"
#include "ReaderPump.hpp"
#include "Shared.hpp"
#include "Writer.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::dds {

std::unique_ptr<ps::detail::PublisherCore> makePublisherCore(std::shared_ptr<Shared> shared,
                                                             std::unique_ptr<ps::detail::PublisherCore> local,
                                                             std::shared_ptr<Writer> writer);
std::unique_ptr<ps::detail::SubscriberCore> makeSubscriberCore(std::shared_ptr<Shared> shared,
                                                               std::unique_ptr<ps::detail::SubscriberCore> local,
                                                               std::shared_ptr<ReaderPump> pump);
std::unique_ptr<ps::detail::MrvSubscriberCore> makeMrvSubscriberCore(std::shared_ptr<Shared> shared,
                                                                     std::unique_ptr<ps::detail::MrvSubscriberCore> local,
                                                                     std::shared_ptr<ReaderPump> pump);

// What close and exit say of samples that matched readers did not acknowledge.
std::string unacknowledgedText(const Writer& writer, std::size_t count);

}  // namespace tav::qel::dds
