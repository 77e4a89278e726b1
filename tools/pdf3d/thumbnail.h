// A small software rendering of a result stream for a preview picture: z-buffer,
// two-sided lighting by the normals (or face normals), the model's own colours.
#pragma once

#include "tools/result_stream_reader.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kDefaultThumbnailSize = 512;
inline constexpr uint32_t kMaxThumbnailSize = 4096;

// RGB pixels, size x size, rows from the top. Looks along the stream's default view
// when it has one, else from a three-quarter view above the front right.
std::vector<uint8_t> renderThumbnail(const ParsedResultStream& stream, uint32_t size);

bool writeThumbnailPng(const ParsedResultStream& stream, uint32_t size, const std::string& path, std::string& error);
