#include "tools/vyxmux/mpeg4_headers.h"

#include "tools/vyxmux/bit_reader.h"

namespace {

enum : uint32_t { kShapeRectangular = 0, kShapeGrayscale = 3 };

}  // namespace

uint32_t ParseMpeg4VisualObjectVerid(const uint8_t* data, size_t size) {
  BitReader bits(data, size);
  if (!bits.ReadFlag()) return 1;  // is_visual_object_identifier
  const uint32_t verid = bits.ReadBits(4);
  return bits.overrun() ? 1 : verid;
}

std::optional<Mpeg4VideoObjectLayer> ParseMpeg4VideoObjectLayer(const uint8_t* data, size_t size,
                                                                uint32_t visualObjectVerid) {
  BitReader bits(data, size);
  bool markersSet = true;
  auto marker = [&] { markersSet = bits.ReadFlag() && markersSet; };

  bits.SkipBits(1 + 8);  // random_accessible_vol, video_object_type_indication
  uint32_t verid = visualObjectVerid;
  if (bits.ReadFlag()) {  // is_object_layer_identifier
    verid = bits.ReadBits(4);
    bits.SkipBits(3);     // video_object_layer_priority
  }
  if (bits.ReadBits(4) == 0xF) bits.SkipBits(16);  // extended PAR: par_width, par_height
  if (bits.ReadFlag()) {   // vol_control_parameters
    bits.SkipBits(2 + 1);  // chroma_format, low_delay
    if (bits.ReadFlag()) { // vbv_parameters
      bits.SkipBits(15); marker();  // first_half_bit_rate
      bits.SkipBits(15); marker();  // latter_half_bit_rate
      bits.SkipBits(15); marker();  // first_half_vbv_buffer_size
      bits.SkipBits(3);             // latter_half_vbv_buffer_size
      bits.SkipBits(11); marker();  // first_half_vbv_occupancy
      bits.SkipBits(15); marker();  // latter_half_vbv_occupancy
    }
  }
  const uint32_t shape = bits.ReadBits(2);
  if (shape == kShapeGrayscale && verid != 1) bits.SkipBits(4);  // shape extension
  marker();
  const uint32_t timeIncrementResolution = bits.ReadBits(16);
  marker();
  if (timeIncrementResolution == 0) return std::nullopt;
  if (bits.ReadFlag()) {  // fixed_vop_rate
    int incrementBits = 1;
    while (incrementBits < 16 && (1u << incrementBits) < timeIncrementResolution) ++incrementBits;
    bits.SkipBits(incrementBits);  // fixed_vop_time_increment
  }
  Mpeg4VideoObjectLayer layer;
  layer.rectangular = shape == kShapeRectangular;
  if (layer.rectangular) {
    marker();
    layer.width = static_cast<uint16_t>(bits.ReadBits(13));
    marker();
    layer.height = static_cast<uint16_t>(bits.ReadBits(13));
    marker();
    if (layer.width == 0 || layer.height == 0) return std::nullopt;
  }
  if (bits.overrun() || !markersSet) return std::nullopt;
  return layer;
}
