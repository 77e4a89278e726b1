#include "prc/container/inflated_sections.h"

#include "prc/container/inflate_section.h"
#include "runtime/platform.h"

#include <algorithm>
#include <stdexcept>

uint64_t inflateBudgetFor(uint64_t fileSize)
{
    const uint64_t scaled = fileSize > UINT64_MAX / kInflateBudgetPerFileByte ? UINT64_MAX
                                                                              : fileSize * kInflateBudgetPerFileByte;
    return std::max(kInflateBudgetFloor, scaled);
}

InflatedSections::InflatedSections(const uint8_t* data, uint64_t size, const PrcFileHeader* header,
                                   const InputBytes* input)
    : data_(data), size_(data != nullptr ? size : 0), input_(input), budget_(inflateBudgetFor(size_))
{
    if (header == nullptr)
        return;
    // Globals, tree and tessellations of every file structure: the ranges between its
    // second and fifth offsets.
    constexpr size_t kFirstSection = 1;
    constexpr size_t kLastSectionEnd = 4;
    for (const FileStructureDescriptor& descriptor : header->fileStructures) {
        const std::vector<uint32_t>& offsets = descriptor.sectionOffsets;
        for (size_t i = kFirstSection; i < kLastSectionEnd && i + 1 < offsets.size(); ++i)
            sections_[key(offsets[i], offsets[i + 1])].usesLeft += 1;
    }
}

SectionBytes InflatedSections::bytes(uint32_t start, uint32_t end)
{
    if (!(start < end && end <= size_))
        throw std::runtime_error("sezione vuota o fuori dal file");
    Section& section = sections_[key(start, end)];
    if (section.failed)
        throw std::runtime_error("sezione non decomprimibile");
    if (section.discardedUpTo > 0) {
        section.bytes = InflatedBytes{};
        section.inflated = false;
        section.discardedUpTo = 0;
    }
    if (!section.inflated) {
        const uint64_t left = budget_ - handedOut_;
        const bool budgetBinds = left < kInflateSafetyLimit;
        // The file's pages go as they are inflated, and the rest at the end.
        uint32_t dropped = 0;
        const auto inputRead = [&](size_t read) {
            input_->dropPages(start + dropped, static_cast<uint32_t>(read) - dropped);
            dropped = static_cast<uint32_t>(read);
        };
        try {
            section.bytes = inflateSectionBytes(data_ + start, end - start,
                                                budgetBinds ? static_cast<size_t>(left) : kInflateSafetyLimit,
                                                input_ != nullptr ? SectionInputRead(inputRead) : SectionInputRead());
        } catch (const InflateLimitExceeded&) {
            section.failed = true;
            if (budgetBinds)
                throw InflateBudgetExceeded();
            throw;
        } catch (const std::runtime_error&) {
            section.failed = true;
            throw;
        }
        section.inflated = true;
        if (input_ != nullptr)
            input_->dropPages(start, end - start);
    }
    if (section.bytes.size > budget_ - handedOut_)
        throw InflateBudgetExceeded();
    handedOut_ += section.bytes.size;
    return {section.bytes.data.get(), section.bytes.size};
}

void InflatedSections::readUpTo(uint32_t start, uint32_t end, size_t bytesRead)
{
    // Fewer, larger steps: each is a system call.
    constexpr size_t kDiscardStepBytes = size_t{256} << 10;
    const auto found = sections_.find(key(start, end));
    if (found == sections_.end())
        return;
    Section& section = found->second;
    if (!section.inflated || section.usesLeft > 1)
        return;
    bytesRead = std::min(bytesRead, section.bytes.size);
    if (bytesRead < section.discardedUpTo + kDiscardStepBytes)
        return;
    // From the start each time, so that the page a step ended in goes with the next one.
    dropWholePages(section.bytes.data.get(), bytesRead);
    section.discardedUpTo = bytesRead;
}

void InflatedSections::release(uint32_t start, uint32_t end)
{
    const auto found = sections_.find(key(start, end));
    if (found == sections_.end())
        return;
    Section& section = found->second;
    if (section.usesLeft > 0)
        section.usesLeft -= 1;
    if (section.usesLeft == 0 && section.inflated) {
        // A use that the header did not announce inflates again, and pays again.
        section.bytes = InflatedBytes{};
        section.inflated = false;
    }
}
