#include "u3d/heron_scan_entry.h"
#include "u3d/scene_load.h"

int main(int argc, char** argv)
{
    return runHeronScan(argc, argv, &loadU3dSceneFromOwnedInput);
}
