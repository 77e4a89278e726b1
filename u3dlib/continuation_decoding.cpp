#include "u3dlib/continuation_decoding.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <numeric>
#include <system_error>
#include <thread>

namespace u3dlib {

Block blockAtHeader(const uint8_t* header)
{
    const std::span<const uint8_t> fields(header, kBlockHeaderSize);
    Block block;
    block.type = loadU32LittleEndian(fields, 0);
    block.dataSize = loadU32LittleEndian(fields, 4);
    block.metaDataSize = loadU32LittleEndian(fields, 8);
    block.data = {header + kBlockHeaderSize, block.dataSize};
    block.metaData = {header + kBlockHeaderSize + paddedTo4(block.dataSize), block.metaDataSize};
    block.size = kBlockHeaderSize + paddedTo4(block.dataSize) + paddedTo4(block.metaDataSize);
    return block;
}

unsigned decodingThreadsFor(const std::vector<ResourceContinuations>& resources)
{
    uint64_t bytes = 0;
    for (const ResourceContinuations& resource : resources)
        bytes += resource.bytes;
    const uint64_t processors = std::max(1u, std::thread::hardware_concurrency());
    const uint64_t worth = std::max<uint64_t>(1, bytes / kContinuationBytesPerThread);
    return static_cast<unsigned>(
        std::min<uint64_t>({processors, worth, uint64_t{kMaxDecodingThreads}, std::max<uint64_t>(1, resources.size())}));
}

void decodeContinuations(std::vector<ResourceContinuations>& resources, DecoderOptions options, unsigned threads)
{
    // Largest first, so that the longest decoding starts at once and the short ones
    // fill in around it.
    std::vector<size_t> order(resources.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return resources[a].bytes > resources[b].bytes; });
    std::vector<std::exception_ptr> failures(resources.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next.fetch_add(1); i < order.size(); i = next.fetch_add(1)) {
            ResourceContinuations& resource = resources[order[i]];
            if (!resource.decoder)
                continue;
            try {
                for (const uint8_t* header : resource.blockHeaders)
                    if (!resource.decoder->lost())
                        resource.decoder->readContinuation(blockAtHeader(header), options);
                // No later block of this file can change it, so its geometry is made
                // here, beside the others' decoding, rather than on one thread when asked.
                resource.decoder->geometry();
            } catch (...) {
                failures[order[i]] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threads > 0 ? threads - 1 : 0);
        for (unsigned t = 1; t < threads; ++t)
            helpers.emplace_back(work);
    } catch (...) {
        // No more threads (or no memory for one) to be had: those started share the work.
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

} // namespace u3dlib
