#pragma once

namespace tav::qel::ps {

// A sample lent by the middleware without a copy; it belongs to the loan and must
// not be used after close() or after the loan is destroyed.
template <class T>
class LoanedDataEntity {
public:
    virtual T* getData() = 0;
    virtual void close() = 0;
    virtual ~LoanedDataEntity() = default;
};

}  // namespace tav::qel::ps
