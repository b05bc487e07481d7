#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace datagen {

namespace {

[[noreturn]] void throwFileError(const std::filesystem::path& path, const std::string& what, int error)
{
    throw std::runtime_error("cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

void writeBytesAtomically(const std::filesystem::path& path, const void* data, std::size_t size)
{
    const std::filesystem::path partial = partialPath(path);
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr)
        throwFileError(partial, "create", errno);
    const bool written = std::fwrite(data, 1, size, file) == size;
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        const int error = written ? errno : writeError;
        std::remove(partial.c_str());
        throwFileError(partial, "write", error);
    }
    commitPartialFile(path);
}

}  // namespace

std::filesystem::path partialPath(const std::filesystem::path& path)
{
    std::filesystem::path partial = path;
    partial += ".partial";
    return partial;
}

void writeFileAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    writeBytesAtomically(path, bytes.data(), bytes.size());
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view text)
{
    writeBytesAtomically(path, text.data(), text.size());
}

void commitPartialFile(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::rename(partialPath(path), path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(partialPath(path), ignored);
        throw std::runtime_error("cannot rename " + partialPath(path).string() + " to " + path.string() + ": " +
                                 error.message());
    }
}

}  // namespace datagen
