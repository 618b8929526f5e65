#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/core/MseqFileStore.h"
#include "model/core/MseqPath.h"
#include "text/MrecReader.h"

class AnalyzeFieldReader;
class MseqBook;
class MseqEntity;
class MseqMusic;
class MseqObject;
class MseqRoom;

// Why one file gave no content: the desk's form, filled from the read's result.
using MrecLoadProblem = MseqLoadProblem;

// Connects files to entities: reads a file, checks its header against the entity that receives
// it and compiles the main record into that entity (building the nodes the record lists and
// filling embedded contents); writes an entity's text to its file. One compiler per load or
// save, on the user-interface thread.
class MrecCompiler : public MrecReader {
public:
    // Packs the blocks of tracks as rows while reading (see MrecReader::set_pack_rows).
    MrecCompiler() { set_pack_rows(true); }

    // Fills the entity from the file at `path`. An absent or empty file succeeds with MEF_NEW
    // set; a folder, device or FIFO at the path is not read and fails with 0x10003. With
    // `remember_path` the path becomes the entity's and a successful read clears MEF_NEW. False on
    // failure, with the code in result.error (0 for "<with>", which has no file); what was built
    // before the failure stays.
    bool load(MseqEntity* entity, const MseqFullPath& path, bool remember_path);

    // Compiles a file's text (ending with a NUL byte counted in `length`) into the entity.
    bool load_text(MseqEntity* entity, const char* text, size_t length);

    // Writes the entity's text to its path crash-safe, creating missing folders; clears
    // MEF_NEW and leaves the modified set on success. False keeps the old file and the flags,
    // with the reason in `why` when the file could not be written.
    static bool save(MseqEntity* entity, kv_fs::file_error* why = nullptr);

    // Reads only the magic and the header of a file. False with the code in result.error.
    bool read_header(const MseqFullPath& path);

    // Compiles the main record into the entity; 0 or an error code.
    uint32_t compile_main(MseqEntity* entity, const AnalyzeRecord& record);
    // Compiles the embedded content of a node from an object entry's `m_With` record.
    uint32_t compile_content(MseqObject* node, const AnalyzeRecord& record);

    MrecReadResult result;
    // What the last load found at its path: nothing, an empty file or a file that was read.
    enum class Found { nothing, empty, text } found = Found::nothing;

    // The problem of the last load or header read at `path`: its failure, or an absent or empty
    // file (error 0). Thread of the compiler.
    MrecLoadProblem problem(const MseqFullPath& path) const;

protected:
    uint32_t on_header(MrecReadResult& result) override;
    uint32_t on_main(MrecReadResult& result, const AnalyzeRecord& main) override;

private:
    uint32_t read_room(AnalyzeFieldReader& r, MseqRoom* room);
    uint32_t read_book(AnalyzeFieldReader& r, MseqBook* book);
    uint32_t read_music(AnalyzeFieldReader& r, MseqMusic* music);
    uint32_t read_content(MseqObject* node, const AnalyzeRecord* with);
    bool load_file(MseqEntity* entity, const MseqFullPath& path, bool remember_path);
    // Keeps where `r` failed, when it is the first failure of this compile, and returns `code`.
    uint32_t noted(const AnalyzeFieldReader& r, uint32_t code);

    MseqEntity* target_ = nullptr;
    AnalyzeFailure failure_;  // the first failure of the compile in progress
};
