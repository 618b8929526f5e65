#pragma once

#include <cstdint>

// Root of the small value classes that answer a class code, so that code holding a base
// reference can tell a string from other values without RTTI.
class CkvBase {
public:
    static constexpr uint32_t kClassCode = 0x1001;

    virtual ~CkvBase() = default;

    // The class code of the most derived class; never fails; any thread.
    virtual uint32_t class_code() const { return kClassCode; }
};
