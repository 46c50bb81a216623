// The narrow argv of a Windows program holds the arguments in the ANSI code page, which cannot
// spell most names; the wide command line holds them whole.
#include "program_environment.h"
#include "wide_text.h"

#include <windows.h>

#include <shellapi.h>

namespace tav {

std::vector<std::string> programArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(toUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void useUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

}  // namespace tav
