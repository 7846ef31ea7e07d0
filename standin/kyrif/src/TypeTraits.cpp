// Names under which the middleware finds the interface's types.
#include "kyrif/TypeTraits.hpp"

namespace tav::qel {

namespace {
constexpr const char* kLibraryName = "qel-icd-kyrif";
}

#define KYRIF_DEFINE_TYPE_TRAITS(TYPE, FLAG, NAME)                                 \
    const char* const QelTypeTraits<TYPE, FLAG>::libraryName = kLibraryName;       \
    const char* const QelTypeTraits<TYPE, FLAG>::name = NAME;

KYRIF_DEFINE_TYPE_TRAITS(kyrif::Method, true, "kyrif::Method")
KYRIF_DEFINE_TYPE_TRAITS(kyrif::StartProperties, true, "kyrif::StartProperties")
KYRIF_DEFINE_TYPE_TRAITS(kyrif::KyrCmdsSync, true, "kyrif::KyrCmdsSync")
KYRIF_DEFINE_TYPE_TRAITS(kyrif::KyrCmdsAsync, true, "kyrif::KyrCmdsAsync")
KYRIF_DEFINE_TYPE_TRAITS(kyrif::KyrCmds, true, "kyrif::KyrCmds")
KYRIF_DEFINE_TYPE_TRAITS(kyrif::AsyncKyrCmds, false, "kyrif::AsyncKyrCmds")

#undef KYRIF_DEFINE_TYPE_TRAITS

}  // namespace tav::qel
