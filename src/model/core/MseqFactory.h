#pragma once

class MseqObject;

// The factory that gives a node a fresh entity of its type's class. User-interface thread.

// Creates a fresh entity for the node's type and attaches it; false for folders and types
// without content, or when the new entity belongs to another node.
bool mseq_factory(MseqObject* node);
