// Polled, asynchronous and notifier handlers, their failures and their ends.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tav/qel/detail/DeliveryHook.hpp"
#include "test_ps_types.hpp"

using namespace tav::qel;
using namespace std::chrono_literals;
using testtypes::Reading;
using testtypes::reading;

namespace {

class PsHandlers : public ::testing::Test {
protected:
    std::shared_ptr<Qel> qel = testtypes::freshQel();
    const std::string topic = "inproc:///handlers/readings";
    std::unique_ptr<ps::Subscriber<Reading>> subscriber = testtypes::subscriberOn<Reading>(*qel, topic);
    std::unique_ptr<ps::Publisher<Reading>> publisher = testtypes::publisherOn<Reading>(*qel, topic);
    void TearDown() override { qel->shutdown(); }

    void publishValues(std::initializer_list<const char*> values, int sensor = 1) {
        for (const char* value : values) {
            publisher->publish(*reading(sensor, value), 1s);
        }
    }
};

// Values seen by a handler, with a wait for a given count.
struct Seen {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::string> values;
    void add(const std::string& value) {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(value);
        cv.notify_all();
    }
    std::vector<std::string> waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait_for(lock, 5s, [&] { return values.size() >= count; });
        return values;
    }
};

thread_local bool insideDeliveryHook = false;
std::atomic<int> deliveryBatches{0};
void markingDeliveryHook(const std::function<void()>& batch) {
    ++deliveryBatches;
    insideDeliveryHook = true;
    batch();
    insideDeliveryHook = false;
}

}  // namespace

TEST_F(PsHandlers, AsyncHandlersRunInsideTheDeliveryHookInBatches) {
    tav::qel::detail::setDeliveryHook(&markingDeliveryHook);
    deliveryBatches = 0;
    Seen seen;
    std::atomic<int> outside{0};
    auto subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto&, const auto& event) {
        outside += insideDeliveryHook ? 0 : 1;
        seen.add(event.getData()->value);
    });
    publishValues({"a", "b", "c", "d", "e", "f", "g", "h"});
    EXPECT_EQ(seen.waitFor(8).size(), 8u);
    subscription.reset();
    tav::qel::detail::setDeliveryHook(nullptr);
    EXPECT_EQ(outside, 0);
    EXPECT_GE(deliveryBatches.load(), 1);  // at most one batch per sample, usually fewer
}

TEST_F(PsHandlers, PollRunsMatchingHandlersOnTheCallingThread) {
    std::vector<std::string> all;
    std::vector<std::string> sensorTwo;
    std::thread::id ranOn;
    auto everything = subscriber->subscribe(ps::DataEventFilter<Reading>(), [&](auto& from, const auto& event) {
        EXPECT_EQ(&from, subscriber.get());
        ranOn = std::this_thread::get_id();
        all.push_back(event.getData()->value);
    });
    ps::DataEventFilter<Reading> filter;
    filter.setInstance(reading(2, ""));
    auto onlyTwo = subscriber->subscribe(filter, [&](auto&, const auto& event) {
        sensorTwo.push_back(event.getData()->value);
    });

    EXPECT_EQ(subscriber->poll(0, 10ms), 0u);
    publishValues({"a", "b"});
    publishValues({"c"}, 2);
    EXPECT_EQ(subscriber->poll(2, 0ms), 2u);
    EXPECT_EQ(subscriber->poll(0, 0ms), 1u);
    EXPECT_EQ(all, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(sensorTwo, (std::vector<std::string>{"c"}));
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // poll waits for the first event.
    std::thread later([&] {
        std::this_thread::sleep_for(20ms);
        publishValues({"d"});
    });
    EXPECT_EQ(subscriber->poll(0, 5s), 1u);
    later.join();

    onlyTwo->close();
    onlyTwo->close();
    publishValues({"e"}, 2);
    subscriber->poll(0, 0ms);
    EXPECT_EQ(sensorTwo, (std::vector<std::string>{"c"}));
    EXPECT_EQ(all.back(), "e");
}

TEST_F(PsHandlers, PollRethrowsAHandlerFailureAfterConsumingItsEvent) {
    std::vector<std::string> seen;
    auto subscription = subscriber->subscribe(ps::DataEventFilter<Reading>(), [&](auto&, const auto& event) {
        seen.push_back(event.getData()->value);
        if (event.getData()->value == "bad") {
            throw std::runtime_error("handler refused");
        }
    });
    publishValues({"a", "bad", "c"});
    EXPECT_THROW(
        {
            try {
                subscriber->poll(0, 0ms);
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "handler refused");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "bad"}));
    // The failing event was consumed, the one after it is still queued.
    EXPECT_EQ(subscriber->poll(0, 0ms), 1u);
    EXPECT_EQ(seen.back(), "c");
}

