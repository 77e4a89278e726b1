// The inflated sections of one PRC file. Each section is inflated at most once, and the
// bytes handed to the readers of the file add up to at most a budget, so that neither a
// zlib bomb nor one section named by many file structures can multiply the work.
#pragma once

#include "prc/container/inflate_section.h"
#include "prc/container/prc_file_header.h"
#include "runtime/input_file.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <vector>

// No real file comes near this: the largest inflate to about 13 times their size.
inline constexpr uint64_t kInflateBudgetFloor = uint64_t{64} << 20;
inline constexpr uint64_t kInflateBudgetPerFileByte = 64;

// The larger of the floor and 64 bytes per byte of the file.
uint64_t inflateBudgetFor(uint64_t fileSize);

// Thrown when the file needs more inflated bytes than its budget: the whole file is
// undecodable. Not a std::runtime_error, so that no reader's recovery swallows it.
class InflateBudgetExceeded : public std::exception {
public:
    const char* what() const noexcept override { return "inflated sections exceed the file's budget"; }
};

// Inflated bytes held by InflatedSections.
struct SectionBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

class InflatedSections {
public:
    // Sections named by the header are counted so that their bytes can be let go once
    // the last reader that the header announces is done with them. When data is the
    // mapped input, the pages of a section go once it is inflated: it is not inflated
    // again unless asked for after its last announced use.
    InflatedSections(const uint8_t* data, uint64_t size, const PrcFileHeader* header = nullptr,
                     const InputBytes* input = nullptr);
    // The inflations running keep a pointer to it.
    InflatedSections(const InflatedSections&) = delete;
    InflatedSections& operator=(const InflatedSections&) = delete;

    // The inflated bytes between two offsets of the file. Throws std::runtime_error when
    // the range lies outside the file or does not inflate (every time it is asked for,
    // without inflating again), InflateBudgetExceeded when the budget runs out.
    SectionBytes bytes(uint32_t start, uint32_t end);
    // The last reader the header announces for the range has read its first bytesRead
    // bytes and reads them no more: their pages go as the reading advances. A use that
    // is not announced inflates the range again.
    void readUpTo(uint32_t start, uint32_t end, size_t bytesRead);

    // A reading from start to end. For the last reader the header announces, the bytes
    // are inflated as extend asks for them, so that with readUpTo only a stretch of the
    // section is held at a time; otherwise the same as bytes(). A failure met while
    // reading is thrown again by every later call, finish included. Until finish, the
    // range must not be asked for by bytes() or released: its bytes would go.
    SectionBytes open(uint32_t start, uint32_t end);
    // At least needed bytes of an open range, or all of them when it is shorter.
    SectionBytes extend(uint32_t start, uint32_t end, size_t needed);
    // Ends the reading: the rest of the range is inflated without being kept. Throws
    // where bytes() would have thrown for the range, so that what was read of a section
    // that turns out damaged or over the budget can be dropped.
    void finish(uint32_t start, uint32_t end);
    // One reader is done with the range; its bytes go when no announced use is left.
    void release(uint32_t start, uint32_t end);

    const uint8_t* data() const { return data_; }
    uint64_t size() const { return size_; }
    uint64_t handedOut() const { return handedOut_; }

private:
    struct Section {
        InflatedBytes bytes;
        bool inflated = false;
        // What made it fail, for finish to throw again; later uses fail without inflating.
        std::exception_ptr failure;
        uint32_t usesLeft = 0;
        size_t discardedUpTo = 0;
        // While the last announced reader reads the range as it is inflated.
        std::unique_ptr<SectionInflater> streaming;
        bool budgetBinds = false;
        uint32_t inputDropped = 0;
    };

    static uint64_t key(uint32_t start, uint32_t end) { return uint64_t{start} << 32 | end; }
    Section& rangeAt(uint32_t start, uint32_t end);
    SectionInputRead inputReadFor(Section& section, uint32_t start);
    // The inflation limit of a section inflated now: the budget left, where it binds.
    uint64_t limitFor(Section& section) const;
    // Runs inflate; a failure is kept with the section and goes on as bytes() throws it.
    template <typename Inflate>
    void inflating(Section& section, Inflate&& inflate);
    // Hands out size bytes more, or throws InflateBudgetExceeded.
    void payFor(size_t size);

    const uint8_t* data_;
    uint64_t size_;
    const InputBytes* input_;
    uint64_t budget_;
    uint64_t handedOut_ = 0;
    std::map<uint64_t, Section> sections_;
};
