#pragma once

namespace kyrif::detail {

// Registers the wire forms of Method and StartProperties (compiled from
// idl/kyrif.idl) with the middleware's type registry.
void registerWireTypes();

}  // namespace kyrif::detail