TEST_F(PsHandlers, AsyncHandlersRunInOrderOnADispatcherAndSurviveFailures) {
    Seen seen;
    std::atomic<bool> onCaller{false};
    const auto caller = std::this_thread::get_id();
    testing::internal::CaptureStderr();
    auto subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto&, const auto& event) {
        onCaller = onCaller || std::this_thread::get_id() == caller;
        const std::string value = event.getData()->value;
        seen.add(value);
        if (value == "bad") {
            throw std::runtime_error("boom in handler");
        }
    });
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        if (i == 100) {
            expected.push_back("bad");
            publishValues({"bad"});
        }
        expected.push_back(std::to_string(i));
        publisher->publish(*reading(i % 3, std::to_string(i)), 5s);
    }
    EXPECT_EQ(seen.waitFor(expected.size()), expected);
    subscription.reset();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(onCaller);
    EXPECT_NE(errors.find("boom in handler"), std::string::npos) << errors;
    EXPECT_NE(errors.find(topic), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST_F(PsHandlers, NotifierIsToldAndSamplesStayQueued) {
    std::mutex mutex;
    std::condition_variable cv;
    int notified = 0;
    auto subscription = subscriber->subscribeAsyncNotifier(ps::DataEventFilter<Reading>(), [&](auto& from) {
        EXPECT_EQ(&from, subscriber.get());
        std::lock_guard<std::mutex> lock(mutex);
        ++notified;
        cv.notify_all();
    });
    publishValues({"a", "b"});
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, 5s, [&] { return notified > 0; }));
    }
    auto events = subscriber->readDataEvents(ps::DataEventFilter<Reading>(), 0, 1s);
    std::size_t total = events.size();
    if (total < 2) {
        total += subscriber->readDataEvents(ps::DataEventFilter<Reading>(), 0, 1s).size();
    }
    EXPECT_EQ(total, 2u);
}

TEST_F(PsHandlers, EndingASubscriptionWaitsForTheRunningHandler) {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    std::atomic<int> calls{0};
    auto subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto&, const auto&) {
        ++calls;
        inside = true;
        while (!release) {
            std::this_thread::sleep_for(1ms);
        }
        finished = true;
    });
    publishValues({"a", "b"});
    while (!inside) {
        std::this_thread::sleep_for(1ms);
    }
    std::thread releaser([&] {
        std::this_thread::sleep_for(30ms);
        release = true;
    });
    subscription->close();
    EXPECT_TRUE(finished);  // close returned only after the running handler
    releaser.join();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls, 1);  // and no delivery started after it
}

TEST_F(PsHandlers, HandlersMayCloseTheirSubscriberOrSubscription) {
    std::unique_ptr<ps::Subscription> subscription;
    std::atomic<int> calls{0};
    std::atomic<bool> closedInside{false};
    subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto& from, const auto&) {
        ++calls;
        subscription->close();  // no wait for itself
        from.close();
        closedInside = true;
    });
    publishValues({"a", "b", "c"});
    for (int i = 0; i < 500 && !closedInside; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(closedInside);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(subscriber->read(0), ClosedException);

    // A subscriber destroyed by its own handler: its dispatcher ends by itself.
    auto doomed = testtypes::subscriberOn<Reading>(*qel, topic);
    std::atomic<bool> destroyed{false};
    auto doomedSubscription = doomed->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto&, const auto&) {
        doomed.reset();
        destroyed = true;
    });
    publishValues({"d"});
    for (int i = 0; i < 500 && !destroyed; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(destroyed);
    doomedSubscription.reset();
}

TEST_F(PsHandlers, DestroyingTheSubscriberEndsDeliveriesAndReleasesHandlers) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    Seen seen;
    auto subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(),
                                                   [&seen, token](auto&, const auto& event) {
                                                       seen.add(event.getData()->value);
                                                   });
    token.reset();
    publishValues({"a"});
    EXPECT_EQ(seen.waitFor(1).size(), 1u);
    subscriber.reset();
    EXPECT_TRUE(watch.expired());  // the handler was released with the subscriber
    publishValues({"b"});          // the topic no longer has that subscriber
    subscription->close();         // a subscription that outlived its subscriber
}
