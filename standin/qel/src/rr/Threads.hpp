#pragma once
#include <thread>
#include <vector>

namespace tav::qel::embedded::reqrep {

// Joins the threads through the blocking hook (an interpreter may have to run while
// they finish). A thread that is the caller itself cannot be joined: it is detached
// and ends on its own when it returns.
void joinThreads(std::vector<std::thread>& threads);

}  // namespace tav::qel::embedded::reqrep
