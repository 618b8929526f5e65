#include "text/MrecSettings.h"

#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "text/MrecCompiler.h"

namespace mrec_settings {

namespace {

bool load_into(MseqEntity* entity, std::string_view rest, uint32_t* error,
               MseqLoadProblem* problem) {
    MseqFullPath path;
    if (!mseq_path::executable_path(rest, &path)) {
        if (error) *error = 0x10001;
        if (problem) {
            *problem = MseqLoadProblem{};
            problem->path = MseqFullPath(CkvString(rest));
            problem->error = 0x10001;
        }
        return false;
    }
    path = MseqFullPath(mseq_path::canonicalize(path));
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, path, true);
    if (error) *error = compiler.result.error;
    if (problem) {
        const bool reported = !ok || compiler.found != MrecCompiler::Found::text;
        *problem = reported ? compiler.problem(path) : MseqLoadProblem{};
    }
    // Whatever happened, the entity now knows where it is saved.
    entity->full_path = path;
    return ok;
}

}  // namespace

MseqMapScale& scale_map() {
    static MseqMapScale* const map = new MseqMapScale;
    return *map;
}

bool load_config(std::string_view rest, uint32_t* error, MseqLoadProblem* problem) {
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
