#include "core/data_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string sizeInWords(std::uint64_t bytes)
{
    if (bytes >= (1u << 20)) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    if (bytes >= (1u << 10)) {
        return std::to_string(bytes >> 10) + " KiB";
    }
    return std::to_string(bytes) + " bytes";
}

std::string reasonOf(int error)
{
    switch (error) {
    case ENOENT: return kNoSuchFile;
    case EACCES: return "permission denied";
    case ELOOP: return "too many levels of symbolic links";
    case ENOTDIR: return "a folder on its path is not a folder";
    }
    return std::generic_category().message(error);
}

}  // namespace

bool readDataFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes, std::string& failure)
{
    bytes.clear();
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        failure = reasonOf(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        failure = "is a directory, not a file";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        failure = "is not a regular file (a pipe or a device?)";
        return false;
    }
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        failure =
            "is " + sizeInWords(status.st_size) + ", more than the " + sizeInWords(maxBytes) + " such a file may have";
        return false;
    }
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        failure = reasonOf(errno);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (got != bytes.size() || std::ferror(file.get())) {
        failure = std::ferror(file.get()) ? "cannot be read: " + reasonOf(errno) : "became shorter while being read";
        bytes.clear();
        return false;
    }
    return true;
}
