/*
 * The voice library: speech frames in G.711 A-law and µ-law, IMA/DVI4 ADPCM
 * and G.726 ADPCM at 16 to 40 kbit/s, each in one or two framings, at 8000
 * samples per second.  A C interface; every function returns 0 on success or
 * one of the QX_VOICE_E_ codes below.
 *
 * A frame is a sequence of 16-bit little-endian words: the marker
 * QX_VOICE_FRAME_MARKER, the payload length in words (L), then L payload
 * words.  A decoder reads no more than 2 + L words of the frame it is given.
 */
#ifndef ORLENTA_QX_VOICE_H
#define ORLENTA_QX_VOICE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QX_VOICE_EXPORT __attribute__((visibility("default")))

/* Bytes of a state block.  A coder uses its start; the transcoder keeps its
 * encoder there and its decoder at byte 2048. */
#define QX_VOICE_STATE_SIZE 2112
/* The most samples one frame carries; a decoder's PCM buffer needs this room. */
#define QX_VOICE_MAX_SAMPLES 481
/* Bytes of a frame buffer that holds any frame QX_VOICE_EncodeFrame writes
 * and any frame QX_VOICE_TransCodeFrame writes back (raw IMA/DVI4 grows by
 * two words when it is framed). */
#define QX_VOICE_FRAME_CAPACITY 484
/* Bytes QX_VOICE_GetVersion writes, the terminating zero included. */
#define QX_VOICE_VERSION_SIZE 42

#define QX_VOICE_FRAME_MARKER 0x0100

/* Codec codes. */
#define QX_VOICE_G711_ALAW 1          /* two codes a word, the earlier in the low byte */
#define QX_VOICE_G711_ULAW 2
#define QX_VOICE_IMA 3                /* predictor, step index, codes high nibble first */
#define QX_VOICE_G726_16 4            /* codes least significant bit first */
#define QX_VOICE_G726_24 5
#define QX_VOICE_G726_32 6
#define QX_VOICE_G726_40 7
#define QX_VOICE_IMA_FIRST_SAMPLE 35  /* first sample whole, codes low nibble first */
#define QX_VOICE_G726_16_MSB 36       /* codes most significant bit first */
#define QX_VOICE_G726_24_MSB 37
#define QX_VOICE_G726_32_MSB 38
#define QX_VOICE_G726_40_MSB 39
#define QX_VOICE_G711_ALAW_RAW 65     /* the earlier code in the high byte */
#define QX_VOICE_G711_ULAW_RAW 66
#define QX_VOICE_IMA_RAW 67           /* codes only; the state runs on between frames */
#define QX_VOICE_G726_16_WORDS 68     /* eight codes a word, the first in bits 15-14 */

/* Transcoder codes: source coding to target coding. */
#define QX_VOICE_TRANSCODE_ALAW 97    /* 65 to 1 */
#define QX_VOICE_TRANSCODE_ULAW 98    /* 66 to 2 */
#define QX_VOICE_TRANSCODE_IMA 99     /* 67 to 3 */
#define QX_VOICE_TRANSCODE_G726 100   /* 68 to 4 */

/* Results. */
#define QX_VOICE_OK 0u
#define QX_VOICE_E_ENC_CODEC 0xA1220001u    /* encoder: unsupported codec code */
#define QX_VOICE_E_ENC_COUNT 0xA1220002u    /* encoder: sample count outside 1..481 */
#define QX_VOICE_E_DEC_CODEC 0xA1220011u    /* decoder: unsupported codec code */
#define QX_VOICE_E_DEC_LENGTH 0xA1220012u   /* decoder: length the codec does not allow */
#define QX_VOICE_E_DEC_HEADER 0xA1220013u   /* decoder: marker bits 9-8 are not 01 */
#define QX_VOICE_E_NULL_STATE 0xA1220101u
#define QX_VOICE_E_NULL_INPUT 0xA1220102u   /* the PCM to encode, the frame to decode */
#define QX_VOICE_E_NULL_OUTPUT 0xA1220103u  /* the frame to fill, the PCM or count to fill */
#define QX_VOICE_E_TRANS_NULL_STATE 0xA1221001u
#define QX_VOICE_E_TRANS_CODEC 0xA1221002u
#define QX_VOICE_E_VERSION_BUFFER 0xFFFFFFFFu

/* Opaque to the caller: its first 16-bit word is the code of the last reset. */
typedef struct QxVoiceState {
  uint32_t opaque[QX_VOICE_STATE_SIZE / 4];
} QxVoiceState;

typedef struct QxVoiceFrameHeader {
  uint16_t marker; /* QX_VOICE_FRAME_MARKER */
  uint16_t length; /* payload words */
} QxVoiceFrameHeader;

/* Copies "QX_VOICE_VERSION=..." and its zero into QX_VOICE_VERSION_SIZE bytes. */
QX_VOICE_EXPORT uint32_t QX_VOICE_GetVersion(char* buffer);

/* Reset the state for a codec code.  An unsupported code is stored all the
 * same, so that later frames fail with the codec error. */
QX_VOICE_EXPORT uint32_t QX_VOICE_EncReset(QxVoiceState* state, uint16_t code);
QX_VOICE_EXPORT uint32_t QX_VOICE_DecReset(QxVoiceState* state, uint16_t code);

/* Codes `count` samples (1..481) into a frame of at most
 * QX_VOICE_FRAME_CAPACITY bytes.  Samples that do not fill a whole word of
 * codes are coded but not carried. */
QX_VOICE_EXPORT uint32_t QX_VOICE_EncodeFrame(QxVoiceState* state, const int16_t* pcm, void* frame,
                                              int16_t count);

/* Decodes a frame into at most QX_VOICE_MAX_SAMPLES samples and stores their
 * number in *count (0 on failure).  Codes 36 to 39 rewrite the caller's
 * payload into least significant bit first order. */
QX_VOICE_EXPORT uint32_t QX_VOICE_DecodeFrame(QxVoiceState* state, void* frame, int16_t* pcm,
                                              uint16_t* count);

/* Sets a state block up for one of the transcoder codes 97 to 100. */
QX_VOICE_EXPORT uint32_t QX_VOICE_TransCodeReset(QxVoiceState* state, int16_t code);

/* Transcodes a frame in place; the buffer needs QX_VOICE_FRAME_CAPACITY bytes
 * and is never read or written beyond them: a G.711 frame whose length names
 * more payload than that is refused with QX_VOICE_E_DEC_LENGTH. */
QX_VOICE_EXPORT uint32_t QX_VOICE_TransCodeFrame(QxVoiceState* state, void* frame);

#ifdef __cplusplus
}
#endif

#endif
