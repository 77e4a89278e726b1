// The binary result stream: the only thing a worker hands back to its parent.
// Every record is laid out byte for byte as the parent reads it (little-endian,
// packed), so the decoders can write their arrays straight from memory.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the result stream is written straight from memory and must be little-endian");

#pragma pack(push, 1)

struct PrcResultHeader {
    uint8_t ok;
    uint8_t hasDefaultView;
    uint8_t reserved[2];
    uint32_t vertexCount;
    uint32_t triangleCount;
    uint32_t nodeCount;
    uint32_t messageLength;
    uint32_t status;
    uint32_t minimalVersionForRead;
    uint32_t authoringVersion;
    uint32_t fileStructureCount;
    uint32_t colourTotal;
    uint32_t materialTotal;
    uint32_t styleTotal;
};

struct U3dResultHeader {
    uint8_t ok;
    uint8_t hasDefaultView;
    uint8_t reserved0[2];
    uint32_t vertexCount;
    uint32_t triangleCount;
    uint32_t messageLength;
    uint8_t hasHeaderValues;
    uint8_t reserved1[3];
    uint32_t headerValue32;
    uint64_t headerValue64;
    uint32_t pointCount;
    uint32_t lineCount;
    uint8_t hasKeyLight;
    uint8_t reserved2[3];
    float keyLightYaw;
    float keyLightPitch;
    uint32_t textureWidth;
    uint32_t textureHeight;
    uint32_t nodeCount;
    uint32_t viewCount;
    uint32_t materialCount;
    uint32_t lightCount;
    uint8_t hasNormals;
    uint8_t reserved3[3];
};

struct NodeRecord {
    char name[128];
    uint32_t index;
    uint32_t parent;
    uint32_t firstTriangle;
    uint32_t triangleCount;
    uint32_t firstPoint;
    uint32_t pointCount;
    uint32_t firstLine;
    uint32_t lineCount;
    float boundsMin[3];
    float boundsMax[3];
    uint32_t valid;
};

struct ViewRecord {
    char name[128];
    float rotation[9];
    float fieldOfView;
    uint32_t valid;
};

struct MaterialRecord {
    float diffuse[3];
    float ambient[3];
    float specular[3];
    float emissive[3];
    float reflectivity;
    float opacity;
    uint32_t transparent;
};

struct LightRecord {
    uint8_t type;
    uint8_t specular;
    uint8_t spotDecay;
    uint8_t reserved;
    float colour[3];
    float intensity;
    float attenuation[3];
    float spotHalfAngle;
    float spotExponent;
    float position[3];
    float direction[3];
};

#pragma pack(pop)

static_assert(sizeof(PrcResultHeader) == 48);
static_assert(offsetof(PrcResultHeader, vertexCount) == 4);
static_assert(offsetof(PrcResultHeader, triangleCount) == 8);
static_assert(offsetof(PrcResultHeader, nodeCount) == 12);
static_assert(offsetof(PrcResultHeader, messageLength) == 16);
static_assert(offsetof(PrcResultHeader, status) == 20);
static_assert(offsetof(PrcResultHeader, minimalVersionForRead) == 24);
static_assert(offsetof(PrcResultHeader, authoringVersion) == 28);
static_assert(offsetof(PrcResultHeader, fileStructureCount) == 32);
static_assert(offsetof(PrcResultHeader, colourTotal) == 36);
static_assert(offsetof(PrcResultHeader, materialTotal) == 40);
static_assert(offsetof(PrcResultHeader, styleTotal) == 44);

static_assert(sizeof(U3dResultHeader) == 80);
static_assert(offsetof(U3dResultHeader, vertexCount) == 4);
static_assert(offsetof(U3dResultHeader, triangleCount) == 8);
static_assert(offsetof(U3dResultHeader, messageLength) == 12);
static_assert(offsetof(U3dResultHeader, hasHeaderValues) == 16);
static_assert(offsetof(U3dResultHeader, headerValue32) == 20);
static_assert(offsetof(U3dResultHeader, headerValue64) == 24);
static_assert(offsetof(U3dResultHeader, pointCount) == 32);
static_assert(offsetof(U3dResultHeader, lineCount) == 36);
static_assert(offsetof(U3dResultHeader, hasKeyLight) == 40);
static_assert(offsetof(U3dResultHeader, keyLightYaw) == 44);
static_assert(offsetof(U3dResultHeader, keyLightPitch) == 48);
static_assert(offsetof(U3dResultHeader, textureWidth) == 52);
static_assert(offsetof(U3dResultHeader, textureHeight) == 56);
static_assert(offsetof(U3dResultHeader, nodeCount) == 60);
static_assert(offsetof(U3dResultHeader, viewCount) == 64);
static_assert(offsetof(U3dResultHeader, materialCount) == 68);
static_assert(offsetof(U3dResultHeader, lightCount) == 72);
static_assert(offsetof(U3dResultHeader, hasNormals) == 76);

