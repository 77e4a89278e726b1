// Writers of model resource blocks for tests: CLOD mesh, point set and line set
// declarations, base meshes and progressive continuations, coded with the test bit
// encoder. Continuations carry no specular colours: shading descriptions use diffuse
// colours and texture layers only.
//
// The progressive writers keep their own plain model of the mesh (faces in creation
// order, positions, attribute pools) and derive from it, independently of the
// library, everything the stream leaves implicit: the faces around the split position
// and their order, the local lists, the stay/move predictions that choose contexts,
// and the predictions the quantised differences are taken from. Tests describe each
// update by what it does (which faces move, which corners take which colour) and the
// writer works out how that is coded.
#pragma once

#include "tests/support/u3d_block_writer.h"
#include "u3dlib/ifx_interface.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct U3dShadingDesc {
    uint32_t attributes = 0; // 1 diffuse
    std::vector<uint32_t> texCoordDimensions; // one per layer
    uint32_t originalId = 0;
};

enum class U3dGeneratorKind { Mesh, PointSet, LineSet };

struct U3dGeneratorDesc {
    U3dGeneratorKind kind = U3dGeneratorKind::Mesh;
    std::string name = "Mesh";
    uint32_t attributes = 0; // meshes: 1 = no normals
    uint32_t primitiveCount = 0;
    uint32_t positionCount = 0;
    uint32_t normalCount = 0;
    uint32_t diffuseCount = 0;
    uint32_t specularCount = 0;
    uint32_t texCoordCount = 0;
    std::vector<U3dShadingDesc> shadings = {U3dShadingDesc{}};
    uint32_t minResolution = 0; // meshes
    uint32_t maxResolution = 0; // meshes
    float positionIq = 0.001f;
    float normalIq = 0.001f;
    float texCoordIq = 0.001f;
    float diffuseIq = 0.001f;
    float specularIq = 0.001f;
    float normalCrease = 0.9f;
    bool writeBoneCount = true; // one writer leaves it out
    uint32_t chainIndex = 0;
    bool noCompression = false; // continuations written as the no-compression profile says
};

// The Data of a declaration block (CLOD mesh, point set or line set by desc.kind).
U3dBytes u3dGeneratorDeclarationData(const U3dGeneratorDesc& desc);
uint32_t u3dGeneratorDeclarationType(const U3dGeneratorDesc& desc);

struct U3dBaseFace {
    uint32_t shading = 0;
    std::array<uint32_t, 3> positions{};
    std::array<uint32_t, 3> normals{};
    std::array<uint32_t, 3> diffuse{};
    std::vector<std::array<uint32_t, 3>> texCoords{}; // per layer of the shading
};

struct U3dBaseMeshDesc {
    std::vector<IFXVector3> positions;
    std::vector<IFXVector3> normals;
    std::vector<IFXVector4> diffuse;
    std::vector<IFXVector4> texCoords;
    std::vector<U3dBaseFace> faces;
};

// The smallest mesh a scene test needs: one triangle at the origin with one normal,
// declared under the given name.
U3dGeneratorDesc u3dOneTriangleDeclaration(const std::string& name);
U3dBaseMeshDesc u3dOneTriangle();

// How a new face's corner gets a colour or texture coordinate: the previous new
// face's index at the same role, a local index (the writer finds the pool index in
// the local list) or a global one.
enum class U3dIndexCoding { Duplicate, Local, Global };

struct U3dCornerIndex {
    U3dIndexCoding coding = U3dIndexCoding::Global;
    uint32_t index = 0; // pool index (ignored for Duplicate)
};

using U3dRoleIndices = std::array<U3dCornerIndex, 3>; // split, new, third position

struct U3dNewFaceDesc {
    uint32_t shading = 0;
    bool rightOrientation = false; // left: split, new, third; right: new, split, third
    uint32_t third = 0;
    bool thirdLocal = false;
    U3dRoleIndices diffuse{};
    std::vector<U3dRoleIndices> texCoords; // per layer
};

// What a moving face's corner takes: keep, or one of the update's new values
// (index among them), a local or a global pool index.
enum class U3dChangeCoding { Keep, New, Local, Global };

