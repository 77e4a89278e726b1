#include "tests/support/files.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder()
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() /
                             ("qvtest_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path ScratchFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    fs::path file = path_ / fs::u8path(name);
    fs::create_directories(file.parent_path());
    writeFileBytes(file, bytes);
    return file;
}

std::vector<uint8_t> readFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

fs::path corpusFolder()
{
    std::error_code ec;
    fs::path folder = fs::u8path(QV_CORPUS_DIR);
    return fs::is_directory(folder, ec) ? folder : fs::path();
}

std::vector<fs::path> corpusFiles(const std::string& subfolder, const std::string& extension)
{
    std::vector<fs::path> files;
    const fs::path root = corpusFolder();
    std::error_code ec;
    if (root.empty() || !fs::is_directory(root / subfolder, ec))
        return files;
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    for (const auto& entry : fs::directory_iterator(root / subfolder, ec))
        if (entry.is_regular_file() && lower(entry.path().extension().string()) == lower(extension))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string pathUtf8(const fs::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}
