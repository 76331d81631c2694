#include "audio/mapped_file.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "app/error.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#define VELTRANE_MMAP 1
#endif

namespace veltrane {

MappedFile::MappedFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
#ifdef VELTRANE_MMAP
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Error(Errc::Open, path, errno_text());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::string cause = S_ISDIR(st.st_mode) ? "it is a folder" : errno_text();
        ::close(fd);
        throw Error(Errc::Read, path, cause);
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        map_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map_ == MAP_FAILED) {
            const std::string cause = errno_text();
            ::close(fd);
            map_ = nullptr;
            throw Error(Errc::Read, path, cause);
        }
        ::madvise(map_, size_, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(map_);
    }
    ::close(fd);
#else
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(Errc::Open, path, errno_text());
    copy_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    data_ = copy_.data();
    size_ = copy_.size();
#endif
}

MappedFile::~MappedFile() {
#ifdef VELTRANE_MMAP
    if (map_) ::munmap(map_, size_);
#endif
}

}  // namespace veltrane