struct U3dCornerChange {
    U3dChangeCoding coding = U3dChangeCoding::Keep;
    uint32_t index = 0; // New: among the update's new values; Local, Global: pool index
};

struct U3dMoveDesc {
    uint32_t face = 0;
    U3dCornerChange diffuse{};
    std::vector<U3dCornerChange> texCoords; // per layer
};

inline U3dMoveDesc u3dMove(uint32_t face, U3dCornerChange diffuse = {}, std::vector<U3dCornerChange> texCoords = {})
{
    U3dMoveDesc m;
    m.face = face;
    m.diffuse = diffuse;
    m.texCoords = std::move(texCoords);
    return m;
}

struct U3dUpdateDesc {
    uint32_t split = 0;
    std::vector<IFXVector4> newDiffuse; // target values, quantised against the prediction
    std::vector<IFXVector4> newTexCoords;
    std::vector<U3dNewFaceDesc> newFaces;
    std::vector<U3dMoveDesc> moves; // faces around the split position that move; the rest stay
    IFXVector3 position{};          // target value
    uint32_t normalsPerPosition = 1;
};

// Codes a CLOD mesh block by block, keeping the model the decoder will build.
class U3dClodMeshWriter {
public:
    explicit U3dClodMeshWriter(U3dGeneratorDesc desc);

    U3dBytes declarationBlock() const;
    U3dBytes baseMeshBlock(const U3dBaseMeshDesc& base);
    // Updates from the current resolution on; the range written is [start, start + n).
    U3dBytes progressiveBlock(const std::vector<U3dUpdateDesc>& updates);
    // The same, but the header claims another range (for order tests).
    U3dBytes progressiveBlockWithRange(const std::vector<U3dUpdateDesc>& updates, uint32_t start, uint32_t end);

    // The model: what a correct decoder yields.
    struct Face {
        uint32_t shading = 0;
        std::array<uint32_t, 3> positions{};
        std::array<uint32_t, 3> diffuse{};
        std::array<std::array<uint32_t, 3>, 8> texCoords{};
    };
    const std::vector<IFXVector3>& positions() const { return positions_; }
    const std::vector<Face>& faces() const { return faces_; }
    const std::vector<IFXVector4>& diffuse() const { return diffuse_; }
    const std::vector<IFXVector4>& texCoords() const { return texCoords_; }

private:
    void writeUpdate(class U3dBitEncoder& out, const U3dUpdateDesc& update);

    U3dGeneratorDesc desc_;
    std::vector<IFXVector3> positions_;
    std::vector<Face> faces_;
    std::vector<IFXVector4> diffuse_;
    std::vector<IFXVector4> texCoords_;
    std::array<uint32_t, 3> lastDiffuse_{};
    std::array<std::array<uint32_t, 3>, 8> lastTexCoords_{};
};

struct U3dItemEndDesc {
    std::optional<IFXVector4> diffuse; // a new colour; none = reuse the last one added
    uint32_t normalLocalIndex = 0;
};

inline U3dItemEndDesc u3dEnd(std::optional<IFXVector4> diffuse)
{
    U3dItemEndDesc end;
    end.diffuse = diffuse;
    return end;
}

struct U3dItemDesc {
    uint32_t shading = 0;
    uint32_t first = 0;               // lines: the other end's position
    std::vector<U3dItemEndDesc> ends; // points 1, lines 2 (first, then the new position)
};

struct U3dPointLineUpdateDesc {
    uint32_t split = 0;
    IFXVector3 position{};
    uint32_t normalCount = 1;
    std::vector<U3dItemDesc> items;
};

// Codes a point or line set continuation.
class U3dPointLineWriter {
public:
    explicit U3dPointLineWriter(U3dGeneratorDesc desc);

    U3dBytes declarationBlock() const;
    U3dBytes continuationBlock(const std::vector<U3dPointLineUpdateDesc>& updates);

    const std::vector<IFXVector3>& positions() const { return positions_; }
    const std::vector<IFXVector4>& diffuse() const { return diffuse_; }

private:
    U3dGeneratorDesc desc_;
    std::vector<IFXVector3> positions_;
    std::vector<IFXVector4> diffuse_;
    std::vector<uint32_t> endPositions_;
    std::vector<uint32_t> endDiffuse_;
};
