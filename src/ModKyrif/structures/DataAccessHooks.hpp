#pragma once
// Reading, writing and creating samples through a middleware data-access client. The
// client is any Python object whose ref() returns the native synchronous client.
#include <memory>
#include <string>
#include <typeinfo>

#include <boost/core/demangle.hpp>

#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/QelTypeTraits.hpp"
#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/rr/da/DataAccess.hpp"

namespace modkyrif {

// The native client behind a data-access client object: da.ref(), which must be a
// DataAccessSync (else the binding library's cast error). The Python object that
// ref() returned is kept with it for as long as the client is used, in case it is
// the only owner of the native client.
struct DataAccessRef {
    explicit DataAccessRef(const pybind11::object& da)
        : object(da.attr("ref")()), access(object.cast<tav::qel::rr::da::DataAccessSync&>()) {}
    pybind11::object object;
    tav::qel::rr::da::DataAccess& access;
};

// The type of a sample, for messages: the interface's type name of the structure
// type it is, else the C++ name of its dynamic type.
inline std::string sampleTypeName(const tav::qel::ps::DataEntityBase& sample) {
    if (dynamic_cast<const kyrif::Method*>(&sample) != nullptr) {
        return tav::qel::QelTypeTraits<kyrif::Method>::name;
    }
    if (dynamic_cast<const kyrif::StartProperties*>(&sample) != nullptr) {
        return tav::qel::QelTypeTraits<kyrif::StartProperties>::name;
    }
    return boost::core::demangle(typeid(sample).name());
}

// Takes ownership of a sample created by the middleware as a DataEntityBase and
// returns it as T. A sample of another type is deleted and refused.
template <class T>
std::shared_ptr<T> adoptSample(tav::qel::ps::DataEntityBase* created) {
    std::unique_ptr<tav::qel::ps::DataEntityBase> owner(created);
    if (!owner) {
        return nullptr;
    }
    T* sample = dynamic_cast<T*>(owner.get());
    if (sample == nullptr) {
        throw tav::qel::QelException("the middleware created a sample of type " + sampleTypeName(*owner) +
                                     " where " + tav::qel::QelTypeTraits<T>::name + " was asked for");
    }
    owner.release();
    return std::shared_ptr<T>(sample);
}

template <class T>
void internalReadDa(T& self, const pybind11::object& da, tav::qel::rr::da::SampleInfo& info) {
    DataAccessRef client(da);
    tav::qel::ps::DataEntityBase& entity = self;
    client.access.readValue(entity, info);
}

template <class T>
void internalWriteDa(T& self, const pybind11::object& da) {
    DataAccessRef client(da);
    const tav::qel::ps::DataEntityBase& entity = self;
    client.access.writeValue(entity);
}

template <class T>
std::shared_ptr<T> createDataEntityDa(const pybind11::object& da) {
    DataAccessRef client(da);
    return adoptSample<T>(client.access.createDataEntity(std::string(tav::qel::QelTypeTraits<T>::libraryName),
                                                  std::string(tav::qel::QelTypeTraits<T>::name)));
}

}  // namespace modkyrif
