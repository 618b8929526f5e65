#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/core/CkvString.h"
#include "model/core/MseqEntity.h"

// Playback preparation modes.
enum : uint32_t {
    MCPM_BUILD = 1,      // compile the whole music before the run starts
    MCPM_PRELOAD = 2,    // load the phrases before the run, generate while playing
    MCPM_INTERPRET = 3,  // generate everything while playing
};

// Device numbers with a meaning of their own.
enum : uint32_t {
    MDEV_MAPPER = 0xFFFFFFFF,  // the system's default MIDI output
    MDEV_NONE = 0xFFFFFFFE,    // no device chosen
};

// The user's settings, kept in the configuration file beside the application. One instance
// lives for the whole run (see mseq_config()); the user-interface thread changes it, the player
// thread only reads the playback settings of the run it was started with.
class MseqConfig : public MseqEntity {
public:
    static constexpr size_t kMaxRecentRooms = 8;

    MSEQ_TYPE type() const override { return MTYPE_CONFIG; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_CONFIG ? this : nullptr; }
    // Every field to its default; returns 1.
    int reset() override;
    // Clamps cache level, seek interval and column widths; always accepts (1).
    int validate() override;

    // Puts `path` at the front of the recent libraries, dropping an equal entry (ASCII letters
    // compared without regard to case) and anything past the eighth.
    void add_recent_room(const CkvString& path);
    // The recent library at `index`, or nullptr past the end.
    const CkvString* recent_room(size_t index) const;

    uint32_t m_DeviceID = MDEV_MAPPER;       // system MIDI output device number, or MDEV_*
    CkvString m_DeviceName;                  // its product name, to recognise the same device
    std::array<uint32_t, 4> m_DmPortGUID{};  // identifier of the synthesizer port
    CkvString m_DmPortName;                  // name of that port
    int32_t m_DirectMusic = 0;               // nonzero: play through the synthesizer port
    int32_t m_PlayMode = MCPM_PRELOAD;       // MCPM_*: when the music is prepared
    int32_t m_StopClose = 0;                 // nonzero: close the device whenever a run stops
    int32_t m_StopResetMsg = 1;   // nonzero: reset controllers of the used channels on stop
    int32_t m_CacheLevel = 5;     // size level of the file cache, 1-6; 6 never trims
    int32_t m_SeekInterval = 1;   // ms between play-position updates, at most 1000
    int32_t m_ShowMenuBar = 1;    // window layout: menu bar shown
    int32_t m_ShowStatusBar = 1;  // window layout: status bar shown
    int32_t m_VertTrackList = 1;  // window layout: track list vertical
    int32_t m_VertTrackProp = 1;  // window layout: track properties vertical
    int32_t m_TrPropNameW = 120;  // track properties: name column width, 8-1024
    int32_t m_TrPropDataW = 200;  // track properties: value column width, 8-1024
    int32_t m_MouseWheel = 1;     // editor option: mouse wheel
    int32_t m_LClickDelete = 1;   // editor option: left click deletes
    int32_t m_DownSemiFlat = 0;   // editor option: semitones spelt with flats
    // Splitter positions of the main window, the music editor and the chord map editor; the
    // main window uses 240 for a value of 2 or less.
    int32_t m_SplitFrameH = 0;
    int32_t m_SplitFrameV = 0;
    int32_t m_SplitMusicH = 0;
    int32_t m_SplitMusicV = 0;
    int32_t m_SplitChordV = 0;
    // Placement of the main window: its show state (3 when it restores maximised), the position
    // when maximised and the rectangle in normal state.
    int32_t m_FrmCmd = 0;
    int32_t m_FrmMaxX = 0;
    int32_t m_FrmMaxY = 0;
    int32_t m_FrmNrmX1 = 0;
    int32_t m_FrmNrmY1 = 0;
    int32_t m_FrmNrmX2 = 0;
    int32_t m_FrmNrmY2 = 0;
    std::vector<CkvString> m_RecentRooms;  // most recent first
};

// The process-wide configuration, created with its defaults on first use. Settings are read
// from every layer through it. Any thread may read; the user-interface thread writes.
MseqConfig& mseq_config();
