#include "runtime/result_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void copyRecordName(char* field, const char* text, size_t length)
{
    std::memset(field, 0, kRecordNameBytes);
    if (text == nullptr)
        return;
    const void* nul = std::memchr(text, 0, length);
    if (nul != nullptr)
        length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    if (length > kRecordNameBytes - 1) {
        length = kRecordNameBytes - 1;
        // A cut inside a multi-byte character would leave a broken sequence at the end.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, text, length);
}

bool writeOutput(const void* bytes, size_t length)
{
    if (length == 0)
        return true;
    if (bytes == nullptr)
        return false;
    return std::fwrite(bytes, 1, length, stdout) == length;
}

std::vector<uint8_t> errorRecordBytes(StreamForm form, const char* message)
{
    const size_t length = message ? std::strlen(message) : 0;
    const size_t headerBytes = form == StreamForm::Prc ? sizeof(PrcResultHeader) : sizeof(U3dResultHeader);
    std::vector<uint8_t> record(headerBytes + length);
    if (form == StreamForm::Prc) {
        PrcResultHeader header{};
        header.messageLength = static_cast<uint32_t>(length);
        header.status = 2;
        std::memcpy(record.data(), &header, sizeof header);
    } else {
        U3dResultHeader header{};
        header.messageLength = static_cast<uint32_t>(length);
        std::memcpy(record.data(), &header, sizeof header);
    }
    if (length > 0)
        std::memcpy(record.data() + headerBytes, message, length);
    return record;
}

int writeErrorRecord(StreamForm form, const char* message)
{
    const std::vector<uint8_t> record = errorRecordBytes(form, message);
    const bool delivered = writeOutput(record.data(), record.size());
    // A flush that fails means the bytes never reached the parent.
    const bool flushed = std::fflush(stdout) == 0;
    return delivered && flushed ? 0 : 1;
}

uint64_t prcPayloadSize(uint32_t vertexCount, uint32_t triangleCount, uint32_t nodeCount,
                        bool hasDefaultView)
{
    return 15ull * vertexCount + 12ull * triangleCount + 188ull * nodeCount +
           (hasDefaultView ? kDefaultViewBlockBytes : 0);
}

uint64_t u3dPayloadSize(const U3dPayloadCounts& c)
{
    // Every count fits in 32 bits (W and H in 13), so no term can overflow 64 bits.
    uint64_t size = 15 * c.vertexCount + 12 * c.triangleCount + 4 * c.pointCount + 8 * c.lineCount +
                    188 * c.nodeCount + 172 * c.viewCount + 64 * c.lightCount +
                    4 * c.textureWidth * c.textureHeight;
    if (c.hasTextureCoordinates)
        size += 8 * c.vertexCount;
    if (c.hasNormals)
        size += 12 * c.vertexCount;
    if (c.hasMaterials)
        size += 60 * c.materialCount + 2 * c.vertexCount;
    return size;
}

bool StreamWriter::write(const void* bytes, size_t length)
{
    if (!ok_)
        return false;
    if (memory_ == nullptr) {
        ok_ = writeOutput(bytes, length);
    } else if (length > 0) {
        ok_ = bytes != nullptr;
        if (ok_) {
            const auto* p = static_cast<const uint8_t*>(bytes);
            memory_->insert(memory_->end(), p, p + length);
        }
    }
    return ok_;
}

void endProcessAfterStream(bool allWritesSucceeded)
{
    const bool flushed = std::fflush(stdout) == 0;
    std::_Exit(allWritesSucceeded && flushed ? 0 : 1);
}
