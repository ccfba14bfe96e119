// A job run beside the current thread when that is worth a thread.
#pragma once

#include <future>
#include <system_error>

namespace talvine {

// Runs job on a thread of its own when worthIt and a thread can be had,
// else on the thread that asks for its result.
template <class Job>
auto RunAside(bool worthIt, Job job) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    // WebAssembly without threads: emscripten's std::async starts no
    // thread and reports no failure, and the result would never come.
    worthIt = false;
#endif
    if (worthIt) {
        try {
            return std::async(std::launch::async, job);
        } catch (const std::system_error&) {
        }
    }
    return std::async(std::launch::deferred, job);
}

}  // namespace talvine
