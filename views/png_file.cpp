#include "views/png_file.h"

#include <png.h>

#include <cstdio>

#include "platform/error_numbers.h"

namespace tidemark::views {
namespace {

// libpng reports errors by longjmp; everything touched after setjmp is kept
// in plain locals that the jump does not need to unwind.
Error WriteRows(std::FILE* file, const Raster& picture) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return err::kOutOfMemory;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return err::kOutOfMemory;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return err::kWriteFailed;
  }
  png_init_io(png, file);
  // Flat areas dominate these pictures: the fast zlib level with the Sub
  // filter keeps files small without spending time on the search.
  png_set_compression_level(png, 3);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()), static_cast<png_uint_32>(picture.height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int y = 0; y < picture.height(); ++y) png_write_row(png, picture.row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return err::kOk;
}

}  // namespace

Error WritePng(const Raster& picture, const std::string& path) {
  if (picture.width() <= 0 || picture.height() <= 0) return err::kSizeLimit;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return err::kCreateFailed;
  Error rc = WriteRows(file, picture);
  if (std::fclose(file) != 0 && !rc) rc = err::kWriteFailed;
  if (rc) std::remove(path.c_str());
  return rc;
}

}  // namespace tidemark::views
