// Painting the music view offscreen at 1600x1000: the demo song and musics of 100,000 and of
// 1,000,000 notes, each at 20 scroll positions across its length (time per frame), and a note
// placed or erased by a press in the anchor row followed by the repaint (press to repaint). The
// big musics also print the time their view takes to open (open_ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "edit/MedtMusic.h"
#include "edit/press/MedtTrackPress.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiTimeline.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"
#include "ui/LibraryLeaf.h"
#include "ui/Session.h"

namespace {

constexpr int kTracks = 16;
constexpr int32_t kNotes = 100000;
constexpr int kPositions = 20;

// A music of `notes` notes over kTracks note tracks, a note every other sixteenth.
MseqMusic* big_music(int32_t notes = kNotes) {
    auto* music = new MseqMusic(nullptr);
    for (int t = 0; t < kTracks; ++t) {
        MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("part"));
        auto* track = static_cast<MseqTrackNote*>(mseq_track_of(node));
        track->m_Beat = 16;
        MseqBlockNote n;
        n.m_Type = MNBT_PURE;
        n.m_Octave = 5;
        for (int32_t i = 0; i < notes / kTracks; ++i) {
            n.m_Whole = static_cast<int8_t>((i + t) % 7);
            track->put_block(i * 2, n);
        }
    }
    return music;
}

struct View {
    explicit View(MseqMusic* m) : music(m) {
        editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, &clip[0], &clip[1]));
        view = std::make_unique<GuiMusicView>(nullptr);
        view->resize(1600, 1000);
        view->set_editor(editor.get());
        view->show();
        image = QImage(view->size(), QImage::Format_ARGB32_Premultiplied);
    }
    ~View() {
        view.reset();
        editor = nullptr;
        MseqDesk::instance().modified.erase(music);
    }
    void frame(int index) {
        QScrollBar* bar = view->timeline()->horizontalScrollBar();
        bar->setValue(bar->maximum() * (index % kPositions) / (kPositions - 1));
        view->render(&image);
    }
    MseqMusic* music;
    MseqObject clip[2];
    ref_ptr<MedtMusicInvoker> editor;
    std::unique_ptr<GuiMusicView> view;
    QImage image;
};

MseqMusic* demo_song() {
    static kv_ui::LibraryLeaf library;
    static MseqMusic* song = nullptr;
    if (!song) {
        std::string error;
        kv_ui::init_program(KV_APP_DATA);
        if (!library.open(KV_APP_DATA "/mymusic/library.kvnr", &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        song = library.find("はじまりの朝", &error);
        if (!song) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
    }
    return song;
}

void BM_PaintDemoSong(benchmark::State& state) {
    View v(demo_song());
    int i = 0;
    for (auto _ : state)
        v.frame(i++);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PaintDemoSong)->Unit(benchmark::kMillisecond);

// Paints a music of `notes` notes; also prints the time its view takes to open and paint once.
void paint_big_music(benchmark::State& state, int32_t notes) {
    MseqMusic* music = big_music(notes);
    {
        const auto start = std::chrono::steady_clock::now();
        View v(music);
        v.frame(0);
        state.counters["open_ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        int i = 0;
        for (auto _ : state)
            v.frame(i++);
    }
    music->release();
    state.SetItemsProcessed(state.iterations());
}

void BM_Paint100kNotes(benchmark::State& state) {
    paint_big_music(state, kNotes);
}
BENCHMARK(BM_Paint100kNotes)->Unit(benchmark::kMillisecond);

void BM_PaintMillionNotes(benchmark::State& state) {
    paint_big_music(state, 1000000);
}
BENCHMARK(BM_PaintMillionNotes)->Unit(benchmark::kMillisecond);

// A press in the anchor row at an empty position places a note, a right press there erases it
// again: each one gesture through the editor, then the view is painted.
void BM_PressToRepaint100kNotes(benchmark::State& state) {
    MseqMusic* music = big_music();
    {
        View v(music);
        MedtTrack* track = v.editor->root();
        while (track && !track->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE))
            track = track->next_in(v.editor->root());
        v.editor->set_cursor(track, 5001, 5001);
        v.view->timeline()->scroll_to_cursor();
        bool place = true;
        for (auto _ : state) {
            MedtPress press;
            press.pos = 5001;  // between two notes
            press.right = !place;
            if (!MedtTrackPress::press(*v.editor, *track, press, MedtPressContext{})) std::abort();
            MedtTrackPress::release(*v.editor);
            v.view->render(&v.image);
            place = !place;
        }
    }
    music->release();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PressToRepaint100kNotes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
