#pragma once
#include <functional>
#include <utility>

namespace tav::qel::rr {

// Movable handle that owns a release action; destroying (or resetting) a non-empty
// handle runs the action exactly once.
class ListenerRegistration {
public:
    ListenerRegistration() = default;
    explicit ListenerRegistration(std::function<void()> release) : release_(std::move(release)) {}
    ListenerRegistration(const ListenerRegistration&) = delete;
    ListenerRegistration& operator=(const ListenerRegistration&) = delete;
    ListenerRegistration(ListenerRegistration&& other) noexcept : release_(std::exchange(other.release_, {})) {}
    ListenerRegistration& operator=(ListenerRegistration&& other) noexcept {
        if (this != &other) {
            reset();
            release_ = std::exchange(other.release_, {});
        }
        return *this;
    }
    ~ListenerRegistration() { reset(); }

    // Runs the release action now, if there is one.
    void reset() noexcept {
        if (auto release = std::exchange(release_, {})) {
            try {
                release();
            } catch (...) {
            }
        }
    }
    bool active() const noexcept { return static_cast<bool>(release_); }

private:
    std::function<void()> release_;
};

}  // namespace tav::qel::rr
