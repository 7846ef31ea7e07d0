// Closing entities, shutting the middleware down, and data access.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "tav/qel/BlockingHook.hpp"
#include "test_ps_types.hpp"

using namespace tav::qel;
using namespace std::chrono_literals;
using testtypes::Reading;
using testtypes::reading;

namespace {

const std::string kTopic = "inproc:///lifecycle/readings";

std::atomic<int> hookRuns{0};
void countingHook(const std::function<void()>& wait) {
    ++hookRuns;
    wait();
}

}  // namespace

TEST(PsLifecycle, ClosedEntitiesRefuseEveryUse) {
    auto qel = testtypes::freshQel();
    auto publisher = testtypes::publisherOn<Reading>(*qel, kTopic);
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, kTopic);
    auto mrv = testtypes::mrvSubscriberOn<Reading>(*qel, kTopic);
    auto sample = reading(1, "a");

    publisher->close();
    publisher->close();
    EXPECT_THROW(publisher->publish(*sample, 0ms), ClosedException);
    EXPECT_THROW(publisher->publish(1.0, *sample, 0ms), ClosedException);
    EXPECT_THROW(publisher->createDataEntity(), ClosedException);
    EXPECT_THROW(publisher->createInstancePublisher(*sample), ClosedException);
    EXPECT_THROW(publisher->getQel(), ClosedException);

    subscriber->close();
    subscriber->close();
    ps::DataEventFilter<Reading> all;
    EXPECT_THROW(subscriber->read(0), ClosedException);
    EXPECT_THROW(subscriber->readInstance(*sample), ClosedException);
    EXPECT_THROW(subscriber->loanedRead(), ClosedException);
    EXPECT_THROW(subscriber->readDataEvents(all, 0, 0ms), ClosedException);
    EXPECT_THROW(subscriber->poll(0, 0ms), ClosedException);
    EXPECT_THROW(subscriber->subscribeAsync(all, [](auto&, const auto&) {}), ClosedException);
    EXPECT_THROW(subscriber->createDataEntity(), ClosedException);
    try {
        subscriber->read(0);
    } catch (const ClosedException& error) {
        EXPECT_NE(std::string(error.what()).find("closed"), std::string::npos);
    }

    mrv->close();
    mrv->close();
    EXPECT_THROW(mrv->readMostRecent(0ms), ClosedException);
    qel->shutdown();
}

TEST(PsLifecycle, ClosingWakesAWaitingReader) {
    auto qel = testtypes::freshQel();
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, kTopic);
    auto waiting = std::async(std::launch::async, [&] {
        return subscriber->readDataEvents(ps::DataEventFilter<Reading>(), 0, 10s);
    });
    std::this_thread::sleep_for(20ms);
    subscriber->close();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_THROW(waiting.get(), ClosedException);
    qel->shutdown();
}

