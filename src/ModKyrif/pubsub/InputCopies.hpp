#pragma once
// Copies of the Python objects a native call reads while the interpreter lock is
// released. Another Python thread may change a sample or a filter meanwhile, or drop
// the last reference to a filter's instance; such a call works on copies taken while
// the lock is held, so that it never reads an object Python can change.
#include <memory>

#include "tav/qel/ps/DataEventFilter.hpp"

namespace modkyrif {

// Every field of the sample, for a call that sends it.
template <class T>
std::unique_ptr<T> sampleCopy(const T& sample) {
    return sample.clone();
}

// The key fields of the sample, for a call that looks an instance up by its key.
template <class T>
std::unique_ptr<T> keyCopy(const T& sample) {
    return sample.cloneKey();
}

// The filter with its own copy of the instance's key: reads compare only keys.
template <class T>
tav::qel::ps::DataEventFilter<T> filterCopy(const tav::qel::ps::DataEventFilter<T>& filter) {
    tav::qel::ps::DataEventFilter<T> copy;
    copy.setInstanceState(filter.state);
    copy.setInstanceEvents(filter.events);
    if (filter.instance) {
        copy.setInstance(std::shared_ptr<T>(keyCopy(*filter.instance)));
    }
    return copy;
}

}  // namespace modkyrif
