#include "program_environment.h"

namespace tav {

std::vector<std::string> programArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void useUtf8Console() { }

}  // namespace tav
