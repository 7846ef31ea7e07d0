// Out-of-line destructors of the interface's classes: their type identity (vtables,
// type_info) lives in this library, so every module of the process agrees on it.
#include "kyrif/ExceptionErr.hpp"
#include "kyrif/KyrCmds.hpp"
#include "kyrif/KyrCmdsClient.hpp"
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"

namespace kyrif {

ExceptionErr::~ExceptionErr() = default;
Method::~Method() = default;
StartProperties::~StartProperties() = default;
KyrCmds::~KyrCmds() = default;
AsyncKyrCmds::~AsyncKyrCmds() = default;
KyrCmdsSync::~KyrCmdsSync() = default;
KyrCmdsAsync::~KyrCmdsAsync() = default;

}  // namespace kyrif
