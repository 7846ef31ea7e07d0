#pragma once
#include <memory>

namespace tav::qel::ps {

// Creates new, empty samples of T.
template <class T>
class DataEntityFactory {
public:
    virtual std::shared_ptr<T> createDataEntity() = 0;
    virtual ~DataEntityFactory() = default;
};

}  // namespace tav::qel::ps
