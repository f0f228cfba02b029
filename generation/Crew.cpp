// The crew of exploring threads: started when first needed, woken for each job, joined at the end.
#include "generation/Crew.h"

#include <algorithm>

namespace quarvo {

unsigned Crew::Grow(unsigned members) {
    while (Size() < members) {
        // Made between two jobs: the thread takes the next one, however
        // late it starts.
        auto start = std::make_unique<Start>(Start{this, Size(), generation_});
        pthread_attr_t attributes;
        if (pthread_attr_init(&attributes) != 0) break;
        pthread_t thread;
        const bool made = pthread_attr_setstacksize(&attributes, stackBytes_) == 0 &&
                          pthread_create(&thread, &attributes, &Crew::Main, start.get()) == 0;
        pthread_attr_destroy(&attributes);
        if (!made) break;
        threads_.push_back(thread);
        starts_.push_back(std::move(start));
    }
    return Size();
}

Crew::~Crew() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    for (pthread_t thread : threads_) pthread_join(thread, nullptr);
}

void* Crew::Main(void* start) {
    const Start* s = static_cast<const Start*>(start);
    s->crew->Serve(s->member, s->seen);
    return nullptr;
}

void Crew::Serve(unsigned member, std::uint64_t seen) {
    for (;;) {
        const std::function<void(unsigned)>* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(lock_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
            if (member >= active_) continue;
            job = job_;
        }
        std::exception_ptr error;
        try {
            (*job)(member);
        } catch (...) {
            error = std::current_exception();
        }
        Finish(error);
    }
}

void Crew::Finish(std::exception_ptr error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (error && !error_) error_ = error;
    if (--pending_ == 0) done_.notify_one();
}

void Crew::Run(unsigned members, const std::function<void(unsigned)>& job) {
    const unsigned active = std::clamp(members, 1u, Size());
    {
        std::lock_guard<std::mutex> guard(lock_);
        job_ = &job;
        error_ = nullptr;
        active_ = active;
        pending_ = active;
        ++generation_;
    }
    if (active > 1) wake_.notify_all();
    std::exception_ptr error;
    try {
        job(0);
    } catch (...) {
        error = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(lock_);
    if (error && !error_) error_ = error;
    if (--pending_ > 0) done_.wait(lock, [&] { return pending_ == 0; });
    if (error_) std::rethrow_exception(error_);
}

}  // namespace quarvo
