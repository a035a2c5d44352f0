// The SDR writer (see sdr_writer.cpp for its record order).
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeSdrWriter(const Generator& generator, const Job& job, RecordSink& sink);

}  // namespace exportgen
