// The Quolt/Pashk writer (see quoltpashk_writer.cpp for its record order).
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeQuoltPashkWriter(const Generator& generator, const Job& job, RecordSink& sink);

}  // namespace exportgen
