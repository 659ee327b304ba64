#include "Shared/QuitWatchdog.h"

#include <chrono>
#include <thread>
#include <unistd.h>

namespace QuitWatchdog {

void arm(int exitStatus, int milliseconds)
{
    // Nothing shared: the thread may outlive every static object of the process.
    std::thread([exitStatus, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        static const char kLine[] = "wavelark: quitting took too long; ending now\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kLine, sizeof(kLine) - 1);
        ::_exit(exitStatus);
    }).detach();
}

} // namespace QuitWatchdog
