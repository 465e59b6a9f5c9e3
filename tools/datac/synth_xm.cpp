#include "synth_xm.h"

#include <math.h>
#include <string.h>

static void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back((uint8_t)v); }

static void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}

static void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

static void put_text(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; i++) put8(out, i < text.size() ? (uint8_t)text[i] : 0);
}

void tune_for_rate(double rate, int8_t& relative_note, int8_t& finetune) {
    double semitones = 12.0 * log2(rate / 8363.0);
    int32_t whole = (int32_t)lround(semitones);
    relative_note = (int8_t)whole;
    finetune = (int8_t)lround((semitones - whole) * 128.0);
}

static void encode_pattern(const XmPattern& pattern, int32_t channels, std::vector<uint8_t>& out) {
    std::vector<uint8_t> packed;
    for (const XmCell& c : pattern.cells) {
        uint8_t mask = 0x80;
        if (c.note) mask |= 1;
        if (c.instrument) mask |= 2;
        if (c.volume) mask |= 4;
        if (c.effect) mask |= 8;
        if (c.param) mask |= 16;
        put8(packed, mask);
        if (c.note) put8(packed, c.note);
        if (c.instrument) put8(packed, c.instrument);
        if (c.volume) put8(packed, c.volume);
        if (c.effect) put8(packed, c.effect);
        if (c.param) put8(packed, c.param);
    }
    (void)channels;
    put32(out, 9);
    put8(out, 0);
    put16(out, (uint32_t)pattern.rows);
    put16(out, (uint32_t)packed.size());
    out.insert(out.end(), packed.begin(), packed.end());
}

static void encode_instrument(const XmInstrument& ins, std::vector<uint8_t>& out) {
    put32(out, 263);
    put_text(out, ins.name, 22);
    put8(out, 0);
    put16(out, 1);
    put32(out, 40);
    for (int32_t i = 0; i < 96; i++) put8(out, 0);
    for (int32_t i = 0; i < 12; i++) {
        XmEnvelopePoint p = i < (int32_t)ins.envelope.size() ? ins.envelope[i] : XmEnvelopePoint{0, 0};
        put16(out, p.tick);
        put16(out, p.value);
    }
    for (int32_t i = 0; i < 12; i++) put32(out, 0);
    put8(out, (uint32_t)ins.envelope.size());
    put8(out, 0);
    put8(out, ins.sustain_point >= 0 ? (uint32_t)ins.sustain_point : 0);
    put8(out, 0);
    put8(out, 0);
    put8(out, 0);
    put8(out, 0);
    put8(out, 0);
    uint8_t type = 0;
    if (!ins.envelope.empty()) type |= 1;
    if (!ins.envelope.empty() && ins.sustain_point >= 0) type |= 2;
    put8(out, type);
    put8(out, 0);
    put8(out, ins.vibrato_type);
    put8(out, ins.vibrato_sweep);
    put8(out, ins.vibrato_depth);
    put8(out, ins.vibrato_rate);
    put16(out, ins.fadeout);
    for (int32_t i = 0; i < 22; i++) put8(out, 0);
    // The one sample: header, then the 16-bit data as differences.
    put32(out, (uint32_t)ins.sample.size() * 2);
    put32(out, (uint32_t)ins.loop_start * 2);
    put32(out, (uint32_t)ins.loop_length * 2);
    put8(out, ins.volume);
    put8(out, (uint8_t)ins.finetune);
    put8(out, (ins.loop_length > 0 ? 1 : 0) | 0x10);
    put8(out, ins.panning);
    put8(out, (uint8_t)ins.relative_note);
    put8(out, 0);
    put_text(out, ins.name, 22);
    int16_t previous = 0;
    for (int16_t s : ins.sample) {
        put16(out, (uint16_t)(int16_t)(s - previous));
        previous = s;
    }
}

void encode_xm(const XmSong& song, std::vector<uint8_t>& out) {
    out.clear();
    put_text(out, "Extended Module: ", 17);
    put_text(out, song.name, 20);
    put8(out, 0x1a);
    put_text(out, "floobdata", 20);
    put16(out, 0x0104);
    put32(out, 276);
    put16(out, (uint32_t)song.order.size());
    put16(out, (uint32_t)song.restart);
    put16(out, (uint32_t)song.channels);
    put16(out, (uint32_t)song.patterns.size());
    put16(out, (uint32_t)song.instruments.size());
    put16(out, 1);  // linear frequency table
    put16(out, (uint32_t)song.speed);
    put16(out, (uint32_t)song.bpm);
    for (int32_t i = 0; i < 256; i++) put8(out, i < (int32_t)song.order.size() ? song.order[i] : 0);
    for (const XmPattern& p : song.patterns) encode_pattern(p, song.channels, out);
    for (const XmInstrument& ins : song.instruments) encode_instrument(ins, out);
}
