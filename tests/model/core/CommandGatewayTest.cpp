#include <gtest/gtest.h>

#include <string>

#include "model/core/MgenRef.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"

namespace command_gateway_test {

class TestCommand : public MgenCommand {
public:
    uint32_t kind() const override { return 0x80010160; }
};

// Records the protocol's calls and answers as told.
class TestObserver : public MgenNotify {
public:
    uint32_t kind() const override { return 0x80020001; }
    int execute(MgenCommand* c) override {
        log += "x";
        if (set_state) c->state = set_state;
        return execute_result;
    }
    int validate(MgenCommand*) override {
        log += "v";
        return validate_result;
    }
    void finish(MgenCommand* c) override {
        log += "f";
        finished_state = c->state;
    }
    int validate_result = 1;
    int execute_result = 1;
    uint32_t set_state = 0;
    uint32_t finished_state = 0;
    std::string log;
};

TEST(CommandGateway, StatesFollowTheProtocol) {
    struct Case {
        int validate;
        int execute;
        uint32_t set_state;
        const char* log;
        uint32_t state;
    };
    const Case cases[] = {
        {1, 1, 0, "vxf", MCMD_DONE},
        {1, 0, 0, "vxf", MCMD_FAILED},
        {0, 1, 0, "vf", MCMD_DECLINED},
        // The execution may settle the state itself; the gateway keeps it.
        {1, 0, MCMD_DECLINED, "vxf", MCMD_DECLINED},
        {1, 1, MCMD_FAILED, "vxf", MCMD_FAILED},
    };
    for (const Case& c : cases) {
        MseqMusic music(nullptr);
        auto* observer = new TestObserver;
        observer->validate_result = c.validate;
        observer->execute_result = c.execute;
        observer->set_state = c.set_state;
        music.observer = ref_ptr<MgenNotify>::adopt(observer);
        auto command = ref_ptr<TestCommand>::adopt(new TestCommand);
        command->state = MCMD_DONE;  // stale state from an earlier run is reset
        music.execute(command.get());
        EXPECT_EQ(observer->log, c.log);
        EXPECT_EQ(command->state, c.state);
        EXPECT_EQ(observer->finished_state, c.state);
        EXPECT_EQ(command->ref_count(), 1);  // the gateway's own reference is gone
    }
}

TEST(CommandGateway, WithoutObserverACommandIsDeclined) {
    MseqMusic music(nullptr);
    auto command = ref_ptr<TestCommand>::adopt(new TestCommand);
    music.execute(command.get());
    EXPECT_EQ(command->state, MCMD_DECLINED);
}

TEST(CommandGateway, TracksHandCommandsToTheirMusic) {
    MseqMusic music(nullptr);
    auto* observer = new TestObserver;
    music.observer = ref_ptr<MgenNotify>::adopt(observer);
    ref_ptr<MseqEntity> header = mseq_open(music.header());
    auto* track = header->cast_to<MseqTrack>(MTYPE_TRACK);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->owning_music(), &music);
    auto command = ref_ptr<TestCommand>::adopt(new TestCommand);
    track->execute(command.get());
    EXPECT_EQ(observer->log, "vxf");
    EXPECT_EQ(command->state, MCMD_DONE);

    // A phrase's tracks have no music to go to: they run the command themselves, and without
    // an observer of their own it is declined.
    MseqPhrase phrase;
    phrase.observer = ref_ptr<MgenNotify>::adopt(new TestObserver);
    ref_ptr<MseqEntity> phrase_header = mseq_open(phrase.header());
    auto* phrase_track = phrase_header->cast_to<MseqTrack>(MTYPE_TRACK);
    EXPECT_EQ(phrase_track->owning_music(), nullptr);
    auto second = ref_ptr<TestCommand>::adopt(new TestCommand);
    phrase_track->execute(second.get());
    EXPECT_EQ(second->state, MCMD_DECLINED);
}

TEST(CommandGateway, ReferenceCountsOfCommands) {
    auto* command = new TestCommand;
    EXPECT_EQ(command->ref_count(), 1);
    EXPECT_EQ(command->add_ref(), 2);
    EXPECT_EQ(command->release(), 1);
    EXPECT_TRUE(command->is_kind(0x80010160));
    EXPECT_FALSE(command->is_kind(0x80010161));
    EXPECT_EQ(command->release(), 0);  // gone; the sanitizer sees a double free if not
}

}  // namespace command_gateway_test
