// A fault for tavrenix-cli, injected by the tests without any hook in the program: this library
// is loaded into the real program with LD_PRELOAD and wraps fopen/fclose. The first time the
// program closes the file named by TAVRENIX_FAULT_PATH after opening it (the header reader's
// read, which comes before the decode), it changes that file as TAVRENIX_FAULT_ACTION says:
//   delete             the picture is removed
//   truncate           the picture is cut to half its length
//   replace=OTHER      OTHER is renamed over the picture (a different picture under the name)
// So "the picture changed between the header read and the decode" happens at exactly that
// point on every run, for root and other users alike.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::FILE* g_watched = nullptr;
bool g_done = false;

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::FILE* watch(std::FILE* file, const char* path)
{
    const char* target = std::getenv("TAVRENIX_FAULT_PATH");
    if (file && target && path && !g_done && !g_watched && std::strcmp(path, target) == 0)
        g_watched = file;
    return file;
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

}  // namespace

extern "C" std::FILE* fopen(const char* path, const char* mode)
{
    static const auto real = next<std::FILE* (*)(const char*, const char*)>("fopen");
    return watch(real(path, mode), path);
}

extern "C" std::FILE* fopen64(const char* path, const char* mode)
{
    static const auto real = next<std::FILE* (*)(const char*, const char*)>("fopen64");
    return watch(real(path, mode), path);
}

extern "C" int fclose(std::FILE* file)
{
    static const auto real = next<int (*)(std::FILE*)>("fclose");
    const bool hit = file && file == g_watched;
    const int result = real(file);
    if (hit) {
        g_watched = nullptr;
        g_done = true;
        inject();
    }
    return result;
}
