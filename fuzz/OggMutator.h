#pragma once

#include <cstddef>
#include <cstdint>

// Mutations for fuzz targets whose input is an Ogg file. Byte mutations alone
// rarely get past the page checksums, so most mutated inputs have their
// checksums made valid again, and some mutations work on whole pages
// (duplicate, drop, swap, renumber, a new granule position), the damage real
// files show. Linking OggMutator.cpp into a fuzz target makes it libFuzzer's
// mutator there.

// Sets the checksum of every complete page in the buffer.
void fixOggChecksums(std::uint8_t* data, std::size_t size);

// One mutation of the file in `data`; returns the new size (at most maxSize).
std::size_t mutateOgg(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned int seed);
