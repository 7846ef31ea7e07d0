// A native program on the middleware and the interface library alone: it publishes
// Method samples on a topic that programs in other processes (Python ones through
// ModKyrif, or any DDS program with kyrif.idl) subscribe to.
//
//   publish_methods ENDPOINT COUNT
//     e.g. publish_methods dds.ps://0/lab/Method 10
//
// The publisher waits for one reader to appear, publishes COUNT samples named
// "native<i>", and closes, which waits until the readers have them.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

#include "kyrif/kyrif.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/WexFactory.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: publish_methods ENDPOINT COUNT\n";
        return 2;
    }
    const std::string endpoint = argv[1];
    const int count = std::atoi(argv[2]);
    try {
        auto& factory = tav::qel::WexFactory::getInstance();
        auto publisher = factory.getPublisher<kyrif::Method>(endpoint, {}, {{"dds.waitForReaders", "1"}});
        for (int i = 0; i < count; ++i) {
            auto sample = publisher->createDataEntity();
            sample->setName("native" + std::to_string(i));
            sample->setParameters("count=" + std::to_string(count));
            publisher->publish(*sample, std::chrono::seconds(10));
        }
        publisher->close();
        factory.shutdown();
    } catch (const tav::qel::QelException& error) {
        std::cerr << "publish_methods: " << error.what() << "\n";
        return 1;
    }
    std::cout << "published " << count << "\n";
    return 0;
}
