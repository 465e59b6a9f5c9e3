#include "audio/music.h"

#include <SDL_mixer.h>
#include <libmodplug/modplug.h>
#include <stdlib.h>
#include <string.h>

#include "audio/sound.h"
#include "floob.h"
#include "storage/archive.h"
#include "storage/config.h"
#include "storage/recording.h"

int32_t music_repeat = -1;
int32_t music_current_volume = 128;
int32_t music_user_volume = 128;
int32_t music_fade_step = 1;
ModPlugFile* music_hooked = nullptr;

// Where the last tick read lay in the song: a step back means the module
// followed its own jump to its restart entry. pass_ending: the song has reached
// its end and libmodplug is fading out its last notes.
static int32_t pass_order = 0;
static int32_t pass_row = 0;
static int32_t pass_ending = 0;
static int32_t tick_frames_left = 0;

// A fade-in rises one step per FADE_STEP_FRAMES rendered frames, whatever buffers the
// sound device asks for; fade_frames_left counts down to the next step.
static const int32_t FADE_STEP_FRAMES = 1024;
static int32_t fade_frames_left = 0;

static const char* const SONG_NAMES[SONG_COUNT] = {
    "0.floob2-title", "1.gofloob", "2.watchout-part2", "3.stressed", "4.faster",        "5.watchout", "6.inahurry",
    "7.floob2",       "8.journey", "9.runrunrun",      "10.chaos",   "x.levelcomplete", "y.jingle"};

static const char* const SONG_TITLES[11] = {
    "Floob 2 (Intro)", "Go, Floob!", "Watchout (Pt. 2)", "Stressed",    "Faster", "Watchout",
    "In A Hurry",      "Floob 2",    "Journey",          "Run Run Run", "Chaos"};

const char* song_entry_name(int32_t id) {
    if (id < 0 || id >= SONG_COUNT) return "";
    return SONG_NAMES[id];
}

// Songs 11 and 12 have no title; they give the empty text.
const char* song_title(int32_t id) {
    if (id < 0 || id > 10) return "";
    return SONG_TITLES[id];
}

void music_apply_settings() {
    ModPlug_Settings settings;
    ModPlug_GetSettings(&settings);
    settings.mFlags = mp_flags;
    settings.mChannels = audio_channels;
    settings.mBits = 16;
    settings.mFrequency = audio_frequency;
    settings.mResamplingMode = mp_resampling_mode;
    settings.mStereoSeparation = 128;
    settings.mMaxMixChannels = 32;
    settings.mReverbDepth = mp_reverb_depth;
    settings.mReverbDelay = mp_reverb_delay;
    settings.mBassAmount = mp_bass_amount;
    settings.mBassRange = mp_bass_range;
    settings.mSurroundDepth = mp_surround_depth;
    settings.mSurroundDelay = mp_surround_delay;
    // A looping song follows its own jump back to its restart entry inside
    // libmodplug, so the join is as seamless as any other pattern change; a
    // song that plays once still ends, and the passes are counted here.
    settings.mLoopCount = -1;
    ModPlug_SetSettings(&settings);
}

ModPlugFile* music_load(int32_t id) {
    if (id < 0 || id >= SONG_COUNT) return nullptr;
    recording_note_sound(2, id);
    uint32_t size = 0;
    uint8_t* data = archive_load(ARCHIVE_MUSIC, SONG_NAMES[id], "mod", &size);
    music_repeat = -1;
    if (!data) return nullptr;
    music_apply_settings();
    ModPlugFile* module = ModPlug_Load(data, (int)size);
    free(data);
    return module;
}

static void rewind_module(ModPlugFile* module) {
    ModPlug_Seek(module, 0);
    pass_order = 0;
    pass_row = 0;
    pass_ending = 0;
    tick_frames_left = 0;
}

// Without a sound device nothing is attached, so no song is ever playing.
void music_play(ModPlugFile* module, int32_t repeat) {
    if (module) recording_note_sound(1, repeat);
    if (!module || audio_silent) return;
    music_repeat = repeat;
    music_apply_settings();
    ModPlug_SetMasterVolume(module, (unsigned int)music_current_volume);
    rewind_module(module);
    Mix_HookMusic(music_mix, module);
    music_hooked = module;
}

void music_fade_in_and_play(ModPlugFile* module, int32_t repeat) {
    if (music_user_volume <= 0 || audio_silent) return;
    music_current_volume = 1;
    music_fade_step = 1;
    fade_frames_left = 0;
    music_play(module, repeat);
}

