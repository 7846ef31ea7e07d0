// Connections, listeners, closing and shutdown of the embedded request/reply engine.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_rr_support.hpp"
#include "tav/qel/BlockingHook.hpp"

using namespace rrtest;
using tav::qel::ClosedException;
using tav::qel::QelException;
using tav::qel::TimeoutException;
using tav::qel::embedded::RrEngine;

namespace {

class RrLifecycle : public ::testing::Test {
protected:
    void SetUp() override { registerProbeTypes(); }

    std::shared_ptr<tav::qel::rr::Server> server() { return engine.makeServer({}, "inproc:///life", {}, {}); }
    std::unique_ptr<tav::qel::rr::detail::ClientCore> client(std::chrono::milliseconds reply = 2000ms) {
        return engine.makeClient({}, "inproc:///life/svc", replyTime(reply), {});
    }

    RrEngine engine;
};

// A service whose requests wait until the test lets them go.
struct HeldService {
    Gate entered, release;
    std::shared_ptr<ProbeService> service = std::make_shared<ProbeService>([this](const Request&) {
        entered.open();
        release.wait();
        return boost::make_ready_future<std::string>("released");
    });
};

TEST_F(RrLifecycle, AsyncConnectCompletesWhenTheServiceIsReachable) {
    auto c = client(3000ms);
    auto connected = c->asyncConnect();
    EXPECT_EQ(connected.wait_for(boost::chrono::milliseconds(50)), boost::future_status::timeout);
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    ASSERT_EQ(connected.wait_for(boost::chrono::seconds(2)), boost::future_status::ready);
    EXPECT_NO_THROW(connected.get());
    // Already reachable: ready at once.
    EXPECT_TRUE(c->asyncConnect().is_ready());

    auto lonely = engine.makeClient({}, "inproc:///life/nobody", replyTime(100ms), {});
    auto never = lonely->asyncConnect();
    ASSERT_EQ(never.wait_for(boost::chrono::seconds(2)), boost::future_status::ready);
    EXPECT_THROW(never.get(), TimeoutException);
}

TEST_F(RrLifecycle, ListenersHearTheServiceComeAndGo) {
    auto c = client();
    Heard before;
    auto first = c->registerConnectionListener(before.listener());
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    EXPECT_EQ(before.waitFor(1), std::vector<bool>{true});

    // A listener registered while the service is reachable hears true once, soon.
    Heard after;
    auto second = c->registerConnectionListener(after.listener());
    EXPECT_EQ(after.waitFor(1), std::vector<bool>{true});

    srv->unregisterService("svc");
    EXPECT_EQ(before.waitFor(2), (std::vector<bool>{true, false}));
    EXPECT_EQ(after.waitFor(2), (std::vector<bool>{true, false}));

    // A released listener hears nothing more; the others go on.
    second.reset();
    srv->registerService("svc", echoService(), library, syncType);
    srv->close();
    EXPECT_EQ(before.waitFor(4), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(after.waitFor(3, 200ms), (std::vector<bool>{true, false}));
}

TEST_F(RrLifecycle, ReleasingAListenerWaitsForItsRunningNotificationAndRunsOnce) {
    auto c = client();
    Gate inListener, letGo;
    std::atomic<int> calls{0};
    auto registration = c->registerConnectionListener([&](bool) {
        ++calls;
        inListener.open();
        letGo.wait();
    });
    // The release action is copied out, so that running it twice can be tried.
    std::atomic<int> hookRuns{0};
    static std::atomic<int>* hookCounter;
    hookCounter = &hookRuns;
    tav::qel::setBlockingHook([](const std::function<void()>& wait) {
        ++*hookCounter;
        wait();
    });
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    ASSERT_TRUE(inListener.wait());

    std::atomic<bool> released{false};
    std::thread releaser([&] {
        registration.reset();
        released = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(released.load());  // still waiting for the running notification
    letGo.open();
    releaser.join();
    EXPECT_TRUE(released.load());
    EXPECT_GE(hookRuns.load(), 1);  // the wait went through the blocking hook
    tav::qel::setBlockingHook(nullptr);

    srv->unregisterService("svc");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_FALSE(registration.active());
}

TEST_F(RrLifecycle, AListenerMayReleaseItselfFromItsOwnNotification) {
    auto c = client();
    Gate done;
    // Nothing is heard before the service comes, so the registration is filled in by then.
    tav::qel::rr::ListenerRegistration registration;
    registration = c->registerConnectionListener([&](bool) {
        registration.reset();
        done.open();
    });
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    EXPECT_TRUE(done.wait());
}

TEST_F(RrLifecycle, ClosingAClientFailsItsPendingCallsAndLaterOnes) {
    auto c = client(5000ms);
    auto waitingForService = c->call({"Ping", "", nullptr});
    auto connect = c->asyncConnect();
    std::exception_ptr syncError;
    std::thread waiter([&] {
        try {
            c->callSync({"Ping", "", nullptr});
        } catch (...) {
            syncError = std::current_exception();
        }
    });
    std::this_thread::sleep_for(50ms);
    c->close();
    waiter.join();
    EXPECT_THROW(std::rethrow_exception(syncError), ClosedException);
    EXPECT_THROW(waitingForService.get(), ClosedException);
    EXPECT_THROW(connect.get(), ClosedException);
    EXPECT_THROW(c->callSync({"Ping", "", nullptr}), ClosedException);
    EXPECT_THROW(c->call({"Ping", "", nullptr}), ClosedException);
    EXPECT_THROW(c->registerConnectionListener([](bool) {}), ClosedException);
    c->close();  // closing twice is harmless
}

TEST_F(RrLifecycle, ClosingAServerFailsPendingRequestsAndWaitsForRunningOnes) {
    auto srv = engine.makeServer({}, "inproc:///life", {}, {{"rr.workerThreads", "1"}});
    HeldService held;
    auto parked = std::make_shared<boost::promise<std::string>>();
    srv->registerService("svc", held.service, library, syncType);
    srv->registerService("async", std::make_shared<ProbeService>([&](const Request&) { return parked->get_future(); }),
                         library, asyncType);
    auto asyncClient = engine.makeClient({}, "inproc:///life/async", replyTime(5000ms), {});
    auto inFlight = asyncClient->call({"Ping", "", nullptr});
    auto c = client(5000ms);
    auto running = c->call({"Ping", "1", nullptr});
    ASSERT_TRUE(held.entered.wait());
    auto queued = c->call({"Ping", "2", nullptr});  // the only worker is busy

    std::atomic<bool> closed{false};
    std::thread closer([&] {
        srv->close();
        closed = true;
    });
    EXPECT_THROW(queued.get(), ClosedException);
    EXPECT_THROW(inFlight.get(), ClosedException);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(closed.load());  // still waiting for the running request
    held.release.open();
    closer.join();
    EXPECT_EQ(running.get(), "released");
    EXPECT_THROW(client(100ms)->callSync({"Ping", "", nullptr}), TimeoutException) << "nothing serves after close";
    parked->set_value("too late");  // nobody listens any more
}

TEST_F(RrLifecycle, AServiceMayCloseItsOwnServer) {
    std::shared_ptr<tav::qel::rr::Server> srv = server();
    srv->registerService("svc", std::make_shared<ProbeService>([&](const Request&) {
                             srv->close();
                             return boost::make_ready_future<std::string>("closed myself");
                         }),
                         library, syncType);
    EXPECT_EQ(client()->callSync({"Ping", "", nullptr}), "closed myself");
}

TEST_F(RrLifecycle, ServicesAreReleasedWhenTheyLeave) {
    auto srv = server();
    auto service = echoService();
    std::weak_ptr<ProbeService> watch = service;
    srv->registerService("svc", std::move(service), library, syncType);
    EXPECT_EQ(client()->callSync({"Ping", "", nullptr}), "Ping:");
    srv->unregisterService("svc");
    EXPECT_TRUE(watch.expired());

    service = echoService();
    watch = service;
    srv->registerService("svc", std::move(service), library, syncType);
    srv.reset();  // dropping the server closes it
    EXPECT_TRUE(watch.expired());
}

TEST_F(RrLifecycle, ShutdownFailsEveryWaitAndRefusesLaterUse) {
    auto srv = server();
    HeldService held;
    srv->registerService("svc", held.service, library, syncType);
    auto c = client(10000ms);
    std::exception_ptr syncError;
    std::thread waiter([&] {
        try {
            c->callSync({"Ping", "", nullptr});
        } catch (...) {
            syncError = std::current_exception();
        }
    });
    ASSERT_TRUE(held.entered.wait());
    auto waitingForService = engine.makeClient({}, "inproc:///life/other", replyTime(10000ms), {});
    auto pending = waitingForService->call({"Ping", "", nullptr});

    // Shutdown waits for the running request, which finishes while it waits.
    std::thread releaser([&] {
        std::this_thread::sleep_for(100ms);
        held.release.open();
    });
    engine.shutdown();
    releaser.join();
    waiter.join();
    EXPECT_THROW(std::rethrow_exception(syncError), ClosedException);
    EXPECT_THROW(pending.get(), ClosedException);
    EXPECT_THROW(c->callSync({"Ping", "", nullptr}), ClosedException);
    EXPECT_THROW(engine.makeServer({}, "inproc:///life2", {}, {}), ClosedException);
    EXPECT_THROW(engine.makeClient({}, "inproc:///life/svc", {}, {}), ClosedException);
    engine.shutdown();  // twice is harmless
}

}  // namespace
