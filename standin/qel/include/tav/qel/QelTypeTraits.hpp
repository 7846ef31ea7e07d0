#pragma once

namespace tav::qel {

// Library and type name under which the middleware finds the concrete type for T.
// Interface libraries specialise it with two static data members:
//   static const char* const libraryName;
//   static const char* const name;
// The second parameter tells service interfaces apart (true: synchronous).
template <class T, bool B = true>
struct QelTypeTraits;

}  // namespace tav::qel
