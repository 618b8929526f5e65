#pragma once

// A music in memory with an editor attached the way the application attaches one: tracks are
// added first, then open() makes the editor, which mirrors them. A scripted user port answers
// the editor's questions from a queue and keeps what it was asked.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtUserPort.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"
#include "platform/TextCodec.h"
#include "text/MrecEntityWriter.h"

class QueuePort : public MedtUserPort {
public:
    void warn(const CkvString& text) override { log.push_back("warn:" + text.str()); }
    void inform(const CkvString& text) override { log.push_back("inform:" + text.str()); }
    bool ask_yes_no(const CkvString& text) override {
        log.push_back("ask:" + text.str());
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer) override {
        return ask_yes_no(text) ? MedtAnswer::Yes : MedtAnswer::No;
    }
    void status(const CkvString& text) override { log.push_back("status:" + text.str()); }

    std::deque<bool> answers;
    std::vector<std::string> log;
};

class EditFixture : public ::testing::Test {
protected:
    void TearDown() override {
        editor = nullptr;
        MseqDesk::instance().modified.erase(music);
        music->release();
    }

    MseqObject* add(MseqObject* anchor, int place, MSEQ_TYPE type, int32_t beat,
                    const char* name = "t") {
        MseqObject* node = music->create_track(anchor->id, place, type, CkvString(name));
        EXPECT_NE(node, nullptr);
        if (node) mseq_track_of(node)->m_Beat = beat;
        return node;
    }
    MseqObject* add_note(int32_t beat, const char* name = "n") {
        return add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, beat, name);
    }

    void open() {
        editor =
            ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, &seq_clip, &leaf_clip));
        editor->port = &port;
    }

    static MseqTrackNote* note_track(MseqObject* node) {
        return dynamic_cast<MseqTrackNote*>(mseq_track_of(node));
    }
    static MseqBlockNote note(int32_t whole, int32_t length = 1) {
        MseqBlockNote n;
        n.m_Whole = static_cast<int8_t>(whole);
        n.m_Length = length;
        return n;
    }
    // Posts a set-block through the editor and returns the command's state.
    uint32_t set_block(MseqObject* node, int32_t position, const MseqBlock* block) {
        auto command = mcmd_make<McmdSetBlock>(node->id, position, block);
        editor->execute(command.get());
        return command->state;
    }
    uint32_t set_property(MseqObject* node, int32_t number, int32_t value) {
        auto command = mcmd_make<McmdSetProperty>(
            node->id, number, MseqBlockWord(0, 0, static_cast<uint32_t>(value)));
        editor->execute(command.get());
        return command->state;
    }
    // "index:whole+length ..." of a note track.
    static std::string notes(MseqObject* node) {
        std::string out;
        for (const auto& [index, n] : note_track(node)->blocks()) {
            if (!out.empty()) out += ' ';
            out += std::to_string(index) + ":" + std::to_string(n.m_Whole) + "+" +
                   std::to_string(n.m_Length);
        }
        return out;
    }
    // The bytes saving the music would write.
    std::string bytes() {
        std::string out;
        EXPECT_TRUE(mrec_write_entity(music, &out));
        return out;
    }
    static std::string sjis(const char* utf8) { return kv_codec::cp932_from_utf8(utf8); }

    MseqMusic* music = new MseqMusic(nullptr);
    MseqObject seq_clip;
    MseqObject leaf_clip;
    QueuePort port;
    ref_ptr<MedtMusicInvoker> editor;
};
