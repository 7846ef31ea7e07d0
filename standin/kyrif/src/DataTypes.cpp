#include "DataTypes.hpp"

#include "MethodSample.hpp"
#include "StartPropertiesSample.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/ps/detail/DataTypeSupport.hpp"

namespace kyrif::detail {

void registerDataTypes() {
    using tav::qel::QelTypeTraits;
    using tav::qel::ps::detail::registerDataType;
    registerDataType<Method>(QelTypeTraits<Method>::libraryName, QelTypeTraits<Method>::name,
                             []() -> Method* { return new MethodSample(); });
    registerDataType<StartProperties>(QelTypeTraits<StartProperties>::libraryName,
                                      QelTypeTraits<StartProperties>::name,
                                      []() -> StartProperties* { return new StartPropertiesSample(); });
}

}  // namespace kyrif::detail
