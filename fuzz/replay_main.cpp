// Replays a fuzz harness over saved inputs without the fuzzing engine: every regular file named
// on the command line, or found (recursively, in name order) in a folder named there, is passed
// to LLVMFuzzerTestOneInput once. A crash or failed check ends the run as it would under
// libFuzzer; a run that finds no input at all fails too, so a missing corpus cannot pass.
#include "fuzz_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::cerr << argv[0] << ": no such file or folder: " << arg << '\n';
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::cerr << argv[0] << ": no inputs to replay\n";
        return 2;
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        if (!in.eof() && in.fail()) {
            std::cerr << argv[0] << ": cannot read " << input << '\n';
            return 2;
        }
        // A copy of exactly the file's size, so a read past the end is caught by the sanitizers.
        std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
