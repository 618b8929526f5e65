#include "app/MAppUserPort.h"

const CkvString& MAppFields::get(const std::string& name) const {
    static const CkvString empty;
    for (const auto& [key, value] : items) {
        if (key == name) return value;
    }
    return empty;
}

void MAppFields::set(const std::string& name, const CkvString& value) {
    for (auto& [key, old] : items) {
        if (key == name) {
            old = value;
            return;
        }
    }
    items.emplace_back(name, value);
}
