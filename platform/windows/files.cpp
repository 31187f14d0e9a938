// The file to hash on Windows, on msvcrt: opened by its wide-character
// name where the ANSI code page cannot spell it and through the extended
// form where it is too long, its size and stamp, a mapped view whose
// in-page error ends the work on it, and a reading thread started by
// msvcrt.
#include "platform/files.h"
#include "platform/windows/arguments.h"
#include "platform/windows/long_path.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>

#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

namespace
{

// True when `wide` has a character the ANSI code page lacks, so that its
// ANSI form names another file or none (a best-fit letter, a '?').
bool ansi_cannot_spell(const wchar_t* wide)
{
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lossy);
    return size == 0 || lossy != FALSE;
}

// Opens a path too long for the plain form through its absolute extended
// form ("\\?\C:\..."), or returns nullptr.
std::FILE* open_long(const wchar_t* path)
{
    static wchar_t full[longest_path];
    static wchar_t extended[longest_path + 8];
    const DWORD length = GetFullPathNameW(path, longest_path, full, nullptr);
    if (length < MAX_PATH || length >= longest_path
        || !platform_extended_path(full, extended, std::size(extended))) {
        return nullptr;
    }
    return _wfopen(extended, L"rbS");
}

} // namespace

std::FILE* platform_open_file(const char* path)
{
    // Any other path, and an argument the code page spells, open as given.
    const wchar_t* wide = argument_wide(path);
    std::FILE* file = nullptr;
    if (wide != nullptr && ansi_cannot_spell(wide)) {
        file = _wfopen(wide, L"rbS");
    } else {
        file = std::fopen(path, "rbS");
        if (file == nullptr && wide != nullptr) {
            file = _wfopen(wide, L"rbS");
        }
    }
    if (file == nullptr) {
        static wchar_t converted[longest_path];
        if (wide == nullptr
            && MultiByteToWideChar(CP_ACP, 0, path, -1, converted, longest_path) != 0) {
            wide = converted;
        }
        file = wide != nullptr ? open_long(wide) : nullptr;
    }
    return file;
}

std::int64_t platform_file_size(std::FILE* file)
{
    struct _stati64 info {
    };
    if (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool platform_file_stamp(std::FILE* file, FileStamp& stamp)
{
    // The system's own record, to 100 ns: the runtime's stat gives whole
    // seconds.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK
        || GetFileInformationByHandle(handle, &info) == 0
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    stamp.size =
        static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    stamp.written =
        static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32)
                                  | info.ftLastWriteTime.dwLowDateTime);
    return true;
}

std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file)
{
    return std::fread(buffer, 1, size, file);
}

namespace
{

// The reading thread's stack: it only reads.
constexpr unsigned thread_stack = 64 * 1024;

HANDLE semaphores[2] = {nullptr, nullptr};
HANDLE thread = nullptr;
void (*thread_body)() = nullptr;

unsigned __stdcall thread_main(void* /*unused*/)
{
    thread_body();
    return 0;
}

void close_handles()
{
    for (HANDLE* handle : {&thread, &semaphores[0], &semaphores[1]}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

} // namespace

bool platform_thread_start(void (*body)(), unsigned first, unsigned second)
{
    thread_body = body;
    const auto most = static_cast<LONG>(first > second ? first : second);
    semaphores[0] = CreateSemaphoreW(nullptr, static_cast<LONG>(first), most, nullptr);
    semaphores[1] = CreateSemaphoreW(nullptr, static_cast<LONG>(second), most, nullptr);
    if (semaphores[0] != nullptr && semaphores[1] != nullptr) {
        // msvcrt's own thread start, so that its stream functions are ready there.
        thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, thread_stack, thread_main, nullptr, 0, nullptr));
    }
    if (thread == nullptr) {
        close_handles();
        return false;
    }
    return true;
}

void platform_semaphore_wait(unsigned semaphore)
{
    WaitForSingleObject(semaphores[semaphore], INFINITE);
}

void platform_semaphore_post(unsigned semaphore)
{
    ReleaseSemaphore(semaphores[semaphore], 1, nullptr);
}

void platform_thread_join()
{
    WaitForSingleObject(thread, INFINITE);
    close_handles();
}

const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
        return nullptr;
    }
    // The mapping object lives as long as its view.
    HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        return nullptr;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset & 0xFFFFFFFFU), length);
    CloseHandle(mapping);
    return static_cast<const unsigned char*>(view);
}

void platform_unmap(const unsigned char* view, std::size_t /*length*/)
{
    UnmapViewOfFile(view);
}

namespace
{

// Where a fault on the mapped bytes returns to, while work on them runs.
std::jmp_buf mapped_fault;
const unsigned char* volatile mapped_view = nullptr;
volatile std::size_t mapped_length = 0;

// An in-page error (the file shrank, or its disk failed) or an access
// violation on the mapped bytes: back to the start of the work, which then
// fails. Any other exception goes on to the handlers after this one.
LONG WINAPI end_mapped_work(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if ((record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR
         || record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        && record.NumberParameters >= 2 && mapped_view != nullptr) {
        const auto address = static_cast<ULONG_PTR>(record.ExceptionInformation[1]);
        const auto start = reinterpret_cast<ULONG_PTR>(mapped_view);
        if (address >= start && address - start < mapped_length) {
            std::longjmp(mapped_fault, 1);
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* view,
                         std::size_t length)
{
    void* handler = AddVectoredExceptionHandler(1, end_mapped_work);
    volatile bool finished = false;
    mapped_view = view;
    mapped_length = length;
    if (setjmp(mapped_fault) == 0) {
        work(context);
        finished = true;
    }
    mapped_view = nullptr;
    if (handler != nullptr) {
        RemoveVectoredExceptionHandler(handler);
    }
    return finished;
}

bool platform_seek(std::FILE* file, std::uint64_t offset)
{
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}
