#pragma once
// The one file a fuzz target hands its input to the library through: in a folder of this process's own
// below the temporary folder, removed when the process ends.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace mellodeck::fuzz {

// The scratch file's path, e.g. ScratchPath("mp3", "input.mp3"); the folder is made on the first call.
inline const std::filesystem::path& ScratchPath(const std::string& target, const std::string& fileName) {
    // Never freed: the exit handler that removes the folder runs after static objects are gone.
    static const std::filesystem::path* path = [&] {
        const auto folder =
            std::filesystem::temp_directory_path() / ("mellodeck-fuzz-" + target + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        auto* file = new std::filesystem::path(folder / fileName);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchPath("", "").parent_path(), ignored);
        });
        return file;
    }();
    return *path;
}

// Writes the input to the scratch file; false when it could not be written whole.
inline bool WriteScratch(const std::filesystem::path& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace mellodeck::fuzz
