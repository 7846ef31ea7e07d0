#pragma once
// Every place where the modules of the middleware's bindings reach past the binding
// library's public API into its internals. Nothing else of the project names
// pybind11::detail, except the duration conversion (Duration.hpp), which is a type
// caster written the documented way.
//
// These internals change between releases without notice, so this header refuses
// every pybind11 but the one it was checked against. Before raising the version
// below, recheck against the new release:
//  1. The registry key: PYBIND11_INTERNALS_ID must still be composed of the
//     definitions set in CMakeLists.txt, and equal the key the middleware's Python
//     module is built with (the static_assert below).
//  2. registeredWrapper: detail::get_type_info and
//     detail::find_registered_python_instance (returns a new reference).
//  3. adoptLentValue: the layout of detail::instance and detail::value_and_holder
//     (value pointer, holder storage, holder_constructed, instance_registered,
//     owned), and detail::register_instance / deregister_instance.
//  4. refuseValueAllocation: detail::all_type_info and type_info::operator_new, which
//     the library must still call to allocate a value before a method uses it.
//  5. The thread-state slot (KeptThreadState): internals.tstate, internals.istate and
//     the PYBIND11_TLS_* macros; gil_scoped_acquire must still look for the thread's
//     state there first, then with PyGILState_GetThisThreadState, and must still
//     delete a state it made only when the state's gilstate_counter falls to zero.
//     Taking the lock with PyGILState_Ensure (GilOrPark, the signal handlers, the
//     delivery of a batch) beside gil_scoped_acquire relies on that same search.
//  6. The functional support's wrapper of a Python callable (func_wrapper holding a
//     func_handle): it must not be small enough to sit inside a std::function, so
//     that moving the std::function moves a pointer and takes no lock
//     (AnyThreadHeld, dropPythonReferences).
//  7. The module entry (MainInterpreterModule.hpp): PYBIND11_PLUGIN_IMPL,
//     PYBIND11_CHECK_PYTHON_VERSION, PYBIND11_ENSURE_INTERNALS_READY,
//     module_::create_extension_module and PYBIND11_CATCH_INIT_EXCEPTIONS must still
//     make up PYBIND11_MODULE.
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string_view>
#include <typeinfo>
#include <utility>

#if !(PYBIND11_VERSION_MAJOR == 2 && PYBIND11_VERSION_MINOR == 11 && PYBIND11_VERSION_PATCH == 1)
#error "tav/qel/bindings/Pybind11Internals.hpp is checked against pybind11 2.11.1 only: recheck the list at its top"
#endif

static_assert(std::string_view(PYBIND11_INTERNALS_ID) == "__pybind11_internals_v5_gcc_libstdcpp_cxxabi1019__",
              "both modules must share the registry key of the middleware's Python module (see CMakeLists.txt)");

namespace tav::qel::bindings::internals {

namespace detail = pybind11::detail;

// The Python object that wraps value as a registered C++ object of type T, or a null
// object. Needs the interpreter lock; T must be a bound class.
template <class T>
pybind11::object registeredWrapper(T& value) {
    static const detail::type_info* const record = detail::get_type_info(typeid(T));
    return pybind11::reinterpret_steal<pybind11::object>(
        detail::find_registered_python_instance(const_cast<void*>(static_cast<const void*>(&value)), record));
}

// wrapper is a Python object of exactly T's bound class that refers to lent without
// owning it: makes it the owner of make()'s result instead (a holder of T's class,
// whose object stands in for lent), so that it never reaches lent again. Anything
// else (another class, another value, a wrapper that owns its value) is left alone
// and make is not called. Needs the interpreter lock.
template <class T, class Make>
void adoptLentValue(pybind11::handle wrapper, const T& lent, Make&& make) {
    using Holder = decltype(make());
    const detail::type_info* record = detail::get_type_info(typeid(T));
    if (record == nullptr || Py_TYPE(wrapper.ptr()) != record->type) {
        return;
    }
    auto* inst = reinterpret_cast<detail::instance*>(wrapper.ptr());
    detail::value_and_holder v_h = inst->get_value_and_holder(record, false);
    if (!v_h || v_h.holder_constructed() || inst->owned || v_h.value_ptr() != static_cast<const void*>(&lent)) {
        return;
    }
    Holder kept = make();
    // The registry of live wrappers is keyed by the wrapped address: move the entry
    // from the lent value to the kept one.
    if (v_h.instance_registered()) {
        detail::deregister_instance(inst, v_h.value_ptr(), record);
    }
    v_h.value_ptr() = kept.get();
    new (std::addressof(v_h.template holder<Holder>())) Holder(std::move(kept));
    v_h.set_holder_constructed();
    inst->owned = true;
    detail::register_instance(inst, v_h.value_ptr(), record);
    v_h.set_instance_registered();
}

// Makes allocate, instead of the binding library, provide the value of an object of
// type (a bound class) that a method is about to use without one. Only a class's own
// record is changed: a Python class deriving from bound ones, which reports their
// records, is left alone (false).
inline bool setValueAllocator(PyTypeObject* type, void* (*allocate)(std::size_t)) {
    const auto& records = detail::all_type_info(type);
    if (records.size() != 1 || records.front()->type != type) {
        return false;
    }
    records.front()->operator_new = allocate;
    return true;
}

// The slot where the binding library's scoped acquisition finds the calling thread's
// Python state before asking the interpreter, and the interpreter it makes new states
// for. None of these needs the interpreter lock.
inline PyThreadState* slotThreadState() {
    return static_cast<PyThreadState*>(PYBIND11_TLS_GET_VALUE(detail::get_internals().tstate));
}
inline void setSlotThreadState(PyThreadState* state) {
    PYBIND11_TLS_REPLACE_VALUE(detail::get_internals().tstate, state);
}
// Empties the slot if it holds state.
inline void clearSlotThreadState(PyThreadState* state) {
    auto& internals = detail::get_internals();
    if (PYBIND11_TLS_GET_VALUE(internals.tstate) == state) {
        PYBIND11_TLS_DELETE_VALUE(internals.tstate);
    }
}
inline PyInterpreterState* slotInterpreter() { return detail::get_internals().istate; }

}  // namespace tav::qel::bindings::internals
