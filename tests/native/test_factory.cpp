// The factory, endpoints, the type registry and the middleware's properties.
#include <gtest/gtest.h>

#include "network/uri.hpp"
#include "tav/qel/WexFactory.hpp"
#include "test_ps_types.hpp"

using namespace tav::qel;
using testtypes::kLibrary;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

}  // namespace

TEST(Uri, AcceptsAbsoluteUrisAndRefusesOthers) {
    network::uri uri("inproc:///demo/Method");
    EXPECT_EQ(uri.string(), "inproc:///demo/Method");
    EXPECT_EQ(uri.scheme(), "inproc");
    EXPECT_EQ(uri.path(), "/demo/Method");
    EXPECT_EQ(network::uri("tcp://host:1234/a/b").path(), "/a/b");

    for (const char* bad : {"", "/demo/Method", "demo", "inproc:///with space", "inproc://[bad/x"}) {
        EXPECT_THROW(network::uri{bad}, network::uri_syntax_error) << bad;
    }
    EXPECT_NE(messageOf([] { network::uri("relative/path"); }).find("relative/path"), std::string::npos);
}

TEST(WexFactory, FindsTheEmbeddedMiddlewareByScheme) {
    auto& factory = WexFactory::getInstance();
    EXPECT_EQ(&factory, &WexFactory::getInstance());
    auto qel = factory.getQel("inproc:///a");
    ASSERT_TRUE(qel);
    EXPECT_EQ(qel, factory.getQel("INPROC:///b/c"));
    EXPECT_EQ(qel->getDefaultProperties().at("qel.middleware"), "embedded");
    EXPECT_EQ(qel->getDefaultProperties().at("ps.queueDepth"), "1024");
}

TEST(WexFactory, NamesTheEndpointOfInvalidOrUnservedEndpoints) {
    auto& factory = WexFactory::getInstance();
    auto invalid = messageOf([&] { factory.getQel("not a uri"); });
    EXPECT_NE(invalid.find("'not a uri'"), std::string::npos) << invalid;
    EXPECT_THROW(factory.getQel("not a uri"), QelException);

    auto unknown = messageOf([&] { factory.getQel("zmq://host/topic"); });
    EXPECT_NE(unknown.find("zmq://host/topic"), std::string::npos) << unknown;
    EXPECT_THROW(factory.getQel("zmq://host/topic"), QelException);
    EXPECT_THROW(factory.getPublisher<testtypes::Reading>("zmq://host/topic", {}, {}), QelException);
    EXPECT_THROW(factory.createServer("nope", {}, {}), QelException);
    EXPECT_THROW(factory.registerQel("x", nullptr), QelException);
}

TEST(WexFactory, TypedFactoryTemplatesMergeCallerProperties) {
    testtypes::registerTypes();
    auto& factory = WexFactory::getInstance();
    const std::string endpoint = "inproc:///factory/typed";
    auto subscriber = factory.getSubscriber<testtypes::Reading>(endpoint, {}, {{"ps.queueDepth", "1"}});
    auto publisher = factory.getPublisher<testtypes::Reading>(endpoint, {}, {});
    publisher->publish(*testtypes::reading(1, "a"), std::chrono::milliseconds(0));
    // The caller's depth of 1 replaced the default: a second sample finds no room.
    EXPECT_THROW(publisher->publish(*testtypes::reading(1, "b"), std::chrono::milliseconds(0)), TimeoutException);
    EXPECT_EQ(subscriber->read(0).size(), 1u);
    EXPECT_THROW(factory.getSubscriber<testtypes::Reading>(endpoint, {}, {{"ps.queueDepth", "many"}}), QelException);
}

TEST(TypeRegistry, RefusesUnknownTypesAndWrongRoles) {
    auto qel = testtypes::freshQel();
    auto unknown = messageOf([&] { qel->createPublisher(kLibrary, "Nothing", "inproc:///t", {}, {}); });
    EXPECT_NE(unknown.find("Nothing"), std::string::npos) << unknown;
    EXPECT_THROW(qel->createSubscriber("no-library", "Reading", "inproc:///t", {}, {}), QelException);
    EXPECT_THROW(qel->createDataEntity(kLibrary, "Nothing"), QelException);

    // A structure type asked for as a client, and a client asked for as a structure.
    EXPECT_THROW(qel->createClient(kLibrary, "Reading", "inproc:///t/svc", {}, {}), QelException);
    TypeRegistry::instance().add(kLibrary, "FakeClient",
                                 std::make_shared<ClientTypeSupport>(+[](std::unique_ptr<rr::detail::ClientCore>) {
                                     return static_cast<void*>(nullptr);
                                 }));
    auto wrongRole = messageOf([&] { qel->createPublisher(kLibrary, "FakeClient", "inproc:///t", {}, {}); });
    EXPECT_NE(wrongRole.find("client"), std::string::npos) << wrongRole;
    EXPECT_THROW(TypeRegistry::instance().add(kLibrary, "Empty", nullptr), QelException);

    std::unique_ptr<ps::DataEntityBase> sample(qel->createDataEntity(kLibrary, "Reading"));
    EXPECT_STREQ(sample->entityTypeName(), "Reading");
}

TEST(EmbeddedQel, QueueDepthComesFromQosBeforeProperties) {
    auto qel = testtypes::freshQel();
    const std::string endpoint = "inproc:///depth";
    ps::qos::QoSList depthTwo{std::make_shared<ps::qos::QueueDepth>(2)};
    auto subscriber = testtypes::subscriberOn<testtypes::Reading>(*qel, endpoint, depthTwo, {{"ps.queueDepth", "1"}});
    auto publisher = testtypes::publisherOn<testtypes::Reading>(*qel, endpoint);
    publisher->publish(*testtypes::reading(1, "a"), std::chrono::milliseconds(0));
    publisher->publish(*testtypes::reading(1, "b"), std::chrono::milliseconds(0));
    EXPECT_THROW(publisher->publish(*testtypes::reading(1, "c"), std::chrono::milliseconds(0)), TimeoutException);

    for (const char* bad : {"0", "-1", "1.5", "", "99999999999999999999"}) {
        EXPECT_THROW(testtypes::subscriberOn<testtypes::Reading>(*qel, endpoint, {}, {{"ps.queueDepth", bad}}),
                     QelException)
            << bad;
    }
    ps::qos::QoSList depthZero{std::make_shared<ps::qos::QueueDepth>(0)};
    EXPECT_THROW(testtypes::subscriberOn<testtypes::Reading>(*qel, endpoint, depthZero), QelException);
}

TEST(EmbeddedQel, TheFirstEntityFixesTheTopicType) {
    auto qel = testtypes::freshQel();
    const std::string endpoint = "inproc:///typed/topic";
    auto publisher = testtypes::publisherOn<testtypes::Reading>(*qel, endpoint);
    auto mismatch = messageOf([&] { testtypes::subscriberOn<testtypes::Status>(*qel, endpoint); });
    EXPECT_NE(mismatch.find(endpoint), std::string::npos) << mismatch;
    EXPECT_NE(mismatch.find("Reading"), std::string::npos) << mismatch;
    EXPECT_THROW(testtypes::publisherOn<testtypes::Status>(*qel, endpoint), QelException);
    EXPECT_THROW(testtypes::mrvSubscriberOn<testtypes::Status>(*qel, endpoint), QelException);

    // Once every entity of the topic is gone, the name is free for another type.
    publisher.reset();
    EXPECT_NO_THROW(testtypes::subscriberOn<testtypes::Status>(*qel, endpoint));
}
