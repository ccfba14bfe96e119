// A job run beside the current thread when that is worth a thread.
#pragma once

#include <future>
#include <system_error>

namespace talvine {

// Runs job on a thread of its own when worthIt and a thread can be had,
// else on the thread that asks for its result.
template <class Job>
auto RunAside(bool worthIt, Job job) {
    if (worthIt) {
        try {
            return std::async(std::launch::async, job);
        } catch (const std::system_error&) {
        }
    }
    return std::async(std::launch::deferred, job);
}

}  // namespace talvine
