// The tracker module writer behind the song compiler: XM with 16-bit samples.
#ifndef DATAC_SYNTH_XM_H
#define DATAC_SYNTH_XM_H

#include <stdint.h>

#include <string>
#include <vector>

// One pattern cell. note: 0 none, 1..96 (1 = C in octave 0), 97 key off.
struct XmCell {
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

struct XmPattern {
    int32_t rows = 64;
    std::vector<XmCell> cells;  // rows * channels, row-major
};

struct XmEnvelopePoint {
    uint16_t tick, value;  // value 0..64
};

struct XmInstrument {
    std::string name;
    std::vector<int16_t> sample;
    int32_t loop_start = 0, loop_length = 0;  // in samples; no loop when the length is 0
    uint8_t volume = 64, panning = 128;
    int8_t relative_note = 0, finetune = 0;
    std::vector<XmEnvelopePoint> envelope;  // empty: no volume envelope
    int32_t sustain_point = -1;
    uint16_t fadeout = 0;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
};

struct XmSong {
    std::string name;
    int32_t channels = 8;  // even, 2..32
    int32_t speed = 6, bpm = 125, restart = 0;
    std::vector<uint8_t> order;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

void encode_xm(const XmSong& song, std::vector<uint8_t>& out);

// Relative note and finetune that make note 49 (C in octave 4) play a sample at the given rate.
void tune_for_rate(double rate, int8_t& relative_note, int8_t& finetune);

#endif
