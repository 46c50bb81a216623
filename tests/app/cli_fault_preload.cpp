// A fault for tavrenix-cli, injected by the tests without any hook in the program: this library
// is loaded into the real program with LD_PRELOAD and wraps open and pread. Right after the
// program's first read from the file named by TAVRENIX_FAULT_PATH (the header reader's read,
// which comes before the decode), it changes that file as TAVRENIX_FAULT_ACTION says:
//   delete             the picture is removed
//   truncate           the picture is cut to half its length
//   replace=OTHER      OTHER is renamed over the picture (a different picture under the name)
// So "the picture changed while the program was reading it" happens at exactly that point on
// every run, for root and other users alike.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int g_watched = -1;
bool g_done = false;

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int watch(int fd, const char* path)
{
    const char* target = std::getenv("TAVRENIX_FAULT_PATH");
    if (fd >= 0 && target && path && !g_done && g_watched < 0 && std::strcmp(path, target) == 0)
        g_watched = fd;
    return fd;
}

void inject()
{
    const char* target = std::getenv("TAVRENIX_FAULT_PATH");
    const char* action = std::getenv("TAVRENIX_FAULT_ACTION");
    if (!target || !action)
        return;
    int result = -1;
    if (std::strcmp(action, "delete") == 0) {
        result = ::unlink(target);
    } else if (std::strcmp(action, "truncate") == 0) {
        struct stat st { };
        if (::stat(target, &st) == 0)
            result = ::truncate(target, st.st_size / 2);
    } else if (std::strncmp(action, "replace=", 8) == 0) {
        result = std::rename(action + 8, target);
    }
    if (result != 0) {
        std::fprintf(stderr, "cli_fault_preload: %s on %s failed\n", action, target);
        std::_Exit(99);  // the test must not pass without its fault
    }
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, unsigned)) : 0;
}

ssize_t afterRead(int fd, ssize_t result)
{
    if (fd == g_watched && result > 0) {
        g_watched = -1;
        g_done = true;
        inject();
    }
    return result;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...)
{
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return watch(real(path, flags, mode), path);
}

extern "C" int open64(const char* path, int flags, ...)
{
    static const auto real = next<int (*)(const char*, int, ...)>("open64");
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return watch(real(path, flags, mode), path);
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return afterRead(fd, real(fd, buffer, count, offset));
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset)
{
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
    return afterRead(fd, real(fd, buffer, count, offset));
}
