// File helpers for tests: scratch folders, whole-file reads and writes, the real corpus.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its content.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file below the folder and returns its full path.
    std::filesystem::path write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// The folder of real test files (shared corpus), or an empty path when absent.
std::filesystem::path corpusFolder();
// Files of a corpus subfolder with the given extension (case-insensitive), sorted.
std::vector<std::filesystem::path> corpusFiles(const std::string& subfolder, const std::string& extension);

// UTF-8 form of a path, as the workers take it on their command line.
std::string pathUtf8(const std::filesystem::path& path);
