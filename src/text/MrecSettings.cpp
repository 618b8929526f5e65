#include "text/MrecSettings.h"

#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"

namespace mrec_settings {

namespace {

bool load_into(MseqEntity* entity, std::string_view rest, uint32_t* error) {
    MseqFullPath path;
    if (!mseq_path::executable_path(rest, &path)) {
        if (error) *error = 0x10001;
        return false;
    }
    path = MseqFullPath(mseq_path::canonicalize(path));
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, path, true);
    if (error) *error = compiler.result.error;
    // Whatever happened, the entity now knows where it is saved.
    entity->full_path = path;
    return ok;
}

}  // namespace

MseqMapScale& scale_map() {
    static MseqMapScale* const map = new MseqMapScale;
    return *map;
}

bool load_config(std::string_view rest, uint32_t* error) {
    // Every start reads the configuration first: the moment to clear what saves killed in the
    // program's folder left behind.
    MseqFullPath path;
    if (mseq_path::executable_path(rest, &path))
        kv_fs::remove_stale_temporaries(mseq_path::remove_file_name(mseq_path::canonicalize(path)));
    return load_into(&mseq_config(), rest, error);
}

bool save_config() {
    return MrecCompiler::save(&mseq_config());
}

bool load_scale_map(std::string_view rest, uint32_t* error) {
    return load_into(&scale_map(), rest, error);
}

bool save_scale_map() {
    return MrecCompiler::save(&scale_map());
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
