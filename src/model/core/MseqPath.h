#pragma once

#include "model/core/CkvString.h"

// A descriptive path as a node stores it: "<with>" (content inside the container's file), empty
// (no content file), or a file path, usually relative to a path macro.
class MseqDescPath : public CkvString {
public:
    using CkvString::CkvString;
    using CkvString::operator=;
    MseqDescPath() = default;
    MseqDescPath(const CkvString& s) : CkvString(s) {}
};

// An absolute Windows-form path of a file; the key under which the desk caches an entity.
class MseqFullPath : public CkvString {
public:
    using CkvString::CkvString;
    using CkvString::operator=;
    MseqFullPath() = default;
    MseqFullPath(const CkvString& s) : CkvString(s) {}
};
