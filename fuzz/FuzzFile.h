#pragma once

// For targets whose parser reads a file: the input written to a file of this process's own
// temporary folder (made once, reused for every input).

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace brasslane::fuzz {

inline std::filesystem::path InputFile(const std::uint8_t* data, std::size_t size, const std::string& name) {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("brasslane-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const std::filesystem::path file = folder / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file;
}

} // namespace brasslane::fuzz
