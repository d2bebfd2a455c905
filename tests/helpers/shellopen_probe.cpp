// Writes its arguments, one per line, into the file named by the first one.
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 1;
    for (int i = 2; i < argc; ++i) std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    return 0;
}
