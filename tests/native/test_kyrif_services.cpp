// The request/reply side of the interface library: type names and registry
// entries, the dispatch of requests to service implementations, the typed clients
// over a client core, and the XML descriptions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kyrif/kyrif.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"

namespace {

using tav::qel::QelTypeTraits;
using tav::qel::TypeRole;
using tav::qel::rr::detail::Request;

constexpr const char* kLibrary = "qel-icd-kyrif";

template <class T, bool B = true>
std::shared_ptr<const tav::qel::TypeSupport> supportOf(TypeRole role) {
    return tav::qel::TypeRegistry::instance().find(QelTypeTraits<T, B>::libraryName, QelTypeTraits<T, B>::name,
                                                   role);
}

std::shared_ptr<kyrif::Method> newMethod(const std::string& name) {
    auto support = std::dynamic_pointer_cast<const tav::qel::ps::detail::DataTypeSupportBase>(
        supportOf<kyrif::Method>(TypeRole::Data));
    std::shared_ptr<kyrif::Method> method(dynamic_cast<kyrif::Method*>(support->newEntity()));
    method->setName(name);
    return method;
}

std::shared_ptr<kyrif::StartProperties> newStartProperties() {
    auto support = std::dynamic_pointer_cast<const tav::qel::ps::detail::DataTypeSupportBase>(
        supportOf<kyrif::StartProperties>(TypeRole::Data));
    return std::shared_ptr<kyrif::StartProperties>(dynamic_cast<kyrif::StartProperties*>(support->newEntity()));
}

TEST(KyrifTypes, NamesAndRegistryRoles) {
    EXPECT_STREQ(QelTypeTraits<kyrif::Method>::libraryName, kLibrary);
    EXPECT_STREQ(QelTypeTraits<kyrif::Method>::name, "kyrif::Method");
    EXPECT_STREQ(QelTypeTraits<kyrif::StartProperties>::name, "kyrif::StartProperties");
    EXPECT_STREQ((QelTypeTraits<kyrif::KyrCmdsSync>::name), "kyrif::KyrCmdsSync");
    EXPECT_STREQ((QelTypeTraits<kyrif::KyrCmdsAsync>::name), "kyrif::KyrCmdsAsync");
    EXPECT_STREQ((QelTypeTraits<kyrif::KyrCmds, true>::name), "kyrif::KyrCmds");
    EXPECT_STREQ((QelTypeTraits<kyrif::AsyncKyrCmds, false>::name), "kyrif::AsyncKyrCmds");
    EXPECT_STREQ((QelTypeTraits<kyrif::AsyncKyrCmds, false>::libraryName), kLibrary);

    EXPECT_NO_THROW(supportOf<kyrif::Method>(TypeRole::Data));
    EXPECT_NO_THROW(supportOf<kyrif::StartProperties>(TypeRole::Data));
    EXPECT_NO_THROW(supportOf<kyrif::KyrCmds>(TypeRole::SyncService));
    EXPECT_NO_THROW((supportOf<kyrif::AsyncKyrCmds, false>(TypeRole::AsyncService)));
    EXPECT_NO_THROW(supportOf<kyrif::KyrCmdsSync>(TypeRole::Client));
    EXPECT_NO_THROW(supportOf<kyrif::KyrCmdsAsync>(TypeRole::Client));
    EXPECT_THROW(supportOf<kyrif::KyrCmds>(TypeRole::AsyncService), tav::qel::QelException);
    EXPECT_THROW(supportOf<kyrif::Method>(TypeRole::Client), tav::qel::QelException);
}

// Failures must leave the dispatch with their own type: the middleware reports an
// ExceptionErr to the client as such.

// A synchronous service that answers with the command's name and argument.
class EchoService : public kyrif::KyrCmds {
public:
    std::string Abort() override { return "Abort"; }
    std::string Execute(const std::shared_ptr<kyrif::Method>& method) override {
        received = method;
        return "Execute " + method->getName();
    }
    std::string GetConfig(const std::string& text) override { return "GetConfig " + text; }
    std::string GetDiagnostics() override { return "GetDiagnostics"; }
    std::string GetSetup(const std::string& text) override { return "GetSetup " + text; }
    std::string Ping() override { throw kyrif::ExceptionErr("no ping", 5); }
    std::string ReadPars(const std::string& text) override { return "ReadPars " + text; }
    std::string Recover() override { return "Recover"; }
    std::string Scan() override { throw std::runtime_error("scan failed"); }
    std::string SetConfig(const std::string& text) override { return "SetConfig " + text; }
    std::string Setup(const std::string& text) override { return "Setup " + text; }
    std::string Start(const std::shared_ptr<kyrif::StartProperties>& properties) override {
        return "Start " + properties->getInfo();
    }
    std::string WritePars(const std::string& text) override { return "WritePars " + text; }

