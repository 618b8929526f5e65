#include "model/track/MseqTrackChord.h"

int MseqTrackChord::validate() {
    MseqTrackSequence::validate();
    for (auto& [index, chord] : mutable_blocks())
        chord.normalize();
    const uint32_t file = mseq_file_number(m_MapID);
    if (file != MFILE_TRACKS && file != MFILE_OWN_BOOK)
        m_MapID = mseq_with_file_number(m_MapID, MFILE_OWN_BOOK);
    return 1;
}
