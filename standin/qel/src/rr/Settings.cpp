#include "Settings.hpp"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded::reqrep {

namespace {

constexpr long long defaultReplyTimeMs = 5000;
constexpr long long defaultWorkerThreads = 4;
constexpr long long maxWorkerThreads = 256;

std::optional<long long> wholeNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::chrono::milliseconds replyTimeOf(const tav::qel::rr::qos::QoSList& qos, const tav::qel::Properties& properties) {
    std::optional<std::chrono::milliseconds> chosen;
    for (const auto& setting : qos) {
        if (auto* replyTime = dynamic_cast<const tav::qel::rr::qos::ReplyTime*>(setting.get())) {
            chosen = replyTime->getTime();
        }
    }
    if (!chosen) {
        auto it = properties.find("rr.replyTimeMs");
        if (it == properties.end()) {
            chosen = std::chrono::milliseconds(defaultReplyTimeMs);
        } else if (auto value = wholeNumber(it->second)) {
            chosen = std::chrono::milliseconds(*value);
        } else {
            throw tav::qel::QelException("property rr.replyTimeMs must be a whole number of milliseconds, not '" +
                                         it->second + "'");
        }
    }
    return *chosen < std::chrono::milliseconds::zero() ? std::chrono::milliseconds::zero() : *chosen;
}

std::size_t workerThreadsOf(const tav::qel::Properties& properties) {
    auto it = properties.find("rr.workerThreads");
    if (it == properties.end()) {
        return defaultWorkerThreads;
    }
    auto value = wholeNumber(it->second);
    if (!value || *value < 1 || *value > maxWorkerThreads) {
        throw tav::qel::QelException("property rr.workerThreads must be a whole number from 1 to " +
                                     std::to_string(maxWorkerThreads) + ", not '" + it->second + "'");
    }
    return static_cast<std::size_t>(*value);
}

}  // namespace tav::qel::embedded::reqrep
