// Offline playback throughput: a music of 16 tracks whose notes are half written directly on
// note tracks and half placed through phrase references, compiled and run to its end through
// an output that only counts what it receives. Prints events per second and the peak memory of
// the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <memory>

#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

namespace {

class CountingOutput : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
    int SendTempo(const MplyEventTempo&) override { return ++events, 1; }
    int SendNoteOn(const MplyEventNoteOn&) override { return ++events, 1; }
    int SendNoteOff(const MplyEventNoteOff&) override { return ++events, 1; }
    int SendControl(const MplyEventControl&) override { return ++events, 1; }
    int SendExclusive(const MplyEventExclusive&) override { return ++events, 1; }
    int SendText(const MplyEventString&) override { return ++events, 1; }
    int SendRawMessage(const MplyEventMsg&) override { return ++events, 1; }
    int64_t events = 0;
};

// A library in memory holding one music of 16 tracks with `notes` notes in all.
struct Song {
    static constexpr int kTracks = 8;        // of each kind
    static constexpr int kPhraseNotes = 16;  // one bar of sixteenths

    explicit Song(int64_t notes)
        : room_node(MID_ROOM, MTYPE_ROOM, CkvString("lib"), MseqDescPath(kPathWith)) {
        auto* room = new MseqRoom(&room_node);
        room_node.attach(room);
        MseqObject* book_node = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                                  CkvString("book"), MseqDescPath(kPathWith));
        mseq_factory(book_node);
        auto* book = book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        MseqObject* music_node = book->create_leaf(book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                                   CkvString("song"), MseqDescPath(kPathWith));
        music = mseq_open(music_node)->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        MseqObject* phrase_node = book->create_leaf(book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                                    CkvString("riff"), MseqDescPath(kPathWith));
        auto* phrase = mseq_open(phrase_node)->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE);
        auto* riff = track<MseqTrackNote>(phrase, MTYPE_TRACK_NOTE, 16);
        for (int i = 0; i < kPhraseNotes; ++i)
            riff->put_block(i, note(MNBT_SDEG, i % 7));

        const int64_t direct = notes / 2 / kTracks;
        const int64_t blocks = (notes - notes / 2) / kTracks / kPhraseNotes;
        for (int t = 0; t < kTracks; ++t) {
            auto* n = track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, 16);
            n->m_Channel = t;
            for (int64_t i = 0; i < direct; ++i)
                n->put_block(static_cast<int32_t>(i), note(MNBT_CDEG, static_cast<int>(i % 5)));
            auto* r = track<MseqTrackRefer>(music, MTYPE_TRACK_REFER, 1);
            r->m_Channel = 8 + t;
            for (int64_t b = 0; b < blocks; ++b) {
                MseqBlockRefer ref;
                ref.m_PhraseID = mseq_with_file_number(phrase_node->id, 2);
                ref.m_Rotation = static_cast<int32_t>(b % 7);
                r->put_block(static_cast<int32_t>(b), ref);
            }
        }
    }

    template <class T>
    static T* track(MseqMusic* m, MSEQ_TYPE type, int32_t beat) {
        MseqObject* node = m->create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, type, CkvString());
        T* t = mseq_open(node)->cast_to<T>(type);
        t->m_Beat = beat;
        return t;
    }
    static MseqBlockNote note(uint32_t type, int degree) {
        MseqBlockNote n;
        n.m_Type = type;
        n.m_Whole = static_cast<int8_t>(degree);
        return n;
    }

    MseqObject room_node;
    MseqMusic* music = nullptr;
};

long peak_rss_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_OfflineRun(benchmark::State& state) {
    Song song(state.range(0));
    int64_t events = 0;
    size_t peak_queue = 0;
    for (auto _ : state) {
        CountingOutput out;
        MplyPlayer player;
        std::unique_ptr<MplyEntity> music(song.music->create_player_model());
        player.Start(&out, music);
        events += out.events;
        peak_queue = player.queue().peak_size();
    }
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
    state.counters["events/run"] = static_cast<double>(events) / state.iterations();
    state.counters["peak_queue"] = static_cast<double>(peak_queue);
    state.counters["peak_MB"] = static_cast<double>(peak_rss_kb()) / 1024.0;
}

}  // namespace

// The cost grows linearly with the number of notes: compare the three sizes.
BENCHMARK(BM_OfflineRun)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);
