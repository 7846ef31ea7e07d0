#pragma once
// How the commands of a request/reply interface travel between processes. The
// middleware owns the envelope (idl/QelRr.idl: who asked, which request, which
// command, how it ended); an interface library describes the topic types that wrap
// the envelope around its commands' arguments and results, and the wire form of
// its own exceptions. The middleware moves requests and replies without knowing
// the interface; neither side shows the engine's headers here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "tav/qel/Export.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel {

// The identity of a caller: unique among every process of every host.
using RrClientId = std::array<unsigned char, 16>;

// What the envelope says about one request or reply.
struct RrHeader {
    RrClientId client{};
    std::uint64_t sequence = 0;
    // A request's: how long its caller still waits, counted from sending (0: no limit).
    std::uint32_t replyTimeMs = 0;
};

// How a request ended, as the envelope's status carries it (enum qel::rr::ErrorKind).
enum class RrErrorKind : std::int32_t { None = 0, Middleware = 1, Timeout = 2, Closed = 3, Interface = 4 };

struct RrStatus {
    RrErrorKind kind = RrErrorKind::None;
    std::string type;  // an interface error's type name
    std::string text;  // the error's text (an interface error's description)
    std::int32_t code = 0;
};

class QEL_API RrWireType {
public:
    virtual ~RrWireType();
    // The engine's descriptions of the request and reply topic types.
    virtual const void* requestDescriptor() const = 0;
    virtual const void* replyDescriptor() const = 0;
    // Bytes of scratch storage that requestToWire and replyToWire fill; the topic's
    // structure begins at its start.
    virtual std::size_t requestSize() const = 0;
    virtual std::size_t replySize() const = 0;

    // Fills wire so that it describes the request; it may point into the request's
    // and the header's storage. A request that the wire cannot carry (unknown
    // command, NUL in a text, wrong argument) is a QelException.
    virtual void requestToWire(const RrHeader& header, const rr::detail::Request& request, void* wire) const = 0;
    // The header and request of a received request structure (a new argument).
    virtual rr::detail::Request requestFromWire(const void* wire, RrHeader& header) const = 0;

    // Fills wire with a reply: the result when status.kind is None, else the status.
    // It may point into the header's, command's, result's and status's storage.
    virtual void replyToWire(const RrHeader& header, const std::string& command, const std::string& result,
                             const RrStatus& status, void* wire) const = 0;
    // The header of a received reply, without reading the rest.
    virtual RrHeader replyHeader(const void* wire) const = 0;
    // The command, result and status of a received reply.
    virtual void replyFromWire(const void* wire, std::string& command, std::string& result,
                               RrStatus& status) const = 0;

    // An exception of the interface in wire form: true and status filled (kind
    // Interface), or false when the error is not one of the interface's.
    virtual bool errorToWire(const std::exception& error, RrStatus& status) const = 0;
    // The interface's exception for a status of kind Interface; empty when the type
    // is not one of the interface's.
    virtual std::exception_ptr errorFromWire(const RrStatus& status) const = 0;
};

}  // namespace tav::qel
