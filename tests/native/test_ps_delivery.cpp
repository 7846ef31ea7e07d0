// Publishing and reading: fan-out, order, bounded queues, instances, filters,
// loans and most-recent values.
#include <gtest/gtest.h>

#include <thread>

#include "test_ps_types.hpp"

using namespace tav::qel;
using namespace std::chrono_literals;
using testtypes::Reading;
using testtypes::reading;
using testtypes::Status;

namespace {

class PsDelivery : public ::testing::Test {
protected:
    std::shared_ptr<Qel> qel = testtypes::freshQel();
    const std::string topic = "inproc:///delivery/readings";
    void TearDown() override { qel->shutdown(); }
};

std::vector<std::string> valuesOf(const std::vector<std::shared_ptr<Reading>>& samples) {
    std::vector<std::string> values;
    for (const auto& sample : samples) {
        values.push_back(sample->value);
    }
    return values;
}

}  // namespace

TEST_F(PsDelivery, EverySubscriberGetsItsOwnCopyInOrder) {
    auto first = testtypes::subscriberOn<Reading>(*qel, topic);
    auto second = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    auto sample = reading(1, "a");
    publisher->publish(*sample, 0ms);
    sample->value = "b";  // the published copies do not change with the caller's sample
    publisher->publish(*sample, 0ms);
    publisher->publish(*reading(2, "c"), 0ms);

    auto fromFirst = first->read(2);
    EXPECT_EQ(valuesOf(fromFirst), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(valuesOf(first->read(0)), (std::vector<std::string>{"c"}));
    EXPECT_TRUE(first->read(0).empty());

    auto fromSecond = second->read(0);
    EXPECT_EQ(valuesOf(fromSecond), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_NE(fromFirst[0].get(), fromSecond[0].get());
    EXPECT_NE(fromFirst[0].get(), sample.get());

    // A subscriber that joins later sees only later samples; publishing with no
    // subscriber succeeds.
    auto late = testtypes::subscriberOn<Reading>(*qel, topic);
    EXPECT_TRUE(late->read(0).empty());
    testtypes::publisherOn<Reading>(*qel, "inproc:///delivery/nobody")->publish(*sample, 0ms);
}

TEST_F(PsDelivery, FullQueueMakesPublishWaitThenTimeOutWithoutLoss) {
    ps::qos::QoSList depthTwo{std::make_shared<ps::qos::QueueDepth>(2)};
    auto slow = testtypes::subscriberOn<Reading>(*qel, topic, depthTwo);
    auto fast = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    publisher->publish(*reading(1, "1"), 0ms);
    publisher->publish(*reading(1, "2"), 0ms);

    const auto start = std::chrono::steady_clock::now();
    try {
        publisher->publish(*reading(1, "3"), 50ms);
        FAIL() << "publish into a full queue succeeded";
    } catch (const TimeoutException& error) {
        EXPECT_NE(std::string(error.what()).find(topic), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("50 ms"), std::string::npos) << error.what();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
    // All or nothing: the fast subscriber did not get the sample either.
    EXPECT_EQ(fast->read(0).size(), 2u);

    // A reader that frees room lets a waiting publisher through.
    std::thread reader([&] {
        std::this_thread::sleep_for(30ms);
        slow->read(1);
    });
    publisher->publish(*reading(1, "3"), 5s);
    reader.join();
    EXPECT_EQ(valuesOf(slow->read(0)), (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(valuesOf(fast->read(0)), (std::vector<std::string>{"3"}));

    // A closed subscriber no longer holds publishers back.
    publisher->publish(*reading(1, "4"), 0ms);
    publisher->publish(*reading(1, "5"), 0ms);
    slow->close();
    EXPECT_NO_THROW(publisher->publish(*reading(1, "6"), 0ms));
}

TEST_F(PsDelivery, InstancesAreToldApartByKey) {
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    publisher->publish(*reading(1, "a"), 0ms);
    publisher->publish(*reading(2, "b"), 0ms);
    publisher->publish(1234.5, *reading(1, "c"), 0ms);

    ps::DataEventFilter<Reading> all;
    auto events = subscriber->readDataEvents(all, 0, 0ms);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0]->getInstanceEvent(), ps::InstanceEvent::CREATED);
    EXPECT_EQ(events[1]->getInstanceEvent(), ps::InstanceEvent::CREATED);
    EXPECT_EQ(events[2]->getInstanceEvent(), ps::InstanceEvent::UPDATED);
    EXPECT_EQ(events[2]->getInstanceState(), ps::InstanceState::ALIVE);
    EXPECT_TRUE(events[2]->hasValidData());
    EXPECT_EQ(events[2]->getData()->value, "c");
    EXPECT_DOUBLE_EQ(events[2]->getSourceTimestamp(), 1234.5);
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(events[0]->getSourceTimestamp(), now, 60.0);

    // The latest sample of each instance, read without taking it from the queue.
    auto latest = subscriber->readInstance(*reading(1, ""));
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->value, "c");
    latest->value = "changed by the caller";
    EXPECT_EQ(subscriber->readInstance(*reading(1, ""))->value, "c");
    EXPECT_FALSE(subscriber->readInstance(*reading(3, "")));
    auto into = reading(0, "untouched");
    EXPECT_FALSE(subscriber->readInstanceValue(*reading(3, ""), *into));
    EXPECT_EQ(into->value, "untouched");
    EXPECT_TRUE(subscriber->readInstanceValue(*reading(2, ""), *into));
    EXPECT_EQ(into->sensor, 2);
    EXPECT_EQ(into->value, "b");

    // A type without key fields has one instance.
    const std::string statusTopic = "inproc:///delivery/status";
    auto statusSubscriber = testtypes::subscriberOn<Status>(*qel, statusTopic);
    auto statusPublisher = testtypes::publisherOn<Status>(*qel, statusTopic);
    statusPublisher->publish(*testtypes::status("x"), 0ms);
    statusPublisher->publish(*testtypes::status("y"), 0ms);
    auto statusEvents = statusSubscriber->readDataEvents(ps::DataEventFilter<Status>(), 0, 0ms);
    ASSERT_EQ(statusEvents.size(), 2u);
    EXPECT_EQ(statusEvents[1]->getInstanceEvent(), ps::InstanceEvent::UPDATED);
    EXPECT_EQ(statusSubscriber->readInstance(*testtypes::status(""))->text, "y");
}

TEST_F(PsDelivery, FiltersSelectEventsAndLeaveTheRestQueued) {
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    for (auto [sensor, value] : std::vector<std::pair<int, const char*>>{{1, "a"}, {2, "b"}, {1, "c"}, {2, "d"}}) {
        publisher->publish(*reading(sensor, value), 0ms);
    }

    ps::DataEventFilter<Reading> sensorTwo;
    sensorTwo.setInstance(reading(2, "ignored"));
    auto two = subscriber->readDataEvents(sensorTwo, 1, 0ms);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0]->getData()->value, "b");

    ps::DataEventFilter<Reading> updates;
    updates.setInstanceEvents({ps::InstanceEvent::UPDATED});
    auto updated = subscriber->readDataEvents(updates, 0, 0ms);
    ASSERT_EQ(updated.size(), 2u);
    EXPECT_EQ(updated[0]->getData()->value, "c");
    EXPECT_EQ(updated[1]->getData()->value, "d");

    ps::DataEventFilter<Reading> notAlive;
    notAlive.setInstanceState(ps::InstanceState::NOT_ALIVE);
    EXPECT_TRUE(subscriber->readDataEvents(notAlive, 0, 10ms).empty());

    // Only the first event (sensor 1, "a") is left.
    EXPECT_EQ(valuesOf(subscriber->read(0)), (std::vector<std::string>{"a"}));

    // A filtered read waits for the first match, however many others arrive first.
    std::thread later([&] {
        std::this_thread::sleep_for(20ms);
        publisher->publish(*reading(1, "e"), 1s);
        publisher->publish(*reading(2, "f"), 1s);
    });
    auto waited = subscriber->readDataEvents(sensorTwo, 0, 5s);
    later.join();
    ASSERT_EQ(waited.size(), 1u);
    EXPECT_EQ(waited[0]->getData()->value, "f");
    EXPECT_EQ(valuesOf(subscriber->read(0)), (std::vector<std::string>{"e"}));
}

