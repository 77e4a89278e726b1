#include "prc/structure/view_readers.h"

#include "prc/structure/entity_base.h"
#include "prc/structure/filter_readers.h"
#include "prc/structure/product_tree.h"

#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kTypeSurfacePlane = 86;
constexpr uint32_t kTypeView = 501;
constexpr uint32_t kTypeAmbientLight = 731;
constexpr uint32_t kTypePointLight = 732;
constexpr uint32_t kTypeDirectionalLight = 733;
constexpr uint32_t kTypeSpotLight = 734;
constexpr uint32_t kTypeSceneDisplayParameters = 741;
constexpr uint32_t kTypeCamera = 742;

void readDoubles(PRCBitReader& reader, int count)
{
    for (int i = 0; i < count; ++i)
        reader.readDouble();
}

void readLight(PRCBitReader& reader)
{
    const uint32_t type = reader.readUnsignedInteger();
    if (type < kTypeAmbientLight || type > kTypeSpotLight)
        throw std::runtime_error("readLight: tipo inatteso " + std::to_string(type));
    readContentPRCBase(reader, type);
    for (int i = 0; i < 3; ++i) // ambient, diffuse, specular colour
        reader.readUnsignedInteger();
    if (type == kTypePointLight || type == kTypeSpotLight) {
        readVector3d(reader); // location
        readDoubles(reader, 3); // attenuation
        if (type == kTypeSpotLight) {
            readVector3d(reader); // direction
            readDoubles(reader, 2); // fall-off angle and exponent
        }
    } else if (type == kTypeDirectionalLight) {
        readVector3d(reader);
        if (reader.version > kPrcLastVersionWithoutLightIntensity)
            reader.readDouble();
    }
}

void readCamera(PRCBitReader& reader)
{
    expectType(reader, kTypeCamera, "PRCCamera");
    readContentPRCBase(reader, kTypeCamera);
    reader.readBoolean(); // orthographic
    for (int i = 0; i < 3; ++i) // location, look-at point, up vector
        readVector3d(reader);
    readDoubles(reader, 6);
}

} // namespace

void readView(PRCBitReader& reader)
{
    expectType(reader, kTypeView, "PRCView");
    readContentPRCBase(reader, kTypeView);
    reader.readGraphics();
    const uint32_t annotations = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < annotations; ++i)
        readReferenceOnPRCBase(reader, "View.annotations");
    readSurfacePlane(reader);
    if (reader.readBoolean())
        readSceneDisplayParameters(reader);
    // Older writers end the view here.
    if (reader.version >= kPrcFirstVersionWithViewFlag)
        reader.readBoolean();
    if (reader.version >= kPrcFirstVersionWithViewLinks) {
        reader.readBoolean();
        reader.readBoolean();
        const uint32_t linkedItems = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < linkedItems; ++i)
            readReferenceOnPRCBase(reader, "View.linked_items");
        const uint32_t filters = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < filters; ++i)
            readFilter(reader);
    }
    readUserData(reader);
}

void readSceneDisplayParameters(PRCBitReader& reader)
{
    expectType(reader, kTypeSceneDisplayParameters, "PRCSceneDisplayParameters");
    readContentPRCBase(reader, kTypeSceneDisplayParameters);
    reader.readBoolean(); // active
    const uint32_t lights = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < lights; ++i)
        readLight(reader);
    if (reader.readBoolean())
        readCamera(reader);
    if (reader.readBoolean())
        readVector3d(reader); // rotation centre
    const uint32_t planes = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < planes; ++i)
        readSurfacePlane(reader);
    reader.readUnsignedInteger(); // background line style
    reader.readUnsignedInteger(); // default line style
    const uint32_t pairs = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < pairs; ++i) {
        reader.readUnsignedInteger();
        reader.readUnsignedInteger();
    }
    if (reader.version > kPrcLastVersionWithoutSceneTrailingBit)
        reader.readBoolean();
}

void readSurfacePlane(PRCBitReader& reader)
{
    expectType(reader, kTypeSurfacePlane, "PRCSurfacePlane");
    if (reader.readBoolean()) {
        readAttributes(reader);
        if (!reader.readBoolean())
            reader.currentName = reader.readString();
        reader.readUnsignedInteger();
    }
    reader.readUnsignedInteger(); // extension information
    const uint32_t flags = reader.readBits(8);
    if (flags & CartesianFlag::kTranslation)
        readVector3d(reader);
    if (flags & CartesianFlag::kThreeAxes) {
        for (int i = 0; i < 3; ++i)
            readVector3d(reader);
    } else if (flags & CartesianFlag::kTwoAxes) {
        readVector3d(reader);
        readVector3d(reader);
    }
    if (flags & CartesianFlag::kScale)
        readVector3d(reader);
    if (flags & CartesianFlag::kUniformScale)
        reader.readDouble();
    if (flags & CartesianFlag::kHomogeneous)
        readDoubles(reader, 4);
    readDoubles(reader, 4); // domain
    readDoubles(reader, 4); // parameterisation
}
