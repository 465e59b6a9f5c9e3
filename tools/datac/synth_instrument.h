// Instrument synthesis for the song compiler: tuned tones and drums as XM samples.
#ifndef DATAC_SYNTH_INSTRUMENT_H
#define DATAC_SYNTH_INSTRUMENT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "synth_text.h"
#include "synth_xm.h"

enum {
    INSTRUMENT_TONE,
    INSTRUMENT_KICK,
    INSTRUMENT_SNARE,
    INSTRUMENT_HAT,
    INSTRUMENT_CLAP,
    INSTRUMENT_TOM,
    INSTRUMENT_CRASH
};

struct InstrumentDef {
    std::string name;
    int32_t kind = INSTRUMENT_TONE;
    int32_t wave = 0;        // index into the tone shapes
    int32_t harmonics = 12;  // highest harmonic kept, 1..31
    double bright = 0;       // seconds over which upper harmonics fall to their floor (0: steady)
    double attack = 0.005, decay = 0.2, sustain = 1.0, release = 0.1;
    double pitch = 0;    // drums: base frequency in Hz (0: the kind's own)
    double length = 0;   // drums: decay time in seconds (0: the kind's own)
    double volume = 48;  // 0..64
    int32_t vibrato_depth = 0, vibrato_rate = 0;
};

// Reads one "key value..." line into the instrument; false with "file:line: ..." on error.
bool parse_instrument_key(const SourceLine& line, InstrumentDef& def, std::string& error);
// Kind from its word ("tone", "kick", ...); false when unknown.
bool instrument_kind_from_word(const std::string& word, int32_t& kind);

// Renders the sample, tuning and envelope. Envelope times are converted with the song's tempo.
void build_instrument(const InstrumentDef& def, int32_t bpm, double gain, XmInstrument& out);

#endif
