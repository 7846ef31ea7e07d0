// The wire form of the KyrCmds commands: requests and replies between the structures
// that idlc generates from idl/KyrCmds.idl and the middleware's requests, and
// ExceptionErr in the envelope's status.
#include "CommandWire.hpp"

#include <cstring>
#include <memory>
#include <string>

#include "Commands.hpp"
#include "KyrCmds.h"
#include "ReceivedText.hpp"
#include "kyrif/ExceptionErr.hpp"
#include "kyrif/KyrCmds.hpp"
#include "kyrif/KyrCmdsClient.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace kyrif::detail {

namespace {

using tav::qel::QelException;
using tav::qel::RrErrorKind;
using tav::qel::RrHeader;
using tav::qel::RrStatus;
using tav::qel::WireType;
using tav::qel::rr::detail::Request;

constexpr const char* kExceptionErrType = "kyrif::ExceptionErr";

// The wire carries texts as NUL-terminated strings: a NUL inside would cut the text.
char* wireText(const std::string& text, const char* what) {
    if (text.find('\0') != std::string::npos) {
        throw QelException(std::string("cannot send ") + what +
                           ": the text contains a NUL character, which the wire cannot carry");
    }
    // The engine only reads the text while the structure is sent.
    return const_cast<char*>(text.c_str());
}

std::string sampleText(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

const CommandInfo* commandInfo(const std::string& name) {
    for (const auto& info : kCommands) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

// A request with room for its one structure argument, which the sequences point to.
struct RequestWire {
    kyrif_KyrCmdsRequest request;
    kyrif_Method method;
    kyrif_StartProperties startProperties;
};

class KyrCmdsWire final : public tav::qel::RrWireType {
public:
    KyrCmdsWire(std::shared_ptr<const WireType> method, std::shared_ptr<const WireType> startProperties)
        : method_(std::move(method)), startProperties_(std::move(startProperties)) {}

    const void* requestDescriptor() const override { return &kyrif_KyrCmdsRequest_desc; }
    const void* replyDescriptor() const override { return &kyrif_KyrCmdsReply_desc; }
    std::size_t requestSize() const override { return sizeof(RequestWire); }
    std::size_t replySize() const override { return sizeof(kyrif_KyrCmdsReply); }

    void requestToWire(const RrHeader& header, const Request& request, void* wire) const override {
        auto* out = static_cast<RequestWire*>(wire);
        std::memset(&out->request, 0, sizeof(out->request));
        std::memcpy(out->request.header.client, header.client.data(), header.client.size());
        out->request.header.sequenceNumber = header.sequence;
        out->request.header.replyTimeMs = header.replyTimeMs;
        out->request.text = const_cast<char*>("");
        if (request.command.empty()) {  // a connection probe
            out->request.header.command = const_cast<char*>("");
            return;
        }
        const CommandInfo* info = commandInfo(request.command);
        if (info == nullptr) {
            throw QelException("kyrif::KyrCmds has no command \"" + request.command + "\"");
        }
        out->request.header.command = const_cast<char*>(info->name);
        switch (info->argument) {
            case ArgumentKind::None:
                break;
            case ArgumentKind::Text:
                out->request.text = wireText(request.text, (std::string("the argument of ") + info->name).c_str());
                break;
            case ArgumentKind::Method:
                structureArgument(*method_, request, info->name, &out->method);
                out->request.method._length = out->request.method._maximum = 1;
                out->request.method._buffer = &out->method;
                break;
            case ArgumentKind::StartProperties:
                structureArgument(*startProperties_, request, info->name, &out->startProperties);
                out->request.startProperties._length = out->request.startProperties._maximum = 1;
                out->request.startProperties._buffer = &out->startProperties;
                break;
        }
    }

    Request requestFromWire(const void* wire, RrHeader& header) const override {
        const auto* in = static_cast<const kyrif_KyrCmdsRequest*>(wire);
        std::memcpy(header.client.data(), in->header.client, header.client.size());
        header.sequence = in->header.sequenceNumber;
        header.replyTimeMs = in->header.replyTimeMs;
        Request request;
        request.command = sampleText(in->header.command);
        request.text = sampleText(in->text);
        // The argument goes with the request to the service, which shares it.
        if (in->method._length > 0) {
            request.entity = std::shared_ptr<tav::qel::ps::DataEntityBase>(method_->fromWire(&in->method._buffer[0]));
        } else if (in->startProperties._length > 0) {
            request.entity = std::shared_ptr<tav::qel::ps::DataEntityBase>(
                startProperties_->fromWire(&in->startProperties._buffer[0]));
        }
        return request;
    }

    void replyToWire(const RrHeader& header, const std::string& command, const std::string& result,
                     const RrStatus& status, void* wire) const override {
        auto* out = static_cast<kyrif_KyrCmdsReply*>(wire);
        std::memset(out, 0, sizeof(*out));
        std::memcpy(out->header.client, header.client.data(), header.client.size());
        out->header.sequenceNumber = header.sequence;
        out->header.command = const_cast<char*>(command.c_str());
        out->header.status.kind = static_cast<qel_rr_ErrorKind>(status.kind);
        out->header.status.code = status.code;
        // A text that holds a NUL is cut there rather than lost: the caller still
        // hears how its request ended.
        out->header.status.type = const_cast<char*>(status.type.c_str());
        out->header.status.text = const_cast<char*>(status.text.c_str());
        out->result = const_cast<char*>(result.c_str());
    }

    RrHeader replyHeader(const void* wire) const override {
        const auto* in = static_cast<const kyrif_KyrCmdsReply*>(wire);
        RrHeader header;
        std::memcpy(header.client.data(), in->header.client, header.client.size());
        header.sequence = in->header.sequenceNumber;
        return header;
    }

    void replyFromWire(const void* wire, std::string& command, std::string& result, RrStatus& status) const override {
        const auto* in = static_cast<const kyrif_KyrCmdsReply*>(wire);
        command = receivedText(in->header.command, "the command of a reply");
        result = receivedText(in->result, "the result of a reply");
        const auto kind = static_cast<std::int32_t>(in->header.status.kind);
        status.kind = kind >= 0 && kind <= static_cast<std::int32_t>(RrErrorKind::Interface)
                          ? static_cast<RrErrorKind>(kind)
                          : RrErrorKind::Middleware;
        status.type = receivedText(in->header.status.type, "the error type of a reply");
        status.text = receivedText(in->header.status.text, "the error text of a reply");
        status.code = in->header.status.code;
    }

    bool errorToWire(const std::exception& error, RrStatus& status) const override {
        const auto* err = dynamic_cast<const ExceptionErr*>(&error);
        if (err == nullptr) {
            return false;
        }
        status.kind = RrErrorKind::Interface;
        status.type = kExceptionErrType;
        status.text = err->getDesc();
        status.code = err->getCode();
        return true;
    }

    std::exception_ptr errorFromWire(const RrStatus& status) const override {
        if (status.type == kExceptionErrType) {
            return std::make_exception_ptr(ExceptionErr(status.text, status.code));
        }
        return nullptr;
    }

private:
    static void structureArgument(const WireType& wire, const Request& request, const char* command, void* out) {
        if (!request.entity) {
            throw QelException(std::string("kyrif::KyrCmds::") + command + " needs a structure argument");
        }
        wire.toWire(*request.entity, out);
    }

    std::shared_ptr<const WireType> method_;
    std::shared_ptr<const WireType> startProperties_;
};

}  // namespace

void registerCommandWire() {
    using tav::qel::QelTypeTraits;
    auto& registry = tav::qel::TypeRegistry::instance();
    auto wire = std::make_shared<const KyrCmdsWire>(
        registry.findWireType(QelTypeTraits<Method>::libraryName, QelTypeTraits<Method>::name),
        registry.findWireType(QelTypeTraits<StartProperties>::libraryName, QelTypeTraits<StartProperties>::name));
    registry.addServiceWireType(QelTypeTraits<KyrCmds>::libraryName, QelTypeTraits<KyrCmds>::name, wire);
    registry.addServiceWireType(QelTypeTraits<AsyncKyrCmds, false>::libraryName,
                                QelTypeTraits<AsyncKyrCmds, false>::name, wire);
    registry.addServiceWireType(QelTypeTraits<KyrCmdsSync>::libraryName, QelTypeTraits<KyrCmdsSync>::name, wire);
    registry.addServiceWireType(QelTypeTraits<KyrCmdsAsync>::libraryName, QelTypeTraits<KyrCmdsAsync>::name, wire);
}

}  // namespace kyrif::detail
