// Elementary streams made with the ffmpeg tool, read back as bytes for the
// header parsers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// Runs ffmpeg with args followed by out and returns the file's bytes; on
// failure adds a test failure with ffmpeg's message and returns nothing.
std::vector<uint8_t> EncodeStream(const std::vector<std::string>& args,
                                  const std::filesystem::path& out);

// Whether this ffmpeg build has the named encoder.
bool HasEncoder(const std::string& name);

// Copies of data's first n bytes in a buffer of exactly n bytes, so that a
// parser reading one byte too far trips the address sanitizer.
std::vector<uint8_t> Prefix(const std::vector<uint8_t>& data, size_t n);

// Deterministic noise of 1 to maxSize bytes that begins with head (as much
// of it as fits), for feeding parsers damaged data.
std::vector<uint8_t> Noise(std::mt19937& random, size_t maxSize, const std::vector<uint8_t>& head = {});
