#pragma once

// A music holding every kind of track, with blocks in each: the sample the record tests and
// the golden files share.
#include <gtest/gtest.h>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"

template <class Track>
inline Track* add_track(MseqMusic& music, MSEQ_ID parent, MSEQ_TYPE type, const char* name) {
    MseqObject* node = music.create_track(parent, MPLACE_LAST_CHILD, type, CkvString(name));
    EXPECT_NE(node, nullptr) << name;
    ref_ptr<MseqEntity> e = mseq_open(node);
    return e->cast_to<Track>(type);
}

inline void fill_sample_music(MseqMusic& m) {
    auto* tempo = add_track<MseqTrackTempo>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO, "Tempo");
    tempo->m_Beat = 4;
    MseqBlockValue v;
    v.m_Value = 96;
    tempo->put_block(0, v);
    v.m_Value = 140;
    tempo->put_block(5, v);

    auto* lyric = add_track<MseqTrackLyric>(m, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, "Words");
    MseqBlockLabel label;
    label.m_Label = CkvString("la\tla\n" + kv_codec::cp932_from_utf8("ソ") + "\"\\");
    lyric->put_block(3, label);
    auto* marker = add_track<MseqTrackMarker>(m, MID_TRACK_HEADER, MTYPE_TRACK_MARKER, "Marks");
    marker->m_Flags = 3;
    label.m_Label = CkvString("Intro");
    marker->put_block(0, label);

    auto* chords = add_track<MseqTrackChord>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD, "Chords");
    chords->m_Beat = 2;
    chords->m_MapID = 0x200007;
    MseqBlockChord c;
    c.set_type(3);
    chords->put_block(0, c);
    chords->put_block(7, c);
    m.m_TrackChordID = mseq_make_id(1, mseq_serial(chords->owner->id));

    auto* link = add_track<MseqTrackChordMap>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD_MAP, "Key");
    MseqBlockLink l;
    l.m_LinkID = 0x200009;
    link->put_block(8, l);

    auto* text = add_track<MseqTrackText>(m, MID_TRACK_DETAIL, MTYPE_TRACK_TEXT, "Note");
    text->m_Text = CkvString("free text");

    auto* group = add_track<MseqTrackGroup>(m, MID_TRACK_DETAIL, MTYPE_TRACK_GROUP, "Band");
    group->m_Channel = 3;
    auto* notes = add_track<MseqTrackNote>(m, group->owner->id, MTYPE_TRACK_NOTE, "Bass");
    notes->m_Beat = 16;
    notes->m_Flags = 0;
    notes->m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, 36, CkvString("kick"));
    MseqBlockNote n;
    n.m_Type = MNBT_CDEG;
    n.m_Length = 4;
    n.m_Octave = -1;
    n.m_Velocity = 200;
    notes->put_block(5, n);
    n.m_Type = 9;
    n.m_Flags = 0x30;
    notes->put_block(12, n);
    auto* refer = add_track<MseqTrackRefer>(m, group->owner->id, MTYPE_TRACK_REFER, "Riffs");
    MseqBlockRefer r;
    r.m_Length = 8;
    r.m_PhraseID = 0x200004;
    r.m_StartMarker = CkvString("Main");
    r.m_Mode = MRBM_STRETCH;
    refer->put_block(0, r);

    auto* msg = add_track<MseqTrackMsg>(m, MID_TRACK_DETAIL, MTYPE_TRACK_MSG, "Pan");
    msg->m_Form = *MseqMsgFormMap::builtin().find(10);
    msg->m_Power = 150;
    v.m_Value = 20;
    msg->put_block(2, v);
}
