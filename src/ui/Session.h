#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/lang/KvLanguage.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileEntity.h"
#include "text/MrecFileStore.h"

class MseqEntity;

class MseqRoom;

namespace kv_ui {

// Sets the application folder (the executable's folder, or `home` when not empty) and the
// desk's file store, through the program's one start-up (mapp_init_program), and chooses the
// language of the application's texts (`language` when given, else the setting, else the
// locale; mapp_start_language). Called once before any tool runs. UI thread.
void init_program(const std::string& home, std::optional<kv_language> language = std::nullopt);

// The application folder as a host path.
std::string program_folder();

// The desk's file store: its log notes every file that a load could not use.
MrecFileStore& file_store();

// A library opened from a host path: the room node owns the book nodes and, through the desk,
// the loaded contents. UI thread.
class Library {
public:
    Library() = default;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library();

    // Opens the library file; false with `error` set (the read's code, 0x10002 for a missing or
    // empty file) and `problem` saying why.
    bool open(const std::string& host_path);

    // Opens every book of the library (books whose file cannot be read stay empty).
    void open_books();

    // A node named by its display path "book/folder/leaf" (UTF-8) or by its identifier
    // "0x..."; nullptr when there is none.
    MseqObject* find(const std::string& name);

    // Opens a node of this library through the desk and keeps why its file gave no content,
    // when it was read now. Never nullptr (the placeholder when there is no content).
    ref_ptr<MseqEntity> open_node(MseqObject* node);
    // Why the node's file (at `path`) gave no content, as its read reported; when the file was
    // not read through open_node, whether anything is at the path.
    MrecLoadProblem problem_of(const MseqObject* node, const MseqFullPath& path) const;

    MseqObject* room_node() const { return node_.get(); }
    MseqRoom* room() const { return room_; }
    uint32_t error = 0;
    MrecLoadProblem problem;

private:
    std::unique_ptr<MseqObject> node_;
    MseqRoom* room_ = nullptr;
    std::map<const MseqObject*, MrecLoadProblem> problems_;
};

// Loads the file at a host path into a fresh entity of the type its header names, through the
// record compiler. False with the code and the reason in `problem`.
bool load_file_entity(const std::string& host_path, MrecFileEntity& out, MrecLoadProblem& problem);

}  // namespace kv_ui