static_assert(sizeof(NodeRecord) == 188);
static_assert(offsetof(NodeRecord, index) == 128);
static_assert(offsetof(NodeRecord, parent) == 132);
static_assert(offsetof(NodeRecord, firstTriangle) == 136);
static_assert(offsetof(NodeRecord, triangleCount) == 140);
static_assert(offsetof(NodeRecord, firstPoint) == 144);
static_assert(offsetof(NodeRecord, pointCount) == 148);
static_assert(offsetof(NodeRecord, firstLine) == 152);
static_assert(offsetof(NodeRecord, lineCount) == 156);
static_assert(offsetof(NodeRecord, boundsMin) == 160);
static_assert(offsetof(NodeRecord, boundsMax) == 172);
static_assert(offsetof(NodeRecord, valid) == 184);

static_assert(sizeof(ViewRecord) == 172);
static_assert(offsetof(ViewRecord, rotation) == 128);
static_assert(offsetof(ViewRecord, fieldOfView) == 164);
static_assert(offsetof(ViewRecord, valid) == 168);

static_assert(sizeof(MaterialRecord) == 60);
static_assert(offsetof(MaterialRecord, reflectivity) == 48);
static_assert(offsetof(MaterialRecord, opacity) == 52);
static_assert(offsetof(MaterialRecord, transparent) == 56);

static_assert(sizeof(LightRecord) == 64);
static_assert(offsetof(LightRecord, colour) == 4);
static_assert(offsetof(LightRecord, intensity) == 16);
static_assert(offsetof(LightRecord, attenuation) == 20);
static_assert(offsetof(LightRecord, spotHalfAngle) == 32);
static_assert(offsetof(LightRecord, spotExponent) == 36);
static_assert(offsetof(LightRecord, position) == 40);
static_assert(offsetof(LightRecord, direction) == 52);

constexpr size_t kDefaultViewBlockBytes = 36;
constexpr uint32_t kNoParent = 0xFFFFFFFFu;
constexpr uint32_t kMaxLightRecords = 8;

// 256 MiB; a payload of exactly this size is still sent.
constexpr uint64_t kPayloadLimitBytes = 268435456u;

enum class StreamForm { Prc, U3d };

// Fills a 128-byte name field of a node or view record: at most 127 bytes of text, cut
// before an embedded NUL and never inside a UTF-8 sequence, then zeros to the end.
constexpr size_t kRecordNameBytes = 128;
void copyRecordName(char* field, const char* text, size_t length);

// Writes the bytes to standard output; true only when all of them were accepted.
// A length of 0 writes nothing and succeeds, whatever the pointer.
bool writeOutput(const void* bytes, size_t length);

// Writes the error record of the given form (header + message, no NUL), flushes
// standard output in every case and returns 0 when delivered, 1 otherwise.
int writeErrorRecord(StreamForm form, const char* message);
// The bytes of that record, for a writer that cannot build it when the time comes.
std::vector<uint8_t> errorRecordBytes(StreamForm form, const char* message);

// Payload sizes in 64-bit arithmetic, header not counted.
uint64_t prcPayloadSize(uint32_t vertexCount, uint32_t triangleCount, uint32_t nodeCount,
                        bool hasDefaultView);

struct U3dPayloadCounts {
    uint64_t vertexCount = 0;
    uint64_t triangleCount = 0;
    uint64_t pointCount = 0;
    uint64_t lineCount = 0;
    uint64_t nodeCount = 0;
    uint64_t viewCount = 0;
    uint64_t lightCount = 0;
    uint64_t materialCount = 0;
    uint64_t textureWidth = 0;
    uint64_t textureHeight = 0;
    bool hasTextureCoordinates = false;
    bool hasNormals = false;
    bool hasMaterials = false;
};
uint64_t u3dPayloadSize(const U3dPayloadCounts& counts);

inline bool payloadWithinLimit(uint64_t payloadBytes) { return payloadBytes <= kPayloadLimitBytes; }

// Writes a sequence of pieces and stops at the first failed write: nothing after it is
// attempted. Writes go to standard output, or to memory for tests and fuzzers.
class StreamWriter {
public:
    StreamWriter() = default;
    explicit StreamWriter(std::vector<uint8_t>* memory) : memory_(memory) {}

    bool write(const void* bytes, size_t length);
    bool ok() const { return ok_; }

private:
    std::vector<uint8_t>* memory_ = nullptr;
    bool ok_ = true;
};

// Flushes standard output and ends the process at once (no exit handlers, no static
// destructors): exit code 0 when every write succeeded, 1 otherwise.
[[noreturn]] void endProcessAfterStream(bool allWritesSucceeded);
