#pragma once

namespace kyrif::detail {

// Registers the wire form of the KyrCmds commands (compiled from idl/KyrCmds.idl)
// with the middleware's type registry, under the names of the service and client
// types. Call after registerWireTypes().
void registerCommandWire();

}  // namespace kyrif::detail
