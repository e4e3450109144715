/* A C program built against qx_voice.h: encodes a µ-law frame, decodes it,
 * and checks that the round trip is G.711's (re-coding the decoded samples
 * gives the same frame). */
#include <stdio.h>
#include <string.h>

#include "codecs/audio/qx_voice.h"

int main(void) {
  char version[QX_VOICE_VERSION_SIZE];
  QxVoiceState encoder, decoder;
  int16_t pcm[160], decoded[QX_VOICE_MAX_SAMPLES];
  uint8_t frame[QX_VOICE_FRAME_CAPACITY], again[QX_VOICE_FRAME_CAPACITY];
  QxVoiceFrameHeader header;
  uint16_t count = 0;
  int i;

  for (i = 0; i < 160; ++i) pcm[i] = (int16_t)((i * 2731) % 60000 - 30000);
  if (QX_VOICE_GetVersion(version) != QX_VOICE_OK || strncmp(version, "QX_VOICE_VERSION=", 17) != 0) {
    fprintf(stderr, "version\n");
    return 1;
  }
  if (QX_VOICE_EncReset(&encoder, QX_VOICE_G711_ULAW) != QX_VOICE_OK ||
      QX_VOICE_DecReset(&decoder, QX_VOICE_G711_ULAW) != QX_VOICE_OK) {
    fprintf(stderr, "reset\n");
    return 1;
  }
  if (QX_VOICE_EncodeFrame(&encoder, pcm, frame, 160) != QX_VOICE_OK) {
    fprintf(stderr, "encode\n");
    return 1;
  }
  memcpy(&header, frame, sizeof header);
  if (header.marker != QX_VOICE_FRAME_MARKER || header.length != 80) {
    fprintf(stderr, "header %04x %u\n", header.marker, header.length);
    return 1;
  }
  if (QX_VOICE_DecodeFrame(&decoder, frame, decoded, &count) != QX_VOICE_OK || count != 160) {
    fprintf(stderr, "decode: %u samples\n", count);
    return 1;
  }
  for (i = 0; i < 160; ++i) {
    const int error = decoded[i] - pcm[i];
    /* µ-law's largest step is 1024. */
    if (error < -1024 || error > 1024) {
      fprintf(stderr, "sample %d: %d for %d\n", i, decoded[i], pcm[i]);
      return 1;
    }
  }
  if (QX_VOICE_EncodeFrame(&encoder, decoded, again, 160) != QX_VOICE_OK ||
      memcmp(frame, again, 4 + 2 * 80) != 0) {
    fprintf(stderr, "re-coding the decoded frame changed it\n");
    return 1;
  }
  printf("round trip of a µ-law frame: 160 samples\n");
  return 0;
}
