#pragma once
#include <memory>
#include <string>

#include "tav/qel/ps/DataEntity.hpp"

namespace tav::qel::rr::detail {

// One command of a request/reply interface, as the middleware carries it: the
// command's name and its one argument (a text, a structure, or nothing).
struct Request {
    std::string command;
    std::string text;
    std::shared_ptr<ps::DataEntityBase> entity;
};

}  // namespace tav::qel::rr::detail
