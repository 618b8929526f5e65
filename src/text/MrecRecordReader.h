#pragma once

#include <cstdint>
#include <string_view>

class AnalyzeFieldReader;
class MseqBlockChord;
class MseqBlockScale;
class MseqBlockStage;
class MseqBlockWord;
class MseqConfig;
class MseqMapChord;
class MseqMapScale;
class MseqMapStage;
class MseqTrack;
struct MseqMsgForm;

// Reads a reference field: its low 20 bits placed in `file_number`, 0 staying 0 (none); a field
// the file does not declare leaves `out` unchanged. The reader's error() tells a failure.
void mrec_read_reference(AnalyzeFieldReader& r, std::string_view name, uint32_t file_number,
                         uint32_t& out);

// Reads the records that hold values only (blocks, words, maps, the configuration) from a
// parsed file, field by field through the file's own declarations: a field the file does not
// declare keeps its value, one it declares but this program does not know is ignored. Each
// function returns false once the reader has failed (its error() tells the code). One instance
// per read, on the reading thread.
class MrecRecordReader {
public:
    // `data_version` is the file header's: old files kept program numbers in 7 bits.
    explicit MrecRecordReader(uint32_t data_version) : data_version_(data_version) {}

    bool word(AnalyzeFieldReader& r, MseqBlockWord& out);
    // A nested word field; absent fields leave `out` unchanged.
    bool word_field(AnalyzeFieldReader& r, std::string_view field, MseqBlockWord& out);
    bool chord(AnalyzeFieldReader& r, MseqBlockChord& out);
    bool scale(AnalyzeFieldReader& r, MseqBlockScale& out);
    bool stage(AnalyzeFieldReader& r, MseqBlockStage& out);
    bool msg_form(AnalyzeFieldReader& r, MseqMsgForm& out);

    bool map_chord(AnalyzeFieldReader& r, MseqMapChord& out);
    bool map_scale(AnalyzeFieldReader& r, MseqMapScale& out);
    bool map_stage(AnalyzeFieldReader& r, MseqMapStage& out);
    bool config(AnalyzeFieldReader& r, MseqConfig& out);

    // The content record `record` (MSEQ_TRACK_NOTE, ...) of a track kept in its music's file.
    bool track(AnalyzeFieldReader& r, std::string_view record, MseqTrack& out);

private:
    uint32_t data_version_;
};
