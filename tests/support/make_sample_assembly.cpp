// Writes the bundled sample: make_sample_assembly <output file>
#include "tests/support/files.h"
#include "tests/support/sample_assembly.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_assembly <output file>\n");
        return 2;
    }
    writeFileBytes(argv[1], buildPrcModelFile(sampleAssemblyModel()));
    return 0;
}
