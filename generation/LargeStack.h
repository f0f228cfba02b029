// Runs deep recursive work on a thread of its own with a large stack, while the caller keeps its own thread.
#pragma once

#include <cstddef>
#include <functional>

namespace quarvo {

// Runs body on a thread whose stack holds stackBytes, and meanwhile calls
// poll on the calling thread every pollMs milliseconds until body has ended
// (so that what must stay on the calling thread, a window's progress, stays
// there). An exception thrown by body is thrown again here. Where no such
// thread can be made, body runs on the calling thread.
void RunOnLargeStack(const std::function<void()>& body, std::size_t stackBytes, const std::function<void()>& poll,
                     int pollMs = 50);

}  // namespace quarvo
