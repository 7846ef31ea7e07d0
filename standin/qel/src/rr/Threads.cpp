#include "Threads.hpp"

#include "tav/qel/BlockingHook.hpp"

namespace tav::qel::embedded::reqrep {

void joinThreads(std::vector<std::thread>& threads) {
    const auto self = std::this_thread::get_id();
    bool anyToJoin = false;
    for (auto& thread : threads) {
        if (thread.joinable() && thread.get_id() == self) {
            thread.detach();
        } else if (thread.joinable()) {
            anyToJoin = true;
        }
    }
    if (anyToJoin) {
        tav::qel::runBlocking([&threads] {
            for (auto& thread : threads) {
                if (thread.joinable()) {
                    thread.join();
                }
            }
        });
    }
    threads.clear();
}

}  // namespace tav::qel::embedded::reqrep
