#pragma once

namespace kyrif::detail {

// Registers Method and StartProperties with the middleware's type registry.
void registerDataTypes();

}  // namespace kyrif::detail
