#pragma once

#include <cstdint>
#include <vector>

#include "model/block/MseqBlockWord.h"
#include "model/lang/KvLanguage.h"

// One variable of a message form: where its value goes in the message bytes and its range.
struct MseqMsgVar {
    int32_t m_Lsb = 0;   // position receiving the low 7 bits; 0 for none
    int32_t m_Msb = 0;   // position receiving the high 7 bits; 0 for none
    int32_t m_Def = 0;   // default value
    int32_t m_Min = 0;   // lowest value, 0-32767
    int32_t m_Max = 0;   // highest value, 0-32767
    int32_t m_Base = 0;  // value the track's power scales around
    int32_t m_Diff = 0;  // signed 16-bit step, stored and copied only
    bool operator==(const MseqMsgVar&) const = default;
};

// The shape of the messages a message track sends: a word of kind 32 (name and form number),
// the variables and the message bytes. User-interface thread for every change; any thread may
// read.
struct MseqMsgForm {
    // The variable a form without any gets: a plain 0 to 127 value, default 100, written nowhere.
    static constexpr MseqMsgVar kDefaultVar{0, 0, 100, 0, 127, 0, 0};

    // Brings a form read from a file into range: the word normalised with kind 32 (0 stays 0),
    // at least one variable, every range within 0 to 32767 with its default and base inside it,
    // the difference within 16 bits, and every position that does not name a byte of the message
    // (1 to length - 1) set to 0. Never fails.
    void validate();

    bool operator==(const MseqMsgForm&) const = default;

    MseqBlockWord m_Name;            // kind 32: name and form number
    std::vector<MseqMsgVar> m_Vars;  // the first bounds the track's values
    std::vector<uint8_t> m_Msg;      // the message bytes
};

// The message-form dictionary: the forms a message track can use, by form number, in the order
// they were added. Changed only while it is being filled; afterwards any thread may read it.
class MseqMsgFormMap {
public:
    // The process-wide dictionary holding the ten built-in forms (pitch bend, modulation, pan,
    // expression, hold, reverb, tremolo, chorus, celeste and phaser), named in the current
    // language. A form is copied with its name into the message track that uses it, so a track
    // read from a file keeps the name it was saved with. Never fails; any thread.
    static const MseqMsgFormMap& builtin();

    // Adds a copy of `form` under its number (m_Name.m_Index). False, with the dictionary
    // unchanged, when a form of that number is already present: the first one added wins.
    bool add(const MseqMsgForm& form);

    // Adds the ten built-in forms, each with one variable and three message bytes, named in the
    // current language or in `language`.
    void add_builtin();
    void add_builtin(kv_language language);

    // The form numbered `number`, or nullptr.
    const MseqMsgForm* find(uint32_t number) const;

    // Every form in the order added.
    const std::vector<MseqMsgForm>& forms() const { return forms_; }

private:
    std::vector<MseqMsgForm> forms_;
};
