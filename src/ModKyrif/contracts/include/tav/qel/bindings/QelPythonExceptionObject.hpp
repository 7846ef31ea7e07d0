#pragma once
#include <memory>
#include <utility>

namespace tav::qel::bindings {

// Describes a native exception to be thrown for a Python exception.
class QelPythonExceptionObject {
public:
    // Throws the native exception this container describes.
    virtual void throw_cpp_exception() = 0;
    virtual ~QelPythonExceptionObject() = default;
};

// Move-only owner of one container, passed through Python by the exception types'
// _cpp_exception_factory.
class QelPythonExceptionObjectPtr {
public:
    QelPythonExceptionObjectPtr() = default;
    explicit QelPythonExceptionObjectPtr(std::unique_ptr<QelPythonExceptionObject> object)
        : object_(std::move(object)) {}
    QelPythonExceptionObjectPtr(QelPythonExceptionObjectPtr&&) noexcept = default;
    QelPythonExceptionObjectPtr& operator=(QelPythonExceptionObjectPtr&&) noexcept = default;
    QelPythonExceptionObjectPtr(const QelPythonExceptionObjectPtr&) = delete;
    QelPythonExceptionObjectPtr& operator=(const QelPythonExceptionObjectPtr&) = delete;

    QelPythonExceptionObject* get() const { return object_.get(); }
    QelPythonExceptionObject* operator->() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }
    void reset() { object_.reset(); }

private:
    std::unique_ptr<QelPythonExceptionObject> object_;
};

}  // namespace tav::qel::bindings
