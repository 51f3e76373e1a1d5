// Writing a picture as an 8-bit RGB PNG file through libpng.
#pragma once

#include <string>

#include "platform/error.h"
#include "views/raster.h"

namespace tidemark::views {

// Writes `picture` to `path` (replaced when it exists). 5 when the file
// cannot be created, 9 when writing fails (the partial file is removed).
[[nodiscard]] Error WritePng(const Raster& picture, const std::string& path);

}  // namespace tidemark::views
