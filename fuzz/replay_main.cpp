// Runs a fuzz target once on each file given, or on each file of each folder given, so that the
// seed corpora and found inputs also serve as tests in builds without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::set<fs::path> files;
    for (int i = 1; i < argc; ++i)
        if (!fs::is_directory(argv[i]))
            files.insert(argv[i]);
        else
            for (const auto& e : fs::directory_iterator(argv[i]))
                if (e.is_regular_file())
                    files.insert(e.path());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in)
            return std::fprintf(stderr, "cannot read %s\n", f.c_str()), 2;
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    return files.empty() ? 2 : 0;
}
