#pragma once
// Library and type names under which the middleware finds the interface's types.
#include "kyrif/Export.hpp"
#include "kyrif/KyrCmds.hpp"
#include "kyrif/KyrCmdsClient.hpp"
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "tav/qel/QelTypeTraits.hpp"

#define KYRIF_DECLARE_TYPE_TRAITS(TYPE, FLAG)          \
    template <>                                        \
    struct KYRIF_API QelTypeTraits<TYPE, FLAG> {       \
        static const char* const libraryName;          \
        static const char* const name;                 \
    };

namespace tav::qel {
KYRIF_DECLARE_TYPE_TRAITS(kyrif::Method, true)
KYRIF_DECLARE_TYPE_TRAITS(kyrif::StartProperties, true)
KYRIF_DECLARE_TYPE_TRAITS(kyrif::KyrCmdsSync, true)
KYRIF_DECLARE_TYPE_TRAITS(kyrif::KyrCmdsAsync, true)
KYRIF_DECLARE_TYPE_TRAITS(kyrif::KyrCmds, true)
KYRIF_DECLARE_TYPE_TRAITS(kyrif::AsyncKyrCmds, false)
}  // namespace tav::qel

#undef KYRIF_DECLARE_TYPE_TRAITS