TEST_F(PsDelivery, InstancePublisherIsBoundToItsInstance) {
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    auto key = reading(7, "payload is not part of the key");
    auto instancePublisher = publisher->createInstancePublisher(*key);

    auto sample = instancePublisher->createDataEntity();
    EXPECT_EQ(sample->sensor, 7);
    EXPECT_EQ(sample->value, "");
    sample->value = "x";
    instancePublisher->publish(*sample, 0ms);
    EXPECT_THROW(instancePublisher->publish(*reading(8, "y"), 0ms), QelException);
    EXPECT_EQ(publisher->createDataEntity()->sensor, 0);

    auto received = subscriber->read(0);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0]->sensor, 7);
    EXPECT_EQ(received[0]->value, "x");

    // Closing the instance publisher leaves the publisher open, and the other way round.
    instancePublisher->close();
    EXPECT_THROW(instancePublisher->publish(*sample, 0ms), ClosedException);
    EXPECT_NO_THROW(publisher->publish(*sample, 0ms));
    EXPECT_EQ(publisher->getQel(), qel);
}

TEST_F(PsDelivery, LoansMoveSamplesOutAndStayValidUntilDestroyed) {
    auto subscriber = testtypes::subscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    EXPECT_FALSE(subscriber->loanedRead());
    publisher->publish(*reading(1, "a"), 0ms);
    publisher->publish(*reading(1, "b"), 0ms);

    auto loan = subscriber->loanedRead();
    ASSERT_TRUE(loan);
    Reading* lent = loan->getData();
    ASSERT_NE(lent, nullptr);
    EXPECT_EQ(lent->value, "a");
    loan->close();
    EXPECT_EQ(loan->getData(), nullptr);
    EXPECT_EQ(lent->value, "a");  // still the loan's memory until the loan goes

    EXPECT_EQ(valuesOf(subscriber->read(0)), (std::vector<std::string>{"b"}));
    auto instanceLoan = subscriber->loanedReadInstance(*reading(1, ""));
    ASSERT_TRUE(instanceLoan);
    EXPECT_EQ(instanceLoan->getData()->value, "b");
    EXPECT_FALSE(subscriber->loanedReadInstance(*reading(9, "")));
}

TEST_F(PsDelivery, MostRecentValuePerInstanceInOrderOfFirstAppearance) {
    auto mrv = testtypes::mrvSubscriberOn<Reading>(*qel, topic);
    auto publisher = testtypes::publisherOn<Reading>(*qel, topic);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(mrv->readMostRecent(30ms).empty());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);

    std::thread later([&] {
        std::this_thread::sleep_for(20ms);
        publisher->publish(*reading(2, "a"), 1s);
    });
    auto first = mrv->readMostRecent(5s);
    later.join();
    ASSERT_EQ(first.size(), 1u);

    publisher->publish(*reading(1, "b"), 0ms);
    publisher->publish(*reading(2, "c"), 0ms);
    auto latest = mrv->readMostRecent(0ms);
    ASSERT_EQ(latest.size(), 2u);
    EXPECT_EQ(latest[0]->sensor, 2);
    EXPECT_EQ(latest[0]->value, "c");
    EXPECT_EQ(latest[1]->value, "b");
    EXPECT_EQ(first[0]->value, "a");  // a sample handed out earlier is not overwritten
    EXPECT_EQ(mrv->readMostRecent(0ms).size(), 2u);  // reading does not consume
}
