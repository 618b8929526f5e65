// The keys a track sounds, resolved offline by the player's own tracks: the same notes the
// player sends, each under the track that made it, with the block type and the chord tones.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockRefer.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "play/PlayFixture.h"
#include "play/engine/MplyKeyLane.h"

namespace key_lane_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::RecordingOutput;
using kv_test::run_offline;

// The note-ons of an offline run in the form the lane gives them, sorted: "TICK KEY VEL LEN".
std::vector<std::string> played(MseqMusic* music) {
    RecordingOutput out;
    run_offline(music, 0, &out);
    std::vector<std::string> lines;
    for (const std::string& call : out.only("note-on")) {
        std::istringstream in(call);
        int tick = 0, channel = 0, key = 0, velocity = 0, length = 0;
        std::string kind;
        in >> tick >> kind >> channel >> key >> velocity >> length;
        lines.push_back(std::to_string(tick) + " " + std::to_string(key) + " " +
                        std::to_string(velocity) + " " + std::to_string(length));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> lines(const std::vector<MplyResolvedKeys>& parts) {
    std::vector<std::string> out;
    for (const MplyResolvedKeys& keys : parts) {
        for (const MplyLaneNote& n : keys.notes)
            out.push_back(std::to_string(n.tick) + " " + std::to_string(n.key) + " " +
                          std::to_string(n.velocity) + " " + std::to_string(n.length));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Two note tracks on one channel, with lags, a length ratio and a velocity ratio, and a phrase
// track: every note comes back under its own track, as the player sends it.
TEST(PlyKeyLane, EachTrackGetsTheNotesThePlayerSends) {
    Library lib;
    auto* a = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    auto* b = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 8);
    a->m_STime = 15;
    a->m_LRate = 50;
    a->m_ETime = 7;
    b->m_VRate = 50;
    a->put_block(0, note(MNBT_PURE, 0, 5, 0, 2));  // C5 over two quarters
    a->put_block(2, note(MNBT_CDEG, 1));           // E of the built-in C major
    b->put_block(1, note(MNBT_PURE, 1, 5));        // D5, an eighth
    b->put_block(3, note(MNBT_SDEG, 4));           // G
    MseqObject* phrase_node = nullptr;
    MseqPhrase* phrase = lib.add_phrase("riff", &phrase_node);
    add_track<MseqTrackNote>(phrase, MTYPE_TRACK_NOTE, 4)->put_block(1, note(MNBT_PURE, 4, 4));
    auto* refer = add_track<MseqTrackRefer>(lib.music, MTYPE_TRACK_REFER, 1);
    MseqBlockRefer block;
    block.m_PhraseID = Library::ref(phrase_node);
    block.m_Length = 1;
    refer->put_block(1, block);

    const auto all = MplyKeyLane::resolve(*lib.music, 0, INT32_MAX);
    ASSERT_EQ(all.size(), 3u);
    const MplyResolvedKeys& ka = all.at(a->owner->id);
    const MplyResolvedKeys& kb = all.at(b->owner->id);
    const MplyResolvedKeys& kr = all.at(refer->owner->id);
    EXPECT_EQ(lines({ka}), (std::vector<std::string>{"15 60 100 487", "975 64 100 247"}));
    EXPECT_EQ(lines({kb}), (std::vector<std::string>{"240 62 50 240", "720 67 50 240"}));
    EXPECT_EQ(lines({kr}), (std::vector<std::string>{"2400 55 100 480"}));
    EXPECT_EQ(lines({ka, kb, kr}), played(lib.music));

    EXPECT_EQ(ka.notes[0].block_type, MNBT_PURE);
    EXPECT_EQ(ka.notes[1].block_type, MNBT_CDEG);
    EXPECT_EQ(kb.notes[1].block_type, MNBT_SDEG);
    // C, E and G are tones of the built-in C major; D is not.
    EXPECT_TRUE(ka.notes[0].chord_tone);
    EXPECT_TRUE(ka.notes[1].chord_tone);
    EXPECT_FALSE(kb.notes[0].chord_tone);
    EXPECT_TRUE(kb.notes[1].chord_tone);
    EXPECT_TRUE(kr.notes[0].chord_tone);
    EXPECT_FALSE(ka.map_missing);

    const MplyResolvedKeys one = MplyKeyLane::resolve_track(*lib.music, b->owner->id, 0, 2000);
    EXPECT_EQ(lines({one}), lines({kb}));
}

// A range keeps what sounds in it: a note begun before it and still sounding is kept, one that
// has ended is not, one that starts at its end is not.
TEST(PlyKeyLane, ARangeKeepsWhatSoundsInIt) {
    Library lib;
    auto* t = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    t->put_block(0, note(MNBT_PURE, 0, 5, 0, 1));  // 0-480
    t->put_block(1, note(MNBT_PURE, 1, 5, 0, 4));  // 480-2400
    t->put_block(8, note(MNBT_PURE, 2, 5, 0, 1));  // 3840
    t->put_block(9, note(MNBT_PURE, 3, 5, 0, 1));  // 4320
    const MplyResolvedKeys keys = MplyKeyLane::resolve_track(*lib.music, t->owner->id, 2000, 4320);
    EXPECT_EQ(lines({keys}), (std::vector<std::string>{"3840 64 100 480", "480 62 100 1920"}));
    EXPECT_TRUE(MplyKeyLane::resolve_track(*lib.music, t->owner->id, 4800, 9000).notes.empty());
    EXPECT_TRUE(MplyKeyLane::resolve(*lib.music, 100, 100).empty());
}

// The chord in effect decides the chord tones and moves the chord degrees; a chord track whose
// map cannot be found gives the keys the player plays without it, and says so.
TEST(PlyKeyLane, ChordsMoveTheNotesAndAMissingMapIsReported) {
    Library lib;
    MseqObject* map_node = nullptr;
    lib.add_chord_map("key", &map_node);
    auto* chords = add_track<MseqTrackChord>(lib.music, MTYPE_TRACK_CHORD, 1, MID_TRACK_HEADER);
    chords->m_MapID = Library::ref(map_node);
    auto* notes = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    notes->m_TrackChordID = chords->owner->id;
    notes->m_Octave = 5;
    MseqBlockChord d_minor;
    d_minor.m_Type = "m";
    d_minor.m_Flags = MCHORD_NO_KEY;
    d_minor.m_Root = 2;
    d_minor.key_count = 3;
    d_minor.keys[1].m_Key = 3;
    d_minor.keys[2].m_Key = 7;
    chords->put_block(0, d_minor);
    notes->put_block(0, note(MNBT_CDEG, 1));  // the third of D minor: F
    notes->put_block(1, note(MNBT_TONE, 0));  // C: not in D minor
    notes->put_block(2, note(MNBT_TONE, 5));  // A: the fifth
    const MSEQ_ID id = notes->owner->id;
    MplyResolvedKeys keys = MplyKeyLane::resolve_track(*lib.music, id, 0, INT32_MAX);
    EXPECT_EQ(lines({keys}), played(lib.music));
    ASSERT_EQ(keys.notes.size(), 3u);
    EXPECT_EQ(keys.notes[0].key % 12, 5);
    EXPECT_TRUE(keys.notes[0].chord_tone);
    EXPECT_FALSE(keys.notes[1].chord_tone);
    EXPECT_TRUE(keys.notes[2].chord_tone);
    EXPECT_FALSE(keys.map_missing);

    Library lost;
    auto* nowhere = add_track<MseqTrackChord>(lost.music, MTYPE_TRACK_CHORD, 1, MID_TRACK_HEADER);
    nowhere->m_MapID = mseq_with_file_number(0x7777, 2);  // a map that is nowhere
    auto* tones = add_track<MseqTrackNote>(lost.music, MTYPE_TRACK_NOTE, 4);
    tones->m_TrackChordID = nowhere->owner->id;
    tones->m_Octave = 5;
    tones->put_block(0, note(MNBT_TONE, 2));
    tones->put_block(1, note(MNBT_SDEG, 0));
    keys = MplyKeyLane::resolve_track(*lost.music, tones->owner->id, 0, INT32_MAX);
    EXPECT_EQ(lines({keys}), played(lost.music));
    EXPECT_EQ(lines({keys}), (std::vector<std::string>{"0 64 100 480"}));
    EXPECT_TRUE(keys.map_missing);
    EXPECT_EQ(keys.skipped, 1);  // a scale degree needs a map
}

}  // namespace key_lane_test
