#include "u3dlib/scene.h"

namespace u3dlib {

Node defaultWorldNode()
{
    return Node{}; // a group without parents, identity everywhere
}

Scene::Scene() : nodes(defaultWorldNode()) {}

} // namespace u3dlib
