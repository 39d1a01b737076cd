// A temporary folder with a stand-in for the copied program, and whole-file reads.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

class ContainerTestFolder
{
public:
    ContainerTestFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velko-container-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        mPath = pattern;
    }
    ~ContainerTestFolder() { std::filesystem::remove_all(mPath); }
    ContainerTestFolder(const ContainerTestFolder&) = delete;
    ContainerTestFolder& operator=(const ContainerTestFolder&) = delete;

    // A file of size bytes standing for the copied program.
    std::string program(const std::string& name, std::size_t size) const
    {
        const std::string path = (mPath / name).string();
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i)
            out.put(static_cast<char>(0xA0 + i % 32));
        return path;
    }

    const std::filesystem::path& path() const { return mPath; }

private:
    std::filesystem::path mPath;
};

inline std::vector<std::uint8_t> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t le32At(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return std::uint32_t(bytes.at(at)) | std::uint32_t(bytes.at(at + 1)) << 8 |
           std::uint32_t(bytes.at(at + 2)) << 16 | std::uint32_t(bytes.at(at + 3)) << 24;
}
