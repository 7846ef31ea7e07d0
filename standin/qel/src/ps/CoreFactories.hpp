#pragma once
// Construction of the engine's entity cores on a topic.
#include <memory>

#include "MrvState.hpp"
#include "SubscriberState.hpp"
#include "Topic.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::embedded {

std::unique_ptr<ps::detail::PublisherCore> makePublisherCore(std::shared_ptr<Topic> topic);
std::unique_ptr<ps::detail::SubscriberCore> makeSubscriberCore(std::shared_ptr<SubscriberState> state);
std::unique_ptr<ps::detail::MrvSubscriberCore> makeMrvSubscriberCore(std::shared_ptr<MrvState> state);

}  // namespace tav::qel::embedded
