// The crew of exploring threads: started once, woken for each job, joined at the end.
#include "generation/Crew.h"

namespace quarvo {

Crew::Crew(unsigned size, std::size_t stackBytes) {
    for (unsigned member = 1; member < size; ++member) {
        auto start = std::make_unique<Start>(Start{this, member});
        pthread_attr_t attributes;
        if (pthread_attr_init(&attributes) != 0) break;
        pthread_t thread;
        const bool made = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                          pthread_create(&thread, &attributes, &Crew::Main, start.get()) == 0;
        pthread_attr_destroy(&attributes);
        if (!made) break;
        threads_.push_back(thread);
        starts_.push_back(std::move(start));
    }
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
    s->crew->Serve(s->member);
    return nullptr;
}

void Crew::Serve(unsigned member) {
    std::uint64_t seen = 0;
    for (;;) {
        const std::function<void(unsigned)>* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(lock_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
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

void Crew::Run(const std::function<void(unsigned)>& job) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        job_ = &job;
        error_ = nullptr;
        pending_ = Size();
        ++generation_;
    }
    wake_.notify_all();
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
