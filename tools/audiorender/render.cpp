// floobaudio: renders a compiled song through libmodplug with the game's own settings
// into a WAV file for listening, and prints what a reviewer checks.
//   floobaudio MODULE OUTPUT.wav
// A song that loops is rendered to its length plus five seconds, so the join can be heard.
#include <libmodplug/modplug.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "audio/music.h"
#include "audio/sound.h"

static std::vector<uint8_t> read_all(const char* path) {
    std::vector<uint8_t> data;
    FILE* f = fopen(path, "rb");
    if (!f) return data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

static void put32(FILE* f, uint32_t v) {
    uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
    fwrite(b, 1, 4, f);
}

static void put16(FILE* f, uint32_t v) {
    uint8_t b[2] = {(uint8_t)v, (uint8_t)(v >> 8)};
    fwrite(b, 1, 2, f);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: floobaudio MODULE OUTPUT.wav\n");
        return 2;
    }
    std::vector<uint8_t> data = read_all(argv[1]);
    audio_frequency = 22050;
    audio_channels = 2;
    music_apply_settings();
    ModPlugFile* module = data.empty() ? nullptr : ModPlug_Load(data.data(), (int)data.size());
    if (!module) {
        fprintf(stderr, "floobaudio: %s: libmodplug does not load it\n", argv[1]);
        return 1;
    }
    ModPlug_SetMasterVolume(module, 128);
    int32_t length_ms = ModPlug_GetLength(module);
    int32_t limit = (length_ms + 5000) * 22050 / 1000;
    std::vector<int16_t> pcm;
    int16_t buffer[2048];
    int32_t ended = 0;
    while ((int32_t)pcm.size() / 2 < limit) {
        int got = ModPlug_Read(module, buffer, sizeof buffer);
        pcm.insert(pcm.end(), buffer, buffer + got / 2);
        if (got < (int)sizeof buffer) {
            ended = 1;
            break;
        }
    }
    ModPlug_Unload(module);
    double peak = 0, sum = 0;
    int32_t quiet = 0, longest_quiet = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        int32_t a = abs(pcm[i]) > abs(pcm[i + 1]) ? abs(pcm[i]) : abs(pcm[i + 1]);
        peak = fmax(peak, a);
        sum += (double)pcm[i] * pcm[i] + (double)pcm[i + 1] * pcm[i + 1];
        quiet = a < 100 ? quiet + 1 : 0;  // below -50 dBFS
        if (quiet > longest_quiet) longest_quiet = quiet;
    }
    double rms = pcm.empty() ? 0 : sqrt(sum / pcm.size());
    printf("%s: %s, length %.2f s, peak %.1f dBFS, rms %.1f dBFS, longest quiet stretch %.2f s\n", argv[1],
           ended ? "ends" : "loops", length_ms / 1000.0, 20 * log10(fmax(peak, 1) / 32768.0),
           20 * log10(fmax(rms, 1) / 32768.0), longest_quiet / 22050.0);
    FILE* out = fopen(argv[2], "wb");
    if (!out) {
        fprintf(stderr, "floobaudio: %s: cannot write\n", argv[2]);
        return 1;
    }
    uint32_t bytes = (uint32_t)pcm.size() * 2;
    fwrite("RIFF", 1, 4, out);
    put32(out, 36 + bytes);
    fwrite("WAVEfmt ", 1, 8, out);
    put32(out, 16);
    put16(out, 1);
    put16(out, 2);
    put32(out, 22050);
    put32(out, 22050 * 4);
    put16(out, 4);
    put16(out, 16);
    fwrite("data", 1, 4, out);
    put32(out, bytes);
    fwrite(pcm.data(), 2, pcm.size(), out);
    fclose(out);
    return 0;
}
