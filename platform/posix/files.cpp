// The file to hash on Linux: a stream read without its lock, its size and
// stamp from fstat, mmap, the fault on a page the file no longer holds, and
// the reading thread on POSIX threads and semaphores.
#include "platform/files.h"
#include "platform/posix/signals.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include <fcntl.h>
#include <pthread.h>
#include <semaphore.h>
#include <setjmp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

std::int64_t platform_file_size(std::FILE* file)
{
    struct stat info {
    };
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool platform_file_stamp(std::FILE* file, FileStamp& stamp)
{
    struct stat info {
    };
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.written =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

std::FILE* platform_open_file(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file != nullptr) {
        // Read in order from start to end: the system may read further ahead
        // on a file not yet in its cache.
        posix_fadvise(fileno(file), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return file;
}

std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file)
{
    // glibc's fread takes the stream's lock on every call.
#if defined(__GLIBC__)
    return fread_unlocked(buffer, 1, size, file);
#else
    return std::fread(buffer, 1, size, file);
#endif
}

namespace
{

// The reading thread's stack: it only reads.
constexpr std::size_t thread_stack = 64 * 1024;

sem_t semaphores[2];
pthread_t thread;
void (*thread_body)() = nullptr;

extern "C" void* thread_main(void* /*unused*/)
{
    thread_body();
    return nullptr;
}

} // namespace

bool platform_thread_start(void (*body)(), unsigned first, unsigned second)
{
    if (sem_init(&semaphores[0], 0, first) != 0) {
        return false;
    }
    if (sem_init(&semaphores[1], 0, second) != 0) {
        sem_destroy(&semaphores[0]);
        return false;
    }
    thread_body = body;
    // Signals go to the main thread, which handles them (the progress line,
    // the pause): the thread starts with them blocked, all but SIGTTIN and
    // SIGTTOU. Those keep their default action, so that reading the terminal
    // from the background stops the job, as for any reader, instead of
    // failing with EIO.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigdelset(&all, SIGTTIN);
    sigdelset(&all, SIGTTOU);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    pthread_attr_t attributes;
    bool started = pthread_attr_init(&attributes) == 0;
    if (started) {
        pthread_attr_setstacksize(&attributes, thread_stack);
        started = pthread_create(&thread, &attributes, thread_main, nullptr) == 0;
        pthread_attr_destroy(&attributes);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!started) {
        sem_destroy(&semaphores[0]);
        sem_destroy(&semaphores[1]);
    }
    return started;
}

void platform_semaphore_wait(unsigned semaphore)
{
    while (sem_wait(&semaphores[semaphore]) != 0 && errno == EINTR) {
    }
}

void platform_semaphore_post(unsigned semaphore)
{
    sem_post(&semaphores[semaphore]);
}

void platform_thread_join()
{
    pthread_join(thread, nullptr);
    sem_destroy(&semaphores[0]);
    sem_destroy(&semaphores[1]);
}

const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length)
{
    // A 32-bit process maps the first 4 GiB only, and the stream reads on:
    // qemu's user-mode emulation of 32-bit x86 (Debian 12's) keeps only the
    // low 32 bits of a mapping's offset, which would map the wrong bytes.
    if (sizeof(void*) < 8 && offset + length > (std::uint64_t{1} << 32)) {
        return nullptr;
    }
    void* view =
        mmap(nullptr, length, PROT_READ, MAP_SHARED, fileno(file), static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        return nullptr;
    }
    // In order, start to end: the system reads ahead and drops what is done.
    madvise(view, length, MADV_SEQUENTIAL);
    return static_cast<const unsigned char*>(view);
}

void platform_unmap(const unsigned char* view, std::size_t length)
{
    munmap(const_cast<unsigned char*>(view), length);
}

bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* view,
                         std::size_t length)
{
    // The ending signals' handler tells the file's faults from the rest; it
    // stands even where SIGBUS was ignored, which a fault would not heed.
    const struct sigaction action = ending_action();
    struct sigaction previous {
    };
    sigaction(SIGBUS, &action, &previous);
    mapped_view = view;
    mapped_length = length;
    volatile bool finished = false;
    if (sigsetjmp(mapped_fault, 1) == 0) {
        mapped_work_runs = 1;
        work(context);
        finished = true;
    }
    mapped_work_runs = 0;
    mapped_view = nullptr;
    sigaction(SIGBUS, &previous, nullptr);
    return finished;
}

bool platform_seek(std::FILE* file, std::uint64_t offset)
{
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}
