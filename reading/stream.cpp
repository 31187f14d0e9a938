// Opening a driver's stream through the platform.
#include "stream.h"

#include "platform/files.h"

std::FILE* open_stream(const char* path, char* buffer, std::size_t size)
{
    if (path == nullptr) {
        return nullptr;
    }
    std::FILE* file = platform_open_file(path);
    if (file != nullptr) {
        std::setvbuf(file, buffer, _IOFBF, size);
    }
    return file;
}
