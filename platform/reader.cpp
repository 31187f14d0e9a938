// The reader's ring: pieces filled in order by the reading thread and taken
// in order by the driver. Two counting semaphores keep them apart: `free`
// counts the pieces the thread may fill, `filled` those the driver may take.
// The driver hands a piece back (posts `free`) only when it asks for the
// next one, so the thread never writes a piece that is being hashed.
#include "reader.h"

#include "progress.h"
#include "stream.h"

#if defined(_WIN32)
#include <initializer_list>

#include <process.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <semaphore.h>
#endif

namespace {

constexpr std::size_t ring = 4;
// A file this small (or smaller) is read with no thread.
constexpr std::int64_t small_file = std::int64_t{256} * 1024;
// The reading thread's stack: it only calls fread.
constexpr unsigned thread_stack = 64 * 1024;

unsigned char pieces[ring][platform_piece_size];
std::size_t counts[ring];
std::FILE* source = nullptr;
std::size_t taken = 0; // pieces handed to the driver
bool threaded = false;

std::size_t fill(std::size_t index)
{
    counts[index] = platform_fread(pieces[index], platform_piece_size, source);
    return counts[index];
}

#if defined(_WIN32)

HANDLE free_pieces = nullptr;
HANDLE filled_pieces = nullptr;
HANDLE thread = nullptr;

void wait(HANDLE semaphore)
{
    WaitForSingleObject(semaphore, INFINITE);
}

void post(HANDLE semaphore)
{
    ReleaseSemaphore(semaphore, 1, nullptr);
}

#else

sem_t free_pieces;
sem_t filled_pieces;
pthread_t thread;

void wait(sem_t& semaphore)
{
    while (sem_wait(&semaphore) != 0 && errno == EINTR) {
    }
}

void post(sem_t& semaphore)
{
    sem_post(&semaphore);
}

#endif

// The thread: fills the pieces in ring order until one comes short.
void read_ahead()
{
    for (std::size_t i = 0;; ++i) {
        wait(free_pieces);
        const std::size_t count = fill(i % ring);
        post(filled_pieces);
        if (count != platform_piece_size) {
            return;
        }
    }
}

#if defined(_WIN32)

unsigned __stdcall thread_main(void* /*unused*/)
{
    read_ahead();
    return 0;
}

// Starts the thread, or returns false (and holds nothing) where it cannot.
bool start_thread()
{
    free_pieces = CreateSemaphoreW(nullptr, ring, ring, nullptr);
    filled_pieces = CreateSemaphoreW(nullptr, 0, ring, nullptr);
    if (free_pieces != nullptr && filled_pieces != nullptr) {
        // msvcrt's own thread start, so that its stream functions are ready there.
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, thread_stack, thread_main, nullptr, 0, nullptr));
    }
    if (thread == nullptr) {
        for (HANDLE semaphore : {free_pieces, filled_pieces}) {
            if (semaphore != nullptr) {
                CloseHandle(semaphore);
            }
        }
        free_pieces = filled_pieces = nullptr;
        return false;
    }
    return true;
}

void join_thread()
{
    WaitForSingleObject(thread, INFINITE);
    for (HANDLE handle : {thread, free_pieces, filled_pieces}) {
        CloseHandle(handle);
    }
    thread = free_pieces = filled_pieces = nullptr;
}

#else

extern "C" void* thread_main(void* /*unused*/)
{
    read_ahead();
    return nullptr;
}

bool start_thread()
{
    if (sem_init(&free_pieces, 0, ring) != 0) {
        return false;
    }
    if (sem_init(&filled_pieces, 0, 0) != 0) {
        sem_destroy(&free_pieces);
        return false;
    }
    // Signals go to the driver's thread, which handles them (the progress
    // line, the pause): the reading thread starts with them blocked, all but
    // SIGTTIN and SIGTTOU. Those keep their default action, so that reading
    // the terminal from the background stops the job, as for any reader,
    // instead of failing with EIO.
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
        sem_destroy(&free_pieces);
        sem_destroy(&filled_pieces);
    }
    return started;
}

void join_thread()
{
    pthread_join(thread, nullptr);
    sem_destroy(&free_pieces);
    sem_destroy(&filled_pieces);
}

#endif

} // namespace

void platform_read_start(std::FILE* file, bool ahead)
{
    source = file;
    taken = 0;
    const std::int64_t size = platform_file_size(file);
    threaded = ahead && (size < 0 || size > small_file) && start_thread();
}

std::size_t platform_read_next(const unsigned char*& piece)
{
    if (!threaded) {
        piece = pieces[0];
        return fill(0);
    }
    // The piece handed out last has been hashed: the thread may refill it.
    if (taken > 0) {
        post(free_pieces);
    }
    wait(filled_pieces);
    const std::size_t index = taken++ % ring;
    piece = pieces[index];
    return counts[index];
}

void platform_read_end()
{
    if (threaded) {
        join_thread();
        threaded = false;
    }
}