    std::shared_ptr<kyrif::Method> received;
};

// An asynchronous service whose replies are ready futures, except Ping.
class AsyncEchoService : public kyrif::AsyncKyrCmds {
public:
    using Reply = boost::future<std::string>;
    static Reply ready(std::string text) { return boost::make_ready_future(std::move(text)); }
    Reply Abort() override { return ready("Abort"); }
    Reply Execute(const std::shared_ptr<kyrif::Method>& method) override { return ready("Execute " + method->getName()); }
    Reply GetConfig(const std::string& text) override { return ready("GetConfig " + text); }
    Reply GetDiagnostics() override { return ready("GetDiagnostics"); }
    Reply GetSetup(const std::string& text) override { return ready("GetSetup " + text); }
    Reply Ping() override { return promise.get_future(); }
    Reply ReadPars(const std::string& text) override { return ready("ReadPars " + text); }
    Reply Recover() override { return ready("Recover"); }
    Reply Scan() override { return boost::make_exceptional_future<std::string>(std::runtime_error("late")); }
    Reply SetConfig(const std::string& text) override { return ready("SetConfig " + text); }
    Reply Setup(const std::string& text) override { return ready("Setup " + text); }
    Reply Start(const std::shared_ptr<kyrif::StartProperties>& properties) override {
        return ready("Start " + properties->getInfo());
    }
    Reply WritePars(const std::string& text) override { throw kyrif::ExceptionErr("refused", 9); }

