#include "Instruments.h"

#include <string>

namespace kv_data {

void setup_phrase(MseqMusic& phrase, std::string_view name, const MseqBlockWord& program,
                  int32_t tempo) {
    phrase.name = jp(name);
    phrase.m_Program = program;
    phrase.m_Tempo = tempo;
}

std::vector<Voice> voices(MseqMusic& music, const std::vector<std::string_view>& names,
                          const std::vector<Pitch>& pitches, int32_t beat, int32_t channel,
                          int32_t octave, int32_t length_rate) {
    if (names.size() != pitches.size()) fail("voices and pitches do not pair up");
    std::vector<Voice> out;
    for (size_t i = 0; i < names.size(); ++i)
        out.push_back(
            {add_note_track(music, names[i], beat, channel, octave, length_rate), pitches[i]});
    return out;
}

int32_t comp(const std::vector<Voice>& parts, int32_t start, std::string_view rhythm,
             const HitTable& hits) {
    int32_t end = start;
    for (const Voice& v : parts)
        end = grid(v.track, start, rhythm, v.pitch, hits);
    return end;
}

std::vector<Voice> six_strings(MseqMusic& music, int32_t beat, int32_t channel, int32_t spread,
                               int32_t length_rate) {
    std::vector<Voice> strings =
        voices(music,
               {say("6弦", "String 6"), say("5弦", "String 5"), say("4弦", "String 4"),
                say("3弦", "String 3"), say("2弦", "String 2"), say("1弦", "String 1")},
               {chord_degree(-1), chord_degree(0), chord_degree(1), chord_degree(2),
                chord_degree(3), chord_degree(4)},
               beat, channel, 4, length_rate);
    for (size_t i = 0; i < strings.size(); ++i)
        strings[i].track->m_STime = spread * static_cast<int32_t>(i);
    return strings;
}

namespace {

// The hits of string `k` (6 to 1) for a strum on a grid of `unit` ticks a step.
HitTable strum_hits(int k, int32_t spread, int32_t unit) {
    const bool upper = k <= 4;  // up-strokes reach the four upper strings only
    const int32_t up_start = spread * (k - 1);
    const int32_t short_chord = 70 - unit;
    const int32_t scratch = 30 - unit;
    HitTable t;
    t['D'] = Hit{112};
    t['d'] = Hit{92};
    t['U'] = upper ? Hit{100, MNBF_OWN_STIME, up_start} : Hit{0};
    t['u'] = upper ? Hit{78, MNBF_OWN_STIME, up_start} : Hit{0};
    t['C'] = Hit{110, MNBF_OWN_ETIME, 0, short_chord};
    t['c'] = Hit{90, MNBF_OWN_ETIME, 0, short_chord};
    t['m'] = k <= 5 ? Hit{52, MNBF_OWN_ETIME, 0, scratch} : Hit{0};
    t['n'] = upper ? Hit{46, MNBF_OWN_STIME | MNBF_OWN_ETIME, up_start, scratch} : Hit{0};
    return t;
}

}  // namespace

int32_t strum(const std::vector<Voice>& strings, int32_t start, std::string_view rhythm,
              int32_t spread) {
    if (strings.size() != 6) fail("a strum needs six strings");
    int32_t end = start;
    for (size_t i = 0; i < strings.size(); ++i) {
        const int k = 6 - static_cast<int>(i);
        const int32_t unit = MseqTrack::kTicksPerBar / strings[i].track->m_Beat;
        end = grid(strings[i].track, start, rhythm, strings[i].pitch, strum_hits(k, spread, unit));
    }
    return end;
}

std::vector<Voice> four_strings(MseqMusic& music, int32_t beat, int32_t channel) {
    return voices(music,
                  {say("4弦", "String 4"), say("3弦", "String 3"), say("2弦", "String 2"),
                   say("1弦", "String 1")},
                  {chord_degree(0), chord_degree(2), chord_degree(0, 1), chord_degree(1, 1)}, beat,
                  channel, 3, 100);
}

void drum_kit(MseqMusic& music, int32_t beat, const std::vector<DrumPart>& parts) {
    for (const DrumPart& p : parts) {
        MseqTrackNote* t = add_drum_track(music, p.name, p.note, beat);
        grid(t, 0, p.pattern, rhythm_note());
    }
}

}  // namespace kv_data
