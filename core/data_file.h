// Reading one of the show's data files whole, with the same rules for every
// kind: only a regular file is opened (a FIFO or a device would block or never
// end), and one larger than its kind allows is refused before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The failure for a path where there is nothing at all.
inline constexpr const char* kNoSuchFile = "no such file";

// False, with `failure` saying why in words for a user ("no such file",
// "is a directory", "is 40 MiB, more than the 32 MiB a model may have", ...).
bool readDataFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes,
                  std::string& failure);
