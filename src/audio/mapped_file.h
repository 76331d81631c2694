#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace veltrane {

// A whole file, read-only, mapped into memory (the system pages it in as the scan
// goes, so memory use does not grow with the file). A path that names no file maps
// as an empty file and nothing is created; a file that cannot be read throws Error.
class MappedFile {
  public:
    explicit MappedFile(const std::filesystem::path& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* map_ = nullptr;
    std::vector<std::uint8_t> copy_;  // where mapping is not available
};

}  // namespace veltrane