TEST(PsLifecycle, ShutdownWakesEveryWaitStopsDispatchersAndRefusesLaterCalls) {
    auto qel = testtypes::freshQel();
    ps::qos::QoSList depthOne{std::make_shared<ps::qos::QueueDepth>(1)};
    auto full = testtypes::subscriberOn<Reading>(*qel, kTopic, depthOne);
    auto idle = testtypes::subscriberOn<Reading>(*qel, "inproc:///lifecycle/idle");
    auto mrv = testtypes::mrvSubscriberOn<Reading>(*qel, "inproc:///lifecycle/idle");
    auto publisher = testtypes::publisherOn<Reading>(*qel, kTopic);
    publisher->publish(*reading(1, "a"), 0ms);

    // A handler still running when the middleware shuts down finishes first.
    auto handled = testtypes::subscriberOn<Reading>(*qel, "inproc:///lifecycle/handled");
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    auto subscription = handled->subscribeAsync(ps::DataEventFilter<Reading>(), [&, token](auto&, const auto&) {
        inside = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    token.reset();
    testtypes::publisherOn<Reading>(*qel, "inproc:///lifecycle/handled")->publish(*reading(1, "x"), 0ms);
    while (!inside) {
        std::this_thread::sleep_for(1ms);
    }

    auto publishing = std::async(std::launch::async, [&] { publisher->publish(*reading(1, "b"), 10s); });
    auto reading1 = std::async(std::launch::async, [&] {
        return idle->readDataEvents(ps::DataEventFilter<Reading>(), 0, 10s);
    });
    auto polling = std::async(std::launch::async, [&] { return idle->poll(0, 10s); });
    auto recent = std::async(std::launch::async, [&] { return mrv->readMostRecent(10s); });
    std::this_thread::sleep_for(30ms);

    const auto start = std::chrono::steady_clock::now();
    qel->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(qel->isShutDown());
    EXPECT_TRUE(finished);
    EXPECT_TRUE(watch.expired());  // every handler released
    EXPECT_THROW(publishing.get(), ClosedException);
    EXPECT_THROW(reading1.get(), ClosedException);
    EXPECT_THROW(polling.get(), ClosedException);
    EXPECT_THROW(recent.get(), ClosedException);

    EXPECT_THROW(publisher->publish(*reading(1, "c"), 0ms), ClosedException);
    EXPECT_THROW(full->read(0), ClosedException);
    EXPECT_THROW(testtypes::publisherOn<Reading>(*qel, kTopic), ClosedException);
    EXPECT_THROW(testtypes::subscriberOn<Reading>(*qel, kTopic), ClosedException);
    EXPECT_THROW(qel->createDataEntity(testtypes::kLibrary, "Reading"), ClosedException);
    EXPECT_THROW(qel->createDataAccess("inproc:///da", {}, {}), ClosedException);
    qel->shutdown();  // a second shutdown is harmless
    subscription.reset();
}

TEST(PsLifecycle, WaitsForHandlersGoThroughTheBlockingHook) {
    auto qel = testtypes::freshQel();
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, kTopic);
    std::atomic<bool> inside{false};
    auto subscription = subscriber->subscribeAsync(ps::DataEventFilter<Reading>(), [&](auto&, const auto&) {
        inside = true;
        std::this_thread::sleep_for(30ms);
    });
    testtypes::publisherOn<Reading>(*qel, kTopic)->publish(*reading(1, "a"), 0ms);
    while (!inside) {
        std::this_thread::sleep_for(1ms);
    }
    hookRuns = 0;
    setBlockingHook(&countingHook);
    subscriber.reset();
    setBlockingHook(nullptr);
    EXPECT_GE(hookRuns.load(), 1);
    qel->shutdown();
}

TEST(DataAccess, KeepsOneValuePerEndpoint) {
    auto qel = testtypes::freshQel();
    auto writer = qel->createDataAccess("inproc:///da/one", {}, {});
    auto reader = qel->createDataAccess("inproc:///da/one", {}, {});
    auto other = qel->createDataAccess("inproc:///da/other", {}, {});

    std::unique_ptr<ps::DataEntityBase> entity(reader->createDataEntity(testtypes::kLibrary, "Reading"));
    auto& value = dynamic_cast<Reading&>(*entity);
    value.value = "unchanged";
    rr::da::SampleInfo info;
    info.valid = true;
    reader->readValue(value, info);
    EXPECT_FALSE(info.valid);
    EXPECT_EQ(value.value, "unchanged");

    auto written = reading(4, "first");
    writer->writeValue(*written);
    written->value = "changed after the write";
    reader->readValue(value, info);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.sequence, 1u);
    EXPECT_GT(info.sourceTimestamp, 1.0e9);
    EXPECT_EQ(value.sensor, 4);
    EXPECT_EQ(value.value, "first");
    writer->writeValue(*reading(5, "second"));
    reader->readValue(value, info);
    EXPECT_EQ(info.sequence, 2u);
    EXPECT_EQ(value.value, "second");

    other->readValue(value, info);
    EXPECT_FALSE(info.valid);

    // Another type neither reads nor replaces the value.
    auto status = testtypes::status("s");
    EXPECT_THROW(reader->readValue(*status, info), QelException);
    EXPECT_EQ(status->text, "s");
    EXPECT_THROW(writer->writeValue(*status), QelException);
    EXPECT_THROW(reader->createDataEntity(testtypes::kLibrary, "Nothing"), QelException);

    reader->close();
    EXPECT_THROW(reader->readValue(value, info), ClosedException);
    writer->writeValue(*reading(6, "still open"));
    qel->shutdown();
    EXPECT_THROW(writer->writeValue(*written), ClosedException);
}
