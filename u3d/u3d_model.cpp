#include "u3d/u3d_model.h"

#include <cstdlib>
#include <cstring>

void releaseU3dModel(U3dModel* model)
{
    if (model == nullptr)
        return;
    std::free(model->vertices);
    std::free(model->triangles);
    std::free(model->colours);
    std::free(model->uvs);
    std::free(model->texturePixels);
    std::free(model->points);
    std::free(model->lines);
    std::free(model->nodeRecords);
    std::free(model->viewRecords);
    std::free(model->normals);
    std::free(model->vertexMaterials);
    std::free(model->materials);
    std::memset(model, 0, sizeof *model);
}
