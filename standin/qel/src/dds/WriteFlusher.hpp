#pragma once
// Sends the batches that writers of this process leave open when their writing stops.
// The engine gathers the samples of a writer into one packet until it is flushed.
// A write after a pause is sent at once; one that closely follows the previous write
// opens a batch, which the writing thread itself sends with a later write once the
// batch is kDelay old (or the engine when the packet is full). When no later write
// comes, the flusher's thread sends it kDue after it opened.
#include <chrono>
#include <cstdint>
#include <memory>

namespace tav::qel::dds {

class Writer;

class WriteFlusher {
public:
    // How long a batch gathers samples: also the longest pause between two writes
    // that still counts as one burst.
    static constexpr std::chrono::microseconds kDelay{500};
    // The longest a batched sample waits for its packet to be sent.
    static constexpr std::chrono::microseconds kDue{1000};

    WriteFlusher();
    // Stops the flusher (see stop()).
    ~WriteFlusher();
    WriteFlusher(const WriteFlusher&) = delete;
    WriteFlusher& operator=(const WriteFlusher&) = delete;

    // Sends the batch that writer opened at `opened` (steady clock ticks) kDue
    // after, unless the writer has sent it by then; starts the thread on first use.
    // False when that cannot be promised (stopped, or the thread cannot start): the
    // caller sends the batch at once.
    bool schedule(std::weak_ptr<Writer> writer, std::int64_t opened) noexcept;
    // Flushes what is scheduled and waits until the thread has ended; later
    // schedules are refused. Harmless when repeated; does nothing in a process made
    // by fork, which has none of the threads.
    void stop();

private:
    struct State;
    static void run(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
};

}  // namespace tav::qel::dds
