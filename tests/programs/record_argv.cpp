// Stands in for an emulator: writes the working folder and every argument it was given,
// byte for byte, to "<argv[0]>.argv" (each entry ends in a NUL), so a test can compare
// what arrived with what was meant to arrive.
#include <unistd.h>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string out = std::string(argv[0]) + ".argv";
    const std::string part = out + ".part";
    FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) return 1;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
    std::fwrite(cwd, 1, std::char_traits<char>::length(cwd) + 1, f);
    for (int i = 1; i < argc; ++i)
        std::fwrite(argv[i], 1, std::char_traits<char>::length(argv[i]) + 1, f);
    if (std::fclose(f) != 0) return 1;
    // Appears whole or not at all.
    return std::rename(part.c_str(), out.c_str()) == 0 ? 0 : 1;
}
