#pragma once
// Boost.Thread's configuration (BOOST_THREAD_VERSION and the future options) is set
// once for the whole project by the build, identically for every library and
// module, because it changes the layout of the futures' shared state.
#if !defined(BOOST_THREAD_VERSION) || !defined(BOOST_THREAD_PROVIDES_FUTURE_CONTINUATION)
#error "Boost.Thread must be configured by the build (BOOST_THREAD_VERSION, BOOST_THREAD_PROVIDES_FUTURE_CONTINUATION)"
#endif
#include <boost/thread/future.hpp>