    boost::promise<std::string> promise;
};

boost::future<std::string> invoke(TypeRole role, tav::qel::rr::RrEntity& service, Request request) {
    std::shared_ptr<const tav::qel::TypeSupport> support =
        role == TypeRole::SyncService ? supportOf<kyrif::KyrCmds>(role)
                                      : supportOf<kyrif::AsyncKyrCmds, false>(role);
    auto* serviceSupport = dynamic_cast<const tav::qel::ServiceTypeSupport*>(support.get());
    EXPECT_NE(serviceSupport, nullptr);
    return serviceSupport->invoke(service, request);
}

TEST(KyrifDispatch, SyncServiceAnswersEveryCommandWithReadyFuture) {
    EchoService service;
    for (const char* command : {"GetConfig", "GetSetup", "ReadPars", "SetConfig", "Setup", "WritePars"}) {
        auto reply = invoke(TypeRole::SyncService, service, Request{command, "t", {}});
        ASSERT_TRUE(reply.is_ready());
        EXPECT_EQ(reply.get(), std::string(command) + " t");
    }
    for (const char* command : {"Abort", "GetDiagnostics", "Recover"}) {
        EXPECT_EQ(invoke(TypeRole::SyncService, service, Request{command, "", {}}).get(), command);
    }
    auto properties = newStartProperties();
    properties->setInfo("go");
    EXPECT_EQ(invoke(TypeRole::SyncService, service, Request{"Start", "", properties}).get(), "Start go");
}

TEST(KyrifDispatch, StructureArgumentIsSharedNotCopied) {
    EchoService service;
    auto method = newMethod("m1");
    EXPECT_EQ(invoke(TypeRole::SyncService, service, Request{"Execute", "", method}).get(), "Execute m1");
    EXPECT_EQ(service.received.get(), method.get());
}

TEST(KyrifDispatch, FailuresEndAsErrorReplies) {
    EchoService service;
    try {
        invoke(TypeRole::SyncService, service, Request{"Ping", "", {}}).get();
        FAIL() << "Ping should fail";
    } catch (const kyrif::ExceptionErr& error) {
        EXPECT_EQ(error.getDesc(), "no ping");
        EXPECT_EQ(error.getCode(), 5);
    }
    EXPECT_THROW(invoke(TypeRole::SyncService, service, Request{"Scan", "", {}}).get(), std::runtime_error);
    EXPECT_THROW(invoke(TypeRole::SyncService, service, Request{"Fly", "", {}}).get(), tav::qel::QelException);
    // A missing or wrong structure argument is refused before the service runs.
    EXPECT_THROW(invoke(TypeRole::SyncService, service, Request{"Execute", "", {}}).get(), tav::qel::QelException);
    EXPECT_THROW(invoke(TypeRole::SyncService, service, Request{"Execute", "", newStartProperties()}).get(),
                 tav::qel::QelException);
    EXPECT_EQ(service.received, nullptr);
    // A service of the other form is refused.
    AsyncEchoService asyncService;
    EXPECT_THROW(invoke(TypeRole::SyncService, asyncService, Request{"Abort", "", {}}).get(), tav::qel::QelException);
}

TEST(KyrifDispatch, AsyncServiceReturnsItsOwnFuture) {
    AsyncEchoService service;
    EXPECT_EQ(invoke(TypeRole::AsyncService, service, Request{"Execute", "", newMethod("m2")}).get(), "Execute m2");
    auto pending = invoke(TypeRole::AsyncService, service, Request{"Ping", "", {}});
    EXPECT_FALSE(pending.is_ready());
    service.promise.set_value("pong");
    EXPECT_EQ(pending.get(), "pong");

    EXPECT_THROW(invoke(TypeRole::AsyncService, service, Request{"WritePars", "x", {}}).get(), kyrif::ExceptionErr);
    EXPECT_THROW(invoke(TypeRole::AsyncService, service, Request{"Scan", "", {}}).get(), std::runtime_error);
    EchoService syncService;
    EXPECT_THROW(invoke(TypeRole::AsyncService, syncService, Request{"Abort", "", {}}).get(), tav::qel::QelException);
}

// A client core that records what the typed clients send.
class RecordingCore : public tav::qel::rr::detail::ClientCore {
public:
    struct Log {
        std::vector<Request> requests;
        int closed = 0;
        int released = 0;
        std::function<void(bool)> listener;
    };
    explicit RecordingCore(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    std::shared_ptr<tav::qel::Qel> getQel() const override { return nullptr; }
    void close() override { ++log_->closed; }
    boost::future<void> asyncConnect() override { return boost::make_ready_future(); }
    tav::qel::rr::ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) override {
        log_->listener = std::move(listener);
        return tav::qel::rr::ListenerRegistration([log = log_] { ++log->released; });
    }
    boost::future<std::string> call(Request request) override {
        log_->requests.push_back(request);
        return boost::make_ready_future("async " + request.command + " " + request.text);
    }
    std::string callSync(Request request) override {
        log_->requests.push_back(request);
        return "sync " + request.command + " " + request.text;
    }

private:
    std::shared_ptr<Log> log_;
};

template <class Client>
std::unique_ptr<Client> makeClient(const std::shared_ptr<RecordingCore::Log>& log) {
    auto support = std::dynamic_pointer_cast<const tav::qel::ClientTypeSupport>(supportOf<Client>(TypeRole::Client));
    EXPECT_NE(support, nullptr);
    return std::unique_ptr<Client>(static_cast<Client*>(support->make(std::make_unique<RecordingCore>(log))));
}

TEST(KyrifClients, SyncClientSendsCommandsThroughTheCore) {
    auto log = std::make_shared<RecordingCore::Log>();
    auto client = makeClient<kyrif::KyrCmdsSync>(log);
    EXPECT_EQ(client->Ping(), "sync Ping ");
    EXPECT_EQ(client->GetConfig("cfg"), "sync GetConfig cfg");
    EXPECT_EQ(client->WritePars("w"), "sync WritePars w");
    auto method = newMethod("m");
    EXPECT_EQ(client->Execute(method), "sync Execute ");
    ASSERT_EQ(log->requests.size(), 4u);
    EXPECT_EQ(log->requests[3].command, "Execute");
    EXPECT_EQ(log->requests[3].entity.get(), static_cast<tav::qel::ps::DataEntityBase*>(method.get()));
    EXPECT_THROW(client->Start(nullptr), tav::qel::QelException);
    EXPECT_EQ(log->requests.size(), 4u);
}

TEST(KyrifClients, AsyncClientSendsCommandsThroughTheCore) {
    auto log = std::make_shared<RecordingCore::Log>();
    auto client = makeClient<kyrif::KyrCmdsAsync>(log);
    EXPECT_EQ(client->Recover().get(), "async Recover ");
    EXPECT_EQ(client->Setup("s").get(), "async Setup s");
    auto properties = newStartProperties();
    EXPECT_EQ(client->Start(properties).get(), "async Start ");
    EXPECT_EQ(log->requests.back().entity.get(), static_cast<tav::qel::ps::DataEntityBase*>(properties.get()));
}

TEST(KyrifClients, EntityOperationsForwardToTheCore) {
    auto log = std::make_shared<RecordingCore::Log>();
    auto client = makeClient<kyrif::KyrCmdsSync>(log);
    tav::qel::rr::ClientRrEntity& entity = *client;
    EXPECT_TRUE(entity.asyncConnect().is_ready());
    bool heard = false;
    {
        auto registration = entity.registerConnectionListener([&heard](bool up) { heard = up; });
        ASSERT_TRUE(log->listener);
        log->listener(true);
        EXPECT_TRUE(heard);
        EXPECT_EQ(log->released, 0);
    }
    EXPECT_EQ(log->released, 1);
    entity.close();
    EXPECT_EQ(log->closed, 1);
    EXPECT_EQ(entity.getQel(), nullptr);
}

TEST(KyrifDescriptions, NameEveryCommandWithItsTypes) {
    const std::string sync = kyrif::KyrCmds::serviceDescription();
    const std::string async = kyrif::AsyncKyrCmds::serviceDescription();
    EXPECT_EQ(sync.rfind("<?xml", 0), 0u);
    for (const char* command : {"Abort", "Execute", "GetConfig", "GetDiagnostics", "GetSetup", "Ping", "ReadPars",
                                "Recover", "Scan", "SetConfig", "Setup", "Start", "WritePars"}) {
        const std::string element = std::string("<command name=\"") + command + "\">";
        EXPECT_NE(sync.find(element), std::string::npos) << command;
        EXPECT_NE(async.find(element), std::string::npos) << command;
    }
    EXPECT_NE(sync.find("kyrif::KyrCmds"), std::string::npos);
    EXPECT_NE(async.find("kyrif::AsyncKyrCmds"), std::string::npos);
    EXPECT_NE(sync.find("<argument type=\"kyrif::Method\"/>"), std::string::npos);
    EXPECT_NE(sync.find("<argument type=\"kyrif::StartProperties\"/>"), std::string::npos);
    EXPECT_EQ(sync.find("future"), std::string::npos);
    EXPECT_NE(async.find("<result type=\"future&lt;string&gt;\"/>"), std::string::npos);
    // Well formed as far as the element tags go: every command is closed.
    auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(sync, "<command "), 13u);
    EXPECT_EQ(count(sync, "</command>"), 13u);
    EXPECT_EQ(count(sync, "<argument "), 8u);
}

}  // namespace
