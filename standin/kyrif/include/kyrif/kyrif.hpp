#pragma once
// Everything the interface library offers.
#include "kyrif/ExceptionErr.hpp"
#include "kyrif/KyrCmds.hpp"
#include "kyrif/KyrCmdsClient.hpp"
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "kyrif/StartTriggerTypes.hpp"
#include "kyrif/TypeTraits.hpp"
