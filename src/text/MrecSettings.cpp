#include "text/MrecSettings.h"

#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"

namespace mrec_settings {

namespace {

CkvString& user_folder_storage() {
    static CkvString folder;
    return folder;
}

constexpr std::string_view kDefineFolder = "define\\";

bool load_into(MseqEntity* entity, std::string_view rest, uint32_t* error,
               MseqLoadProblem* problem) {
    MseqFullPath read, write;
    if (!settings_paths(rest, &read, &write)) {
        if (error) *error = 0x10001;
        if (problem) {
            *problem = MseqLoadProblem{};
            problem->path = MseqFullPath(CkvString(rest));
            problem->error = 0x10001;
        }
        return false;
    }
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, read, true);
    if (error) *error = compiler.result.error;
    if (problem) {
        const bool reported = !ok || compiler.found != MrecCompiler::Found::text;
        *problem = reported ? compiler.problem(read) : MseqLoadProblem{};
    }
    // Whatever happened, the entity now knows where it is saved.
    entity->full_path = write;
    return ok;
}

}  // namespace

void set_user_folder(const CkvString& windows_folder) {
    user_folder_storage() = windows_folder;
}

const CkvString& user_folder() {
    return user_folder_storage();
}

bool settings_paths(std::string_view rest, MseqFullPath* read, MseqFullPath* write) {
    MseqFullPath beside;
    if (!mseq_path::executable_path(rest, &beside)) return false;
    beside = MseqFullPath(mseq_path::canonicalize(beside));
    *read = beside;
    *write = beside;
    const CkvString& user = user_folder_storage();
    if (user.empty()) return true;
    const std::string_view name = rest.substr(0, kDefineFolder.size()) == kDefineFolder
                                      ? rest.substr(kDefineFolder.size())
                                      : rest;
    const CkvString mine = mseq_path::canonicalize(mseq_path::append(user, name));
    if (mine.size() + 1 > mseq_path::kMaxPath || !mseq_path::valid_absolute(mine)) return false;
    *write = MseqFullPath(mine);
    if (kv_fs::file_exists(mine)) *read = *write;
    return true;
}

MseqMapScale& scale_map() {
    static MseqMapScale* const map = new MseqMapScale;
    return *map;
}

bool load_config(std::string_view rest, uint32_t* error, MseqLoadProblem* problem) {
    // Every start reads the configuration first: the moment to clear what saves killed in the
    // program's folder left behind.
    MseqFullPath path;
    if (mseq_path::executable_path(rest, &path))
        kv_fs::remove_stale_temporaries(mseq_path::remove_file_name(mseq_path::canonicalize(path)));
    return load_into(&mseq_config(), rest, error, problem);
}

bool save_config(kv_fs::file_error* why) {
    return MrecCompiler::save(&mseq_config(), why);
}

bool load_scale_map(std::string_view rest, uint32_t* error, MseqLoadProblem* problem) {
    // The file's scales replace the list: reading it twice never lists a scale twice.
    scale_map().reset();
    return load_into(&scale_map(), rest, error, problem);
}

bool save_scale_map(kv_fs::file_error* why) {
    return MrecCompiler::save(&scale_map(), why);
}

int check_output_device(const std::vector<CkvString>& device_names) {
    MseqConfig& c = mseq_config();
    // The mapper stands for the system's default output: usable while any device exists.
    const bool mapper_ok = c.m_DeviceID == MDEV_MAPPER && !device_names.empty();
    const bool named_ok =
        c.m_DeviceID < device_names.size() && device_names[c.m_DeviceID] == c.m_DeviceName;
    if (mapper_ok || named_ok) return 1;
    c.m_DeviceID = MDEV_NONE;
    c.m_DeviceName.clear();
    return c.m_DirectMusic;
}

}  // namespace mrec_settings
