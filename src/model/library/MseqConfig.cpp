#include "model/library/MseqConfig.h"

#include <algorithm>

int MseqConfig::reset() {
    MseqConfig fresh;
    const uint32_t keep_flags = flags;
    const CkvString keep_name = name;
    const MseqFullPath keep_path = full_path;
    m_DeviceID = fresh.m_DeviceID;
    m_DeviceName = fresh.m_DeviceName;
    m_DmPortGUID = fresh.m_DmPortGUID;
    m_DmPortName = fresh.m_DmPortName;
    m_DirectMusic = fresh.m_DirectMusic;
    m_PlayMode = fresh.m_PlayMode;
    m_StopClose = fresh.m_StopClose;
    m_StopResetMsg = fresh.m_StopResetMsg;
    m_CacheLevel = fresh.m_CacheLevel;
    m_SeekInterval = fresh.m_SeekInterval;
    m_ShowMenuBar = fresh.m_ShowMenuBar;
    m_ShowStatusBar = fresh.m_ShowStatusBar;
    m_VertTrackList = fresh.m_VertTrackList;
    m_VertTrackProp = fresh.m_VertTrackProp;
    m_TrPropNameW = fresh.m_TrPropNameW;
    m_TrPropDataW = fresh.m_TrPropDataW;
    m_MouseWheel = fresh.m_MouseWheel;
    m_LClickDelete = fresh.m_LClickDelete;
    m_DownSemiFlat = fresh.m_DownSemiFlat;
    m_SplitFrameH = m_SplitFrameV = m_SplitMusicH = m_SplitMusicV = m_SplitChordV = 0;
    m_FrmCmd = m_FrmMaxX = m_FrmMaxY = 0;
    m_FrmNrmX1 = m_FrmNrmY1 = m_FrmNrmX2 = m_FrmNrmY2 = 0;
    m_RecentRooms.clear();
    flags = keep_flags;
    name = keep_name;
    full_path = keep_path;
    return 1;
}

int MseqConfig::validate() {
    if (m_CacheLevel <= 0) m_CacheLevel = 1;  // 0 and below mean the smallest cache
    if (m_CacheLevel > 6) m_CacheLevel = 6;
    if (m_SeekInterval > 1000) m_SeekInterval = 1000;
    m_TrPropNameW = std::clamp(m_TrPropNameW, 8, 1024);
    m_TrPropDataW = std::clamp(m_TrPropDataW, 8, 1024);
    return 1;
}

void MseqConfig::add_recent_room(const CkvString& path) {
    auto same = [&](const CkvString& p) { return CkvString::compare_nocase(p, path) == 0; };
    m_RecentRooms.erase(std::remove_if(m_RecentRooms.begin(), m_RecentRooms.end(), same),
                        m_RecentRooms.end());
    m_RecentRooms.insert(m_RecentRooms.begin(), path);
    if (m_RecentRooms.size() > kMaxRecentRooms) m_RecentRooms.resize(kMaxRecentRooms);
}

const CkvString* MseqConfig::recent_room(size_t index) const {
    return index < m_RecentRooms.size() ? &m_RecentRooms[index] : nullptr;
}

MseqConfig& mseq_config() {
    // Lives for the whole process: the player thread may still read it during exit.
    static MseqConfig* const config = new MseqConfig;
    return *config;
}
