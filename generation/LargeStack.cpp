// A thread with a large stack for the exploration, polled from the caller's thread.
#include "generation/LargeStack.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace quarvo {
namespace {

struct Job {
    const std::function<void()>* body;
    std::exception_ptr error;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

void* RunJob(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    try {
        (*job.body)();
    } catch (...) {
        job.error = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(job.mutex);
        job.done = true;
    }
    job.ended.notify_one();
    return nullptr;
}

}  // namespace

void RunOnLargeStack(const std::function<void()>& body, std::size_t stackBytes, const std::function<void()>& poll,
                     int pollMs) {
    Job job;
    job.body = &body;
    pthread_attr_t attributes;
    pthread_t thread;
    bool started = pthread_attr_init(&attributes) == 0;
    if (started) {
        started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                  pthread_create(&thread, &attributes, RunJob, &job) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        body();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(job.mutex);
        while (!job.done) {
            job.ended.wait_for(lock, std::chrono::milliseconds(pollMs), [&] { return job.done; });
            if (job.done) break;
            lock.unlock();
            poll();
            lock.lock();
        }
    }
    pthread_join(thread, nullptr);
    if (job.error) std::rethrow_exception(job.error);
}

}  // namespace quarvo
