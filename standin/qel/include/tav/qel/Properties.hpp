#pragma once
#include <map>
#include <string>

namespace tav::qel {

// Entity properties: text keys to text values, ordered by key.
using Properties = std::map<std::string, std::string>;

}  // namespace tav::qel
