// Installs the crash hooks, then crashes as argv[1] says. With "plain" as argv[2] the hooks are
// left out, which shows how the process ends without them.

#include "crash/CrashReportSender.h"

#include <QCoreApplication>
#include <QDir>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

extern "C" {

__attribute__((noinline)) void crashChildThrow()
{
    throw std::runtime_error("disk on fire");
}

__attribute__((noinline)) void crashChildTrigger(const char *mode)
{
    if (std::strcmp(mode, "segv") == 0) {
        volatile int *volatile target = nullptr;
        *target = 1;
    } else if (std::strcmp(mode, "abort") == 0) {
        std::abort();
    } else if (std::strcmp(mode, "pipe") == 0) {
        int ends[2];
        if (pipe(ends) == 0) {
            close(ends[0]);
            const ssize_t written = write(ends[1], "x", 1);
            (void)written;
        }
    } else if (std::strcmp(mode, "alarm") == 0) {
        alarm(1);
        for (;;)
            pause();
    } else if (std::strcmp(mode, "fpe") == 0) {
        volatile int numerator = 7;
        volatile int zero = 0;
        volatile int quotient = numerator / zero;
        (void)quotient;
    } else if (std::strcmp(mode, "bus") == 0) {
        // Reading a mapped page whose file has been cut away.
        char path[] = "/tmp/wavelark-crash-bus-XXXXXX";
        const int fd = mkstemp(path);
        if (fd >= 0 && ftruncate(fd, 4096) == 0) {
            unlink(path);
            auto *page =
                static_cast<volatile char *>(mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
            if (page != MAP_FAILED && ftruncate(fd, 0) == 0)
                std::printf("%d\n", page[0]);
        }
    } else if (std::strcmp(mode, "exception") == 0) {
        crashChildThrow();
    } else if (std::strcmp(mode, "term") == 0) {
        raise(SIGTERM);
    } else if (std::strcmp(mode, "int") == 0) {
        raise(SIGINT);
    } else if (std::strcmp(mode, "hup") == 0) {
        raise(SIGHUP);
    }
    // Keeps the calls above from becoming tail calls, so this frame stays on the stack.
    std::fputs("survived\n", stderr);
}

} // extern "C"

// A thread that keeps the allocator busy (sizes beyond the per-thread cache take the arena
// lock) is sent a SIGSEGV: the handler then runs while that lock may well be held.
static int crashInsideAllocator()
{
    std::atomic<bool> running{false};
    std::thread churn([&running] {
        running = true;
        for (unsigned round = 0;; ++round) {
            void *blocks[16];
            for (unsigned i = 0; i < 16; ++i) {
                blocks[i] = std::malloc(2048 + ((round + i) % 64) * 1024);
                static_cast<volatile char *>(blocks[i])[0] = 1;
            }
            for (void *block : blocks)
                std::free(block);
        }
    });
    while (!running)
        std::this_thread::yield();
    usleep(20000);
    pthread_kill(churn.native_handle(), SIGSEGV);
    churn.join();
    return 0;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const bool hooks = argc < 3 || std::strcmp(argv[2], "plain") != 0;
    if (hooks)
        CrashReportSender::sharedCrashReportSender();
    if (std::strcmp(argv[1], "malloc") == 0)
        return crashInsideAllocator();
    crashChildTrigger(argv[1]);
    return 0;
}
