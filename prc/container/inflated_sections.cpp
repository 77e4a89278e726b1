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

InflatedSections::Section& InflatedSections::rangeAt(uint32_t start, uint32_t end)
{
    if (!(start < end && end <= size_))
        throw std::runtime_error("sezione vuota o fuori dal file");
    Section& section = sections_[key(start, end)];
    if (section.failure)
        throw std::runtime_error("sezione non decomprimibile");
    return section;
}

SectionInputRead InflatedSections::inputReadFor(Section& section, uint32_t start)
{
    if (input_ == nullptr)
        return {};
    // The file's pages go as they are inflated, and the rest at the end.
    section.inputDropped = 0;
    return [this, &section, start](size_t read) {
        input_->dropPages(start + section.inputDropped, static_cast<uint32_t>(read) - section.inputDropped);
        section.inputDropped = static_cast<uint32_t>(read);
    };
}

uint64_t InflatedSections::limitFor(Section& section) const
{
    const uint64_t left = budget_ - handedOut_;
    section.budgetBinds = left < kInflateSafetyLimit;
    return section.budgetBinds ? left : kInflateSafetyLimit;
}

template <typename Inflate>
void InflatedSections::inflating(Section& section, Inflate&& inflate)
{
    // Whatever the failure, a running memory short included, it is kept for finish: the
    // reader may have swallowed it.
    try {
        inflate();
    } catch (const InflateLimitExceeded&) {
        section.streaming.reset();
        if (!section.budgetBinds) {
            section.failure = std::current_exception();
            throw;
        }
        section.failure = std::make_exception_ptr(InflateBudgetExceeded());
        throw InflateBudgetExceeded();
    } catch (...) {
        section.streaming.reset();
        section.failure = std::current_exception();
        throw;
    }
}

void InflatedSections::payFor(size_t size)
{
    if (size > budget_ - handedOut_)
        throw InflateBudgetExceeded();
    handedOut_ += size;
}

SectionBytes InflatedSections::bytes(uint32_t start, uint32_t end)
{
    Section& section = rangeAt(start, end);
    if (section.discardedUpTo > 0 || section.streaming) {
        section.bytes = InflatedBytes{};
        section.inflated = false;
        section.discardedUpTo = 0;
        section.streaming.reset();
    }
    if (!section.inflated) {
        const auto limit = static_cast<size_t>(limitFor(section));
        const SectionInputRead inputRead = inputReadFor(section, start);
        inflating(section, [&] { section.bytes = inflateSectionBytes(data_ + start, end - start, limit, inputRead); });
        section.inflated = true;
        if (input_ != nullptr)
            input_->dropPages(start, end - start);
    }
    payFor(section.bytes.size);
    return {section.bytes.data.get(), section.bytes.size};
}

SectionBytes InflatedSections::open(uint32_t start, uint32_t end)
{
    Section& section = rangeAt(start, end);
    if (section.inflated || section.usesLeft > 1)
        return bytes(start, end);
    const auto limit = static_cast<size_t>(limitFor(section));
    section.discardedUpTo = 0;
    section.streaming = std::make_unique<SectionInflater>(data_ + start, end - start, limit,
                                                          inputReadFor(section, start));
    return {section.streaming->data(), 0};
}

SectionBytes InflatedSections::extend(uint32_t start, uint32_t end, size_t needed)
{
    Section& section = rangeAt(start, end);
    if (!section.streaming) {
        if (!section.inflated)
            throw std::runtime_error("sezione non aperta");
        return {section.bytes.data.get(), section.bytes.size};
    }
    inflating(section, [&] { section.streaming->inflateTo(needed); });
    return {section.streaming->data(), section.streaming->size()};
}

void InflatedSections::finish(uint32_t start, uint32_t end)
{
    const auto found = sections_.find(key(start, end));
    if (found == sections_.end())
        return;
    Section& section = found->second;
    if (section.failure)
        std::rethrow_exception(section.failure);
    if (!section.streaming)
        return;
    inflating(section, [&] {
        section.streaming->inflateRestUnkept();
        payFor(section.streaming->size());
    });
    section.streaming.reset();
    section.discardedUpTo = 0;
    if (input_ != nullptr)
        input_->dropPages(start, end - start);
}

void InflatedSections::readUpTo(uint32_t start, uint32_t end, size_t bytesRead)
{
    // Fewer, larger steps: each is a system call.
    constexpr size_t kDiscardStepBytes = size_t{256} << 10;
    const auto found = sections_.find(key(start, end));
    if (found == sections_.end())
        return;
    Section& section = found->second;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (section.streaming) {
        bytes = section.streaming->data();
        size = section.streaming->size();
    } else if (section.inflated && section.usesLeft <= 1) {
        bytes = section.bytes.data.get();
        size = section.bytes.size;
    } else {
        return;
    }
    bytesRead = std::min(bytesRead, size);
    if (bytesRead < section.discardedUpTo + kDiscardStepBytes)
        return;
    // From the start each time, so that the page a step ended in goes with the next one.
    dropWholePages(bytes, bytesRead);
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
    if (section.usesLeft == 0 && (section.inflated || section.streaming)) {
        // A use that the header did not announce inflates again, and pays again.
        section.bytes = InflatedBytes{};
        section.inflated = false;
        section.streaming.reset();
    }
}
