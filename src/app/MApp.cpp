#include "app/MApp.h"

#include <cstring>

#include "app/MAppText.h"
#include "platform/TextCodec.h"

namespace {

// Every Japanese text of the program goes through the CP932 converter; without it the program
// can only show empty texts.
bool cp932_available() {
    // HIRAGANA LETTER A, in UTF-8 and in CP932.
    return kv_codec::cp932_from_utf8("\xE3\x81\x82") == "\x82\xA0";
}

}  // namespace

MApp::~MApp() {
    end();
}

void MApp::end() {
    frame_.reset();
    lock_.release();
}

bool MApp::start(const MAppServices& services, const CkvString& command_line,
                 const std::string& runtime_folder) {
    MAppUserPort& port = *services.port;
    if (!cp932_available()) {
        port.warn(CkvString(
            "Error!\n\nFor using of this software, must prepare Japanese-language code.\n"));
    }
    const std::string folder =
        runtime_folder.empty() ? kv_instance::runtime_folder() : runtime_folder;
    kv_instance::instance_lock::failure why;
    if (!lock_.acquire(folder, MFrame::kInstanceName, &why)) {
        if (!why.held_by_another()) {
            // Nothing else runs: the lock itself could not be had, and that is what is said.
            port.warn(mapp_format(mapp_msg::START_LOCK_FAILED,
                                  kv_codec::cp932_from_utf8(why.path).c_str(),
                                  std::strerror(why.system_error)));
            return false;
        }
        port.warn(mapp_text(mapp_msg::START_ALREADY_RUNNING));
        kv_instance::ask_running_to_raise(folder, MFrame::kInstanceName);
        return false;
    }
    frame_ = std::make_unique<MFrame>(services);
    if (!frame_->create(command_line)) {
        end();
        return false;
    }
    return true;
}

void MApp::pump() {
    if (!frame_) return;
    if (lock_.take_raise_request()) frame_->port().refresh(MAppRefresh::raise);
    frame_->pump();
}
