#pragma once

#include <string_view>
#include <vector>

#include "model/core/CkvString.h"
#include "model/core/MseqFileStore.h"
#include "model/core/MseqPath.h"

class MseqMapScale;

// The two files beside the application: the configuration ("<prog>define\korvante.cfg") and the
// scale map ("<prog>define\mapscale.def"), read at start-up and written at exit. User-interface
// thread.
namespace mrec_settings {

inline constexpr std::string_view kConfigPath = "define\\korvante.cfg";
inline constexpr std::string_view kScaleMapPath = "define\\mapscale.def";

// The folder (Windows form) that takes the two files when the application folder is only read
// (installed): "define\NAME" is then written as NAME there, and read from there first, else from
// the application folder. Empty (the default): both stay beside the application. Set at
// start-up, before the files are read.
void set_user_folder(const CkvString& windows_folder);
const CkvString& user_folder();

// Where the file `rest` (relative to the application folder) is read from and written to, after
// the rule above. False when no program file is set or a path grows too long.
bool settings_paths(std::string_view rest, MseqFullPath* read, MseqFullPath* write);

// The process-wide scale map (the user's extra scales), empty until loaded.
MseqMapScale& scale_map();

// Reads the configuration into mseq_config() from `rest` relative to the application folder.
// A missing file leaves the defaults and succeeds; a file that cannot be read fails (the
// caller stops the start-up) with the code in `error` and the file, place and hint in
// `problem` (may be null; also set for an absent or empty file).
bool load_config(std::string_view rest, uint32_t* error = nullptr,
                 MseqLoadProblem* problem = nullptr);
// Writes mseq_config() to the file it was loaded from (or would have been); false on failure,
// with the system's reason in `why` (may be null).
bool save_config(kv_fs::file_error* why = nullptr);

// Reads and writes the scale map the same way; a failed load is not fatal to the caller.
bool load_scale_map(std::string_view rest, uint32_t* error = nullptr,
                    MseqLoadProblem* problem = nullptr);
bool save_scale_map(kv_fs::file_error* why = nullptr);

// Checks the configured system MIDI device against the product names of the devices the
// system offers now (index = device number). Keeps a usable device; otherwise switches to no
// device. Returns nonzero when some output is usable (the device, or the synthesizer port when
// that is chosen).
int check_output_device(const std::vector<CkvString>& device_names);

}  // namespace mrec_settings
