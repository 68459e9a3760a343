#pragma once
// The name reader over a retrieval engine's name file: the full name is the stored main text,
// the road-number text the main text after its first '/' (where the map data put the road
// number). Reads take the engine's name lock; any thread.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/painter.h"

#include <memory>

// Null when the engine is null or has no name file.
[[nodiscard]] std::shared_ptr<INameReader>
MakeEngineNameReader(six::RefCntPtr<RetrievalEngineImpl> engine);
