// Requests through the embedded request/reply engine: replies, errors, reply times,
// clients that come before their service, and many callers at once.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "test_rr_support.hpp"

using namespace rrtest;
using tav::qel::ClosedException;
using tav::qel::QelException;
using tav::qel::TimeoutException;
using tav::qel::embedded::RrEngine;

namespace {

class RrCalls : public ::testing::Test {
protected:
    void SetUp() override { registerProbeTypes(); }

    std::shared_ptr<tav::qel::rr::Server> server(const tav::qel::Properties& properties = {}) {
        return engine.makeServer({}, "inproc:///calls", {}, properties);
    }
    std::unique_ptr<tav::qel::rr::detail::ClientCore> client(std::chrono::milliseconds reply = 2000ms,
                                                            const std::string& name = "svc") {
        return engine.makeClient({}, "inproc:///calls/" + name, replyTime(reply), {});
    }

    RrEngine engine;
};

TEST_F(RrCalls, SyncAndAsyncServicesAnswerBothKindsOfCall) {
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    // The asynchronous service answers later, from a thread of its own.
    srv->registerService("later", std::make_shared<ProbeService>([](const Request& request) {
                             auto promise = std::make_shared<boost::promise<std::string>>();
                             std::thread([promise, text = request.text] {
                                 std::this_thread::sleep_for(20ms);
                                 promise->set_value("late " + text);
                             }).detach();
                             return promise->get_future();
                         }),
                         library, asyncType);
    auto sync = client();
    auto async = client(2000ms, "later");

    EXPECT_EQ(sync->callSync({"Ping", "", nullptr}), "Ping:");
    EXPECT_EQ(sync->call({"GetConfig", "a", nullptr}).get(), "GetConfig:a");
    EXPECT_EQ(async->callSync({"Ping", "x", nullptr}), "late x");
    EXPECT_EQ(async->call({"Ping", "y", nullptr}).get(), "late y");
}

TEST_F(RrCalls, TheServiceReceivesItsOwnCopyOfAStructureArgument) {
    std::shared_ptr<tav::qel::ps::DataEntityBase> seen;
    Gate received, changed;
    auto srv = server();
    srv->registerService("svc", std::make_shared<ProbeService>([&](const Request& request) {
                             seen = request.entity;
                             received.open();
                             changed.wait();
                             return boost::make_ready_future(dynamic_cast<Probe&>(*request.entity).value);
                         }),
                         library, syncType);
    auto sample = std::make_shared<Probe>();
    sample->value = "sent";
    auto c = client();
    auto reply = c->call({"Execute", "", sample});
    ASSERT_TRUE(received.wait());
    sample->value = "changed by the client afterwards";
    changed.open();
    EXPECT_EQ(reply.get(), "sent");
    EXPECT_NE(seen, sample);
}

TEST_F(RrCalls, ServiceErrorsReachTheClient) {
    auto srv = server();
    srv->registerService("svc", std::make_shared<ProbeService>([](const Request& request) -> boost::future<std::string> {
                             if (request.command == "Own") throw ProbeError("own failure", 42);
                             if (request.command == "Std") throw std::runtime_error("plain failure");
                             if (request.command == "Odd") throw 7;
                             // A failure stored in the returned future.
                             return boost::make_exceptional_future<std::string>(std::logic_error("stored failure"));
                         }),
                         library, syncType);
    auto c = client();

    // An exception derived from QelException arrives as itself, with its data.
    try {
        c->callSync({"Own", "", nullptr});
        FAIL() << "no error";
    } catch (const ProbeError& error) {
        EXPECT_EQ(error.code, 42);
        EXPECT_STREQ(error.what(), "own failure");
    }
    try {
        c->call({"Own", "", nullptr}).get();
        FAIL() << "no error";
    } catch (const ProbeError& error) {
        EXPECT_EQ(error.code, 42);
    }
    // Other standard exceptions become a QelException with their text.
    for (const char* command : {"Std", "Stored"}) {
        try {
            c->callSync({command, "", nullptr});
            FAIL() << "no error for " << command;
        } catch (const ProbeError&) {
            FAIL() << "wrong type";
        } catch (const QelException& error) {
            EXPECT_STREQ(error.what(), command == std::string("Std") ? "plain failure" : "stored failure");
        }
    }
    // Anything else still reaches the client, as a QelException that says so.
    try {
        c->callSync({"Odd", "", nullptr});
        FAIL() << "no error";
    } catch (const QelException& error) {
        EXPECT_NE(std::string(error.what()).find("not a standard exception"), std::string::npos);
    }
}

TEST_F(RrCalls, ABrokenPromiseFailsTheRequestInsteadOfHangingIt) {
    auto srv = server();
    auto parked = std::make_shared<boost::promise<std::string>>();
    Gate handed;
    srv->registerService("svc", std::make_shared<ProbeService>([&](const Request&) {
                             auto future = parked->get_future();
                             handed.open();
                             return future;
                         }),
                         library, asyncType);
    auto c = client(5000ms);
    auto reply = c->call({"Ping", "", nullptr});
    ASSERT_TRUE(handed.wait());
    parked.reset();  // the service drops its promise without ever answering
    ASSERT_EQ(reply.wait_for(boost::chrono::seconds(2)), boost::future_status::ready);
    EXPECT_THROW(reply.get(), QelException);
}

// A service that answers only when the test says: it keeps the promise of each
// request it gets.
class KeptReplies {
public:
    std::shared_ptr<ProbeService> service() {
        return std::make_shared<ProbeService>([this](const Request&) {
            std::lock_guard<std::mutex> lock(mutex_);
            kept_.push_back(std::make_shared<boost::promise<std::string>>());
            return kept_.back()->get_future();
        });
    }
    // Waits up to two seconds until count requests arrived.
    bool arrived(std::size_t count) {
        for (int i = 0; i < 400; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (kept_.size() >= count) return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    void answer(std::size_t which, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        kept_.at(which)->set_value(text);
    }
    // Answers every request not answered yet.
    void answerTheRest(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& promise : kept_) {
            try {
                promise->set_value(text);
            } catch (const boost::promise_already_satisfied&) {
            }
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<boost::promise<std::string>>> kept_;
};

TEST_F(RrCalls, NoReplyWithinTheReplyTimeIsATimeout) {
    auto srv = server();
    KeptReplies kept;
    srv->registerService("svc", kept.service(), library, asyncType);
    auto c = client(150ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(c->callSync({"Ping", "", nullptr}), TimeoutException);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 140ms);
    EXPECT_LT(waited, 2000ms);

    auto reply = c->call({"Ping", "", nullptr});
    ASSERT_EQ(reply.wait_for(boost::chrono::seconds(2)), boost::future_status::ready);
    EXPECT_THROW(reply.get(), TimeoutException);

    // A late answer to a timed-out request is dropped quietly.
    kept.answerTheRest("too late");
}

TEST_F(RrCalls, AShortReplyTimeEndsInTimeAfterLongerOnes) {
    auto srv = server();
    KeptReplies kept;
    srv->registerService("svc", kept.service(), library, asyncType);
    auto patient = client(5000ms);
    // One call with a long reply time answered, one still waiting: the timer need
    // not wake for either before their deadlines, but must for a shorter one.
    auto answered = patient->call({"Ping", "", nullptr});
    auto waiting = patient->call({"Ping", "", nullptr});
    ASSERT_TRUE(kept.arrived(2));
    kept.answer(0, "done");
    EXPECT_EQ(answered.get(), "done");
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        auto hurried = client(100ms)->call({"Ping", "", nullptr});
        ASSERT_EQ(hurried.wait_for(boost::chrono::seconds(3)), boost::future_status::ready);
        EXPECT_THROW(hurried.get(), TimeoutException);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    }
    EXPECT_EQ(waiting.wait_for(boost::chrono::milliseconds(0)), boost::future_status::timeout);
    kept.answerTheRest("late");
}

TEST_F(RrCalls, ReplyTimeComesFromQosElsePropertyElseDefault) {
    auto srv = server();
    srv->registerService("svc", std::make_shared<ProbeService>([&](const Request&) {
                             return boost::make_ready_future<std::string>("ok");
                         }),
                         library, syncType);
    // The property is used when the quality of service says nothing.
    auto byProperty = engine.makeClient({}, "inproc:///calls/none", {}, {{"rr.replyTimeMs", "80"}});
    EXPECT_THROW(byProperty->callSync({"Ping", "", nullptr}), TimeoutException);
    EXPECT_THROW(engine.makeClient({}, "inproc:///calls/svc", {}, {{"rr.replyTimeMs", "soon"}}), QelException);
    EXPECT_THROW(server({{"rr.workerThreads", "0"}}), QelException);
    EXPECT_THROW(server({{"rr.workerThreads", "many"}}), QelException);
    // A huge reply time neither overflows nor hurts a prompt answer.
    auto patient = engine.makeClient({}, "inproc:///calls/svc",
                                     replyTime(std::chrono::milliseconds::max()), {{"rr.replyTimeMs", "1"}});
    EXPECT_EQ(patient->callSync({"Ping", "", nullptr}), "ok");
}

TEST_F(RrCalls, AClientBeforeItsServiceWaitsForItWithinTheReplyTime) {
    auto c = client(3000ms, "late-service");
    auto early = c->call({"Ping", "1", nullptr});
    std::string syncReply;
    std::thread waiter([&] { syncReply = c->callSync({"Ping", "2", nullptr}); });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(early.wait_for(boost::chrono::milliseconds(0)), boost::future_status::timeout);

    auto srv = server();
    srv->registerService("late-service", echoService(), library, syncType);
    EXPECT_EQ(early.get(), "Ping:1");
    waiter.join();
    EXPECT_EQ(syncReply, "Ping:2");

    // Without a service the wait ends with the reply time.
    EXPECT_THROW(client(100ms, "never")->callSync({"Ping", "", nullptr}), TimeoutException);
}

TEST_F(RrCalls, RegistrationRefusesBadServices) {
    auto srv = server();
    srv->registerService("svc", echoService(), library, syncType);
    EXPECT_THROW(srv->registerService("svc", echoService(), library, syncType), QelException);
    // The same name at the same endpoint is taken, even on another server.
    EXPECT_THROW(server()->registerService("svc", echoService(), library, syncType), QelException);
    EXPECT_THROW(srv->registerService("data", echoService(), library, dataType), QelException);
    EXPECT_THROW(srv->registerService("unknown", echoService(), library, "NoSuchType"), QelException);
    EXPECT_THROW(srv->registerService("empty", nullptr, library, syncType), QelException);
    EXPECT_THROW(srv->unregisterService("never-registered"), QelException);
    // The first registration still serves.
    EXPECT_EQ(client()->callSync({"Ping", "", nullptr}), "Ping:");
    EXPECT_EQ(srv->getEndpoint(), "inproc:///calls");
}

TEST_F(RrCalls, AnAsynchronousServiceDoesNotHoldAWorkerWhileItsFutureIsPending) {
    auto srv = server({{"rr.workerThreads", "1"}});
    auto parked = std::make_shared<boost::promise<std::string>>();
    srv->registerService("slow", std::make_shared<ProbeService>([&](const Request&) { return parked->get_future(); }),
                         library, asyncType);
    srv->registerService("svc", echoService(), library, syncType);
    auto slowClient = client(3000ms, "slow");
    auto pending = slowClient->call({"Ping", "", nullptr});
    EXPECT_EQ(client()->callSync({"Ping", "", nullptr}), "Ping:");
    parked->set_value("finally");
    EXPECT_EQ(pending.get(), "finally");
}

TEST_F(RrCalls, ManyConcurrentCallersEachGetTheirOwnReply) {
    auto srv = server();
    std::atomic<int> running{0}, mostAtOnce{0};
    srv->registerService("svc", std::make_shared<ProbeService>([&](const Request& request) {
                             int now = ++running;
                             int seen = mostAtOnce.load();
                             while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
                             }
                             std::this_thread::sleep_for(std::chrono::microseconds(200));
                             --running;
                             return boost::make_ready_future(request.text);
                         }),
                         library, syncType);
    auto c = client(10000ms);
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                const std::string text = std::to_string(t) + "/" + std::to_string(i);
                std::string reply = (i % 2) ? c->callSync({"Ping", text, nullptr})
                                            : c->call({"Ping", text, nullptr}).get();
                if (reply != text) ++wrong;
            }
        });
    }
    for (auto& caller : callers) caller.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(mostAtOnce.load(), 4);  // the default number of workers
    EXPECT_GE(mostAtOnce.load(), 2);
}

}  // namespace