void music_free(ModPlugFile* module) {
    if (!module) return;
    Mix_HookMusic(nullptr, nullptr);
    music_hooked = nullptr;
    ModPlug_Unload(module);
}

void music_set_volume(int32_t volume) {
    if (music_hooked) ModPlug_SetMasterVolume(music_hooked, (unsigned int)volume);
    music_current_volume = volume;
    music_user_volume = volume;
}

// Whether a song is still playing depends on the sound device's timing; a
// recording keeps the answers so that its playback takes the same turns.
bool music_is_playing() { return recording_music_answer(music_hooked ? 1 : 0) != 0; }

// Frames libmodplug renders for one tick at the module's current tempo.
static int32_t frames_per_tick(ModPlugFile* module) {
    int32_t tempo = ModPlug_GetCurrentTempo(module);
    if (tempo < 32) tempo = 32;
    int32_t frames = audio_frequency * 5 * 128 / (tempo << 8);
    return frames > 0 ? frames : 1;
}

// Reads the module tick by tick, so that the tick where a pass ends is found
// exactly: either the song steps back to its restart entry by itself, or it
// reaches its end (libmodplug then fades its last notes out over 100 ms and
// pads with silence). When another pass follows, a song that ended is rewound
// at once and its fade thrown away, so the next pass starts on time; after
// the last pass, the tick that would begin another one is dropped, or the fade
// of a song that ended is kept. Returns the bytes of the pass or passes read;
// the rest of the buffer is then silence.
static int read_passes(ModPlugFile* module, uint8_t* stream, int length) {
    int32_t frame_bytes = (audio_channels > 0 ? audio_channels : 2) * 2;
    int done = 0;
    int rewinds = 0;
    while (done < length) {
        if (tick_frames_left <= 0) tick_frames_left = frames_per_tick(module);
        int want = tick_frames_left * frame_bytes;
        if (want > length - done) want = length - done;
        int got = ModPlug_Read(module, stream + done, want);
        int32_t order = ModPlug_GetCurrentOrder(module);
        int32_t row = ModPlug_GetCurrentRow(module);
        int wrapped = order < pass_order || (order == pass_order && row < pass_row);
        int ended = !pass_ending && ModPlug_GetCurrentPattern(module) == 255;
        pass_order = order;
        pass_row = row;
        int last = music_repeat == 0 || music_repeat == 1;
        if ((wrapped && last) || (ended && !last && rewinds > 0)) {
            memset(stream + done, 0, (size_t)(length - done));
            return done;
        }
        if (ended && !last) {
            // One rewind per buffer, so that a module without a single tick cannot spin here.
            if (music_repeat > 0) music_repeat--;
            rewind_module(module);
            rewinds++;
            continue;
        }
        if (ended) pass_ending = 1;
        if (wrapped && music_repeat > 0) music_repeat--;
        done += got;
        tick_frames_left -= got / frame_bytes;
        if (got < want) {
            memset(stream + done, 0, (size_t)(length - done));
            return done;
        }
    }
    return done;
}

void music_mix(void* user_data, uint8_t* stream, int length) {
    ModPlugFile* module = (ModPlugFile*)user_data;
    if (music_current_volume != music_user_volume && music_current_volume > 0) {
        // The steps due by the start of this buffer are taken at once, so that the fade
        // lasts the same on every buffer size.
        while (fade_frames_left <= 0 && music_current_volume != music_user_volume) {
            music_current_volume += music_fade_step;
            fade_frames_left += FADE_STEP_FRAMES;
        }
        fade_frames_left -= length / ((audio_channels > 0 ? audio_channels : 2) * 2);
        ModPlug_SetMasterVolume(module, (unsigned int)music_current_volume);
    }
    int produced = read_passes(module, stream, length);
    int ended = produced < length;
    if (ended) {
        if (music_repeat > 0) music_repeat--;
        // The next pass starts in the same buffer, so the join has no gap.
        if (music_repeat != 0) {
            rewind_module(module);
            produced += read_passes(module, stream + produced, length - produced);
        }
    }
    // libmodplug never goes below volume 1, so a volume of 0 is made silent here.
    if (music_current_volume <= 0 && produced > 0) memset(stream, 0, (size_t)produced);
    if (!ended || music_repeat != 0) return;
    Mix_HookMusic(nullptr, nullptr);
    music_hooked = nullptr;
}
