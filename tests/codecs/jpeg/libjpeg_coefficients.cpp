#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "tests/codecs/jpeg/jpeg_test_support.h"

namespace jpeg_test {

namespace {

struct ErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void Leave(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1); }

}  // namespace

std::vector<LibjpegPlane> LibjpegCoefficients(const std::vector<uint8_t>& jpeg) {
  jpeg_decompress_struct decompress{};
  ErrorExit errors{};
  decompress.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = &Leave;
  std::vector<LibjpegPlane> planes;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&decompress);
    return {};
  }
  jpeg_create_decompress(&decompress);
  jpeg_mem_src(&decompress, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&decompress, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&decompress);
  for (int c = 0; c < decompress.num_components; ++c) {
    const jpeg_component_info& info = decompress.comp_info[c];
    LibjpegPlane plane;
    plane.width = static_cast<int>(info.width_in_blocks);
    plane.height = static_cast<int>(info.height_in_blocks);
    for (int row = 0; row < plane.height; ++row) {
      JBLOCKARRAY blocks = decompress.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&decompress), arrays[c],
                                                              static_cast<JDIMENSION>(row), 1, FALSE);
      for (int column = 0; column < plane.width; ++column) {
        plane.blocks.insert(plane.blocks.end(), blocks[0][column], blocks[0][column] + DCTSIZE2);
      }
    }
    planes.push_back(std::move(plane));
  }
  jpeg_finish_decompress(&decompress);
  jpeg_destroy_decompress(&decompress);
  return planes;
}

}  // namespace jpeg_test
