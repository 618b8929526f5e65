// Reading speed of the text-format reader on a large generated music: the statement grammar,
// the evaluation of every item and the building of the parsed records.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/TextCodec.h"
#include "text/MrecReader.h"

namespace {

// A music file in the layout the writer produces: many note tracks of one-line note blocks and
// lyric tracks of short Japanese texts, about `megabytes` MB in all.
std::string make_music(std::size_t megabytes) {
    std::string t =
        "KORVANTE-TEXT-TYPE\r\n\r\n"
        "header\r\n{\r\n exporter = \"Korvante (STANDARD)\";\r\n soft_version = 0x000a0200;\r\n"
        " data_version = 0x0100000d;\r\n target = \"leaf\";\r\n type = \"MTYPE_LEAF_MUSIC\";\r\n"
        " name = \"bench\";\r\n}\r\n\r\n"
        "type base; name=\"VAR\"; { }\r\ntype base; name=\"NUM\"; { }\r\n"
        "type base; name=\"STR\"; { }\r\n\r\n"
        "define name=\"MSEQ_TYPE\";\r\n{\r\n MTYPE_TRACK_ROOT_MUSIC = 0x00031001;\r\n"
        " MTYPE_TRACK_NOTE = 0x00031082;\r\n MTYPE_TRACK_LYRIC = 0x00031105;\r\n}\r\n\r\n"
        "type name=\"MSEQ_OBJECT\";\r\n{\r\n NUM m_ParentID;\r\n NUM m_ObjectID;\r\n"
        " NUM m_Type;\r\n STR m_Name;\r\n STR m_Path;\r\n VAR m_With;\r\n}\r\n\r\n"
        "type name=\"MSEQ_BLOCK_WORD\";\r\n{\r\n NUM m_Attrib;\r\n NUM m_Group;\r\n"
        " NUM m_Index;\r\n STR m_Name;\r\n}\r\n\r\n"
        "type name=\"MSEQ_BLOCK_LABEL\";\r\n{\r\n NUM m_Index;\r\n STR m_Label;\r\n}\r\n\r\n"
        "type name=\"MSEQ_TRACK_LABEL\";\r\n{\r\n NUM m_Flags;\r\n NUM m_Beat;\r\n"
        " MSEQ_BLOCK_LABEL m_Blocks array;\r\n}\r\n\r\n"
        "define name=\"MSEQ_NOTE_BLOCK_TYPE\";\r\n{\r\n MNBT_PURE = 1;\r\n MNBT_TONE = 2;\r\n"
        " MNBT_SDEG = 3;\r\n MNBT_CDEG = 4;\r\n MNBT_RHYTHM = 5;\r\n}\r\n\r\n"
        "type name=\"MSEQ_BLOCK_NOTE\";\r\n{\r\n NUM m_Index;\r\n NUM m_Flags;\r\n NUM m_Type;\r\n"
        " NUM m_Length;\r\n NUM m_STime;\r\n NUM m_ETime;\r\n NUM m_Octave;\r\n NUM m_Whole;\r\n"
        " NUM m_Semi;\r\n NUM m_Velocity;\r\n}\r\n\r\n"
        "define name=\"MSEQ_TRACK_FLAGS\";\r\n{\r\n MTF_OUTPUT = 0x00000001;\r\n}\r\n\r\n"
        "type name=\"MSEQ_TRACK_NOTE\";\r\n{\r\n NUM m_Flags;\r\n NUM m_Beat;\r\n NUM "
        "m_Channel;\r\n"
        " NUM m_TrackChordID;\r\n MSEQ_BLOCK_WORD m_Rhythm;\r\n NUM m_Octave;\r\n NUM m_LRate;\r\n"
        " NUM m_VRate;\r\n NUM m_STime;\r\n NUM m_ETime;\r\n NUM m_NoteType;\r\n"
        " MSEQ_BLOCK_NOTE m_Blocks array;\r\n}\r\n\r\n"
        "type name=\"MSEQ_MUSIC\";\r\n{\r\n STR m_Title;\r\n STR m_Copyright;\r\n NUM m_NextID;\r\n"
        " NUM m_MapStageID;\r\n NUM m_MapChordID;\r\n NUM m_TrackChordID;\r\n NUM m_Tempo;\r\n"
        " NUM m_Transpose;\r\n MSEQ_BLOCK_WORD m_Program;\r\n NUM m_BlankBar;\r\n NUM m_GpM;\r\n"
        " NUM m_GxB;\r\n NUM m_ShowState;\r\n NUM m_NoteState;\r\n MSEQ_OBJECT m_Leafs array;\r\n"
        "}\r\n\r\n"
        "data main; type=\"MSEQ_MUSIC\";\r\n{\r\n \"Big music\"; \"(c) nobody\";\r\n"
        " 0x00000100; 0x00000002; 0x00000003; 0x00000004;\r\n 120; 0; { 0; 0; 0x00000000; "
        "\"Piano\"; }\r\n 1; 4; 4; 0x00000000; 0;\r\n @array; type=\"MSEQ_OBJECT\";\r\n {\r\n";
    const std::string lyric = kv_codec::cp932_from_utf8("ソラシド歌詞");
    const char* types[] = {"MNBT_PURE", "MNBT_TONE", "MNBT_SDEG", "MNBT_CDEG", "0x00000009"};
    char line[256];
    unsigned id = 0x20;
    for (unsigned track = 0; t.size() < megabytes * 1000000; ++track) {
        const bool lyrics = track % 4 == 3;
        std::snprintf(line, sizeof line,
                      "  { 0x00000001; 0x%08x; %s; \"track %u\"; \"<with>\";\r\n"
                      "   @type=\"%s\";\r\n   {\r\n",
                      id++, lyrics ? "MTYPE_TRACK_LYRIC" : "MTYPE_TRACK_NOTE", track,
                      lyrics ? "MSEQ_TRACK_LABEL" : "MSEQ_TRACK_NOTE");
        t += line;
        if (lyrics) {
            t += "    0; 4;\r\n    @array; type=\"MSEQ_BLOCK_LABEL\";\r\n    {\r\n";
            for (int b = 0; b < 500; ++b) {
                std::snprintf(line, sizeof line, "     { %2d; \"%s %d\"; }\r\n", b, lyric.c_str(),
                              b);
                t += line;
            }
        } else {
            t += "    MTF_OUTPUT; 4; 0; 0x00000000; { 0; 0; 0x00000000; \"\"; } 0; 100; 100; 0; "
                 "0; 2;\r\n    @array; type=\"MSEQ_BLOCK_NOTE\";\r\n    {\r\n";
            for (int b = 0; b < 2000; ++b) {
                std::snprintf(line, sizeof line,
                              "     { %2d; 0x%02x; %s; %d; %d; %d; %d; %d; %d; %d; }\r\n", b, b % 3,
                              types[b % 5], 1 + b % 7, b % 5 - 2, -(b % 3), b % 4 - 1, b % 7,
                              b % 3 - 1, 64 + b % 64);
                t += line;
            }
        }
        t += "    }\r\n   }\r\n  }\r\n";
    }
    t += " }\r\n}\r\n";
    return t;
}

const std::string& music() {
    static const std::string text = make_music(8);
    return text;
}

void BM_ReadMusic(benchmark::State& state) {
    const std::string& text = music();
    MrecReader reader;
    MrecReadResult result;
    for (auto _ : state) {
        const bool ok = reader.parse_file_text(text.c_str(), text.size() + 1, result);
        if (!ok) state.SkipWithError("the generated music did not read");
        benchmark::DoNotOptimize(result.main);
    }
    const double bytes = static_cast<double>(text.size()) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["MB"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadMusic)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
