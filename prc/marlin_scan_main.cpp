#include "prc/marlin_scan_entry.h"

int main(int argc, char** argv)
{
    return runMarlinScan(argc, argv, &decodeInputFile);
}
